// The hand-over of the spectrum's snapshots between threads: a reader racing
// a writer that publishes as fast as it can only ever copies out whole
// snapshots, each newer than or the same as the one before.
#include <doctest.h>

#include <windows.h>

#include <atomic>
#include <cstdint>

#include "seqlock.h"
#include "spectrum.h"

namespace {

constexpr uint32_t Publishes = 200000;

// Every field of snapshot n says n.
sdr::SpectrumSnapshot numbered(uint32_t n)
{
    sdr::SpectrumSnapshot s;
    s.serial = n;
    s.centreHz = n * 7;
    s.frames = n ^ 0x5A5A5A5Au;
    s.noiseDb = static_cast<float>(n % 1000);
    s.firstChannel = static_cast<int32_t>(n);
    s.channelCount = static_cast<int32_t>(n % 8);
    for (int c = 0; c < sdr::SpectrumSnapshot::MaxChannels; ++c) {
        s.cnrDb[c] = static_cast<float>((n + static_cast<uint32_t>(c)) % 4096);
        s.peakDb[c] = -s.cnrDb[c];
    }
    return s;
}

bool whole(const sdr::SpectrumSnapshot &s)
{
    const sdr::SpectrumSnapshot expected = numbered(s.serial);
    if (s.centreHz != expected.centreHz || s.frames != expected.frames || s.noiseDb != expected.noiseDb ||
        s.firstChannel != expected.firstChannel || s.channelCount != expected.channelCount)
        return false;
    for (int c = 0; c < sdr::SpectrumSnapshot::MaxChannels; ++c)
        if (s.cnrDb[c] != expected.cnrDb[c] || s.peakDb[c] != expected.peakDb[c])
            return false;
    return true;
}

struct Race {
    sdr::Seqlock<sdr::SpectrumSnapshot> box;
    std::atomic<bool> go{false};
};

DWORD WINAPI writer(void *argument)
{
    Race &race = *static_cast<Race *>(argument);
    while (!race.go.load())
        YieldProcessor();
    for (uint32_t n = 1; n <= Publishes; ++n) {
        race.box.Publish(numbered(n));
        for (int pause = 0; pause < 64; ++pause) // a gap now and then, as between real snapshots
            YieldProcessor();
    }
    return 0;
}

} // namespace

TEST_CASE("a snapshot read while another thread publishes is always a whole one")
{
    Race race;
    sdr::SpectrumSnapshot s;
    CHECK_FALSE(race.box.Read(s)); // nothing published yet

    HANDLE thread = CreateThread(nullptr, 0, writer, &race, 0, nullptr);
    REQUIRE(thread != nullptr);
    race.go.store(true);
    uint32_t last = 0, reads = 0, missed = 0, torn = 0, backwards = 0, distinct = 0;
    while (last < Publishes) {
        if (!race.box.Read(s)) {
            ++missed; // the writer overlapped every attempt: the reader gave up rather than wait
            continue;
        }
        ++reads;
        if (!whole(s))
            ++torn;
        else if (s.serial < last)
            ++backwards;
        else if (s.serial > last) {
            ++distinct;
            last = s.serial;
        }
    }
    CHECK(WaitForSingleObject(thread, 30000) == WAIT_OBJECT_0);
    CloseHandle(thread);
    MESSAGE(reads << " reads (" << missed << " given up) of " << Publishes << " publishes, " << distinct
                    << " different snapshots seen");
    CHECK(torn == 0);
    CHECK(backwards == 0);
    CHECK(distinct > 100); // the reader did race the writer
    REQUIRE(race.box.Read(s));
    CHECK(s.serial == Publishes);
}
