// The sink on the real waveOut, under Wine, with ALSA's file plugin for a
// sound card (tests/sdr/alsa_capture.conf.in): what the test writes is
// read back from the bytes the card played. That card's clock is Wine's own
// timer, which runs about a third fast against the wall, so the sound is fed
// as the card takes it, and drift is left to the sink's own test.
#include <windows.h>
#include <mmsystem.h>

#include <doctest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "alsa_capture.h"
#include "pcm_signals.h"
#include "wave_out_device.h"
#include "wave_out_sink.h"

using namespace testing;

namespace {

constexpr uint32_t Block = 480;
const sdr::WaveOutSettings Defaults;

// Wine loads its audio driver once in a process, the one named under
// HKCU's Software\Wine\Drivers; the lanes' prefixes may have sound turned
// off. This process alone is pointed at ALSA: for its whole life HKCU
// stands for a key of the test's own (not a volatile one: Wine's ALSA
// driver keeps its devices' ids beneath it, and a volatile key may have no
// lasting children), removed at the end; nothing of the prefix changes.
const wchar_t *const OwnUser = L"Software\\Tavolin\\Tests\\AlsaUser";

void remove_own_user()
{
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    RegDeleteTreeW(HKEY_CURRENT_USER, OwnUser);
}

UINT load_alsa_driver()
{
    static const UINT devices = [] {
        RegDeleteTreeW(HKEY_CURRENT_USER, OwnUser); // a run that did not end left it
        HKEY own = nullptr;
        HKEY drivers = nullptr;
        const wchar_t alsa[] = L"alsa";
        const bool overridden =
            RegCreateKeyExW(HKEY_CURRENT_USER, OwnUser, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &own, nullptr) ==
                ERROR_SUCCESS &&
            RegCreateKeyExW(own, L"Software\\Wine\\Drivers", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &drivers,
                            nullptr) == ERROR_SUCCESS &&
            RegSetValueExW(drivers, L"Audio", 0, REG_SZ, reinterpret_cast<const BYTE *>(alsa), sizeof alsa) ==
                ERROR_SUCCESS &&
            RegOverridePredefKey(HKEY_CURRENT_USER, own) == ERROR_SUCCESS;
        if (drivers)
            RegCloseKey(drivers);
        if (own)
            RegCloseKey(own);
        std::atexit(remove_own_user);
        return overridden ? waveOutGetNumDevs() : 0;
    }();
    return devices;
}

// Every frame its own: a tone on the left, a count from `first` on the right.
std::vector<int16_t> counted_sound(int16_t first, size_t frames)
{
    std::vector<int16_t> pcm(2 * frames);
    for (size_t i = 0; i < frames; ++i) {
        pcm[2 * i] = static_cast<int16_t>(8000 * std::sin(2 * Pi * 1000 * double(i) / AudioHz));
        pcm[2 * i + 1] = static_cast<int16_t>(first + int16_t(i));
    }
    return pcm;
}

// As the sink plays a sound it starts: faded in over its first frames.
std::vector<int16_t> faded_in(std::vector<int16_t> pcm)
{
    const uint32_t fade = sdr::WaveOutSink::FadeFrames;
    for (uint32_t i = 0; i < fade; ++i)
        for (int c = 0; c < 2; ++c)
            pcm[2 * i + c] = static_cast<int16_t>(pcm[2 * i + c] * int32_t(i + 1) / int32_t(fade));
    return pcm;
}

// The receiver's side: writes 10 ms at a time while the card has less than
// the floor and a block still to play, as a receiver on the card's clock
// would; keeps count of what went to the card (the floor at each start
// included), how much was queued behind the sink, and the slowest Write.
struct Feeder {
    sdr::WaveOutSink &sink;
    sdr::WaveOutDevice &card;
    uint32_t sent = 0;
    uint32_t mostAhead = 0;
    double slowestWriteMs = 0;
    double writeSeconds = 0;
    size_t writes = 0;

    uint32_t Ahead() { return sent - card.PlayedFrames(); }

    void Feed(const std::vector<int16_t> &pcm)
    {
        LARGE_INTEGER frequency, before, after;
        QueryPerformanceFrequency(&frequency);
        sent += Defaults.floorFrames; // the sound starts afresh
        const DWORD deadline = GetTickCount() + 30000;
        for (size_t at = 0; at < pcm.size() / 2;) {
            if (Ahead() < Defaults.floorFrames + Block) {
                QueryPerformanceCounter(&before);
                sink.Write(pcm.data() + 2 * at, Block);
                QueryPerformanceCounter(&after);
                const double seconds = double(after.QuadPart - before.QuadPart) / double(frequency.QuadPart);
                slowestWriteMs = std::max(slowestWriteMs, seconds * 1000);
                writeSeconds += seconds;
                ++writes;
                at += Block;
                sent += Block;
                mostAhead = std::max(mostAhead, Ahead());
            } else {
                REQUIRE(GetTickCount() < deadline);
                Sleep(1); // the card plays a frame every 21 us: look again in a moment
            }
        }
    }

    // Until the card has played all it was given.
    void AwaitPlayed()
    {
        const DWORD deadline = GetTickCount() + 30000;
        while (card.PlayedFrames() != sent) {
            REQUIRE(GetTickCount() < deadline);
            Sleep(1);
        }
    }
};

// Where a stretch of sound begins in the capture: its first frame's count on the right.
size_t find_count(const std::vector<int16_t> &pcm, int16_t count, size_t from)
{
    for (size_t i = from; i < pcm.size() / 2; ++i)
        if (pcm[2 * i + 1] == count)
            return i;
    return SIZE_MAX;
}

bool silent(const std::vector<int16_t> &pcm, size_t from, size_t to)
{
    return std::all_of(pcm.begin() + 2 * from, pcm.begin() + 2 * to, [](int16_t s) { return s == 0; });
}

} // namespace

TEST_CASE("No such sound device: Open fails cleanly, the sound is dropped and counted")
{
    // Wine picks its driver at the process's first waveOut call, whichever
    // test makes it: each test loads ALSA's before anything else.
    load_alsa_driver();
    sdr::WaveOutDevice missing(1000);
    sdr::WaveOutSink sink(missing);
    CHECK_FALSE(sink.Open());
    std::vector<int16_t> pcm(2 * Block, 1000);
    for (int i = 0; i < 5; ++i)
        sink.Write(pcm.data(), Block);
    CHECK(sink.DroppedFrames() == 5 * Block);
    CHECK(sink.QueuedFrames() == 0);
    sink.Close();
}

TEST_CASE("Through waveOut: what is written is played once, in order; an underrun is silence, then the new sound")
{
    const std::string path = capture_path();
    REQUIRE_MESSAGE(!path.empty(), "TAVOLIN_AUDIO_CAPTURE and ALSA_CONFIG_PATH are set by CTest (tests/sdr)");
    REQUIRE_MESSAGE(load_alsa_driver() >= 1, "Wine's ALSA driver with the capture configuration offers no device");

    sdr::WaveOutSettings settings;
    settings.driftControl = false; // the card's clock is the feeder's: nothing to correct, every frame exact
    sdr::WaveOutDevice card;
    sdr::WaveOutSink sink(card, settings);
    REQUIRE(sink.Open());
    Feeder feeder{sink, card};

    const size_t Frames = 40 * Block; // 400 ms, then 200 ms
    const std::vector<int16_t> first = counted_sound(1, Frames);
    const std::vector<int16_t> second = counted_sound(20001, Frames / 2);
    feeder.Feed(first);
    feeder.AwaitPlayed();
    // The card runs dry: wait until it has played 100 ms of its silence.
    // The file lags what the card reports played by a period or two: each
    // wait counts from the file's own length.
    const auto await_captured = [&](size_t frames) {
        const DWORD deadline = GetTickCount() + 30000;
        while (captured_frames(path) < frames) {
            REQUIRE(GetTickCount() < deadline);
            Sleep(1);
        }
    };
    await_captured(captured_frames(path) + 4800);
    feeder.Feed(second);
    feeder.AwaitPlayed();
    // 200 ms of the card's silence after it: all of the second sound is in the file.
    await_captured(captured_frames(path) + 9600);
    sink.Close();
    CHECK(sink.Underruns() == 1);
    CHECK(sink.DroppedFrames() == 0);

    const std::vector<int16_t> played = read_capture(path);
    const std::vector<int16_t> firstHeard = faded_in(first);
    const std::vector<int16_t> secondHeard = faded_in(second);
    // The first sound starts after its floor's silence (Wine may add its own):
    // find it by its first whole count, just after the fade-in.
    const uint32_t fade = sdr::WaveOutSink::FadeFrames;
    const size_t firstAt = find_count(played, static_cast<int16_t>(1 + fade - 1), 0);
    REQUIRE(firstAt != SIZE_MAX);
    REQUIRE(firstAt >= fade - 1 + Defaults.floorFrames);
    const size_t a = firstAt - (fade - 1);
    REQUIRE(played.size() / 2 >= a + Frames);
    CHECK(silent(played, 0, a));
    CHECK(std::equal(firstHeard.begin(), firstHeard.end(), played.begin() + 2 * a));

    const size_t secondAt = find_count(played, static_cast<int16_t>(20001 + fade - 1), a + Frames);
    REQUIRE(secondAt != SIZE_MAX);
    const size_t b = secondAt - (fade - 1);
    REQUIRE(played.size() / 2 >= b + Frames / 2);
    // Between them only silence: the new sound's floor and most of the 100 ms
    // waited for (the file's lag behind the card, up to a period, comes off it).
    CHECK(b - (a + Frames) >= 2400 + Defaults.floorFrames);
    CHECK(silent(played, a + Frames, b));
    CHECK(std::equal(secondHeard.begin(), secondHeard.end(), played.begin() + 2 * b));
    CHECK(silent(played, b + Frames / 2, played.size() / 2));

    // A Write hands buffers over and never waits for the card.
    CHECK(feeder.slowestWriteMs < 100);
    MESSAGE("waveOut held at most " << feeder.mostAhead / 48.0 << " ms ahead of a frame written; a Write took "
                                    << feeder.writeSeconds / static_cast<double>(feeder.writes) * 1e6 << " us on average, "
                                    << feeder.slowestWriteMs << " ms at most");
}
