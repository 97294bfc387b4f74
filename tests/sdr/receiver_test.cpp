// The whole receiver as the radio's card uses it: the kit's rtl_tcp server
// on loopback, paced as a dongle, serving the demonstration band; the sound
// captured as a listener would hear it. What is checked is what reaches the
// server and what comes out: the tones on the right sides, the stereo lamp,
// the station's own name and never another's, the search's stops, a lost
// server noticed and found again, and calls that never wait.
#include <windows.h>

#include <doctest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "capture_sink.h"
#include "demo_band.h"
#include "radio_program.h"
#include "receiver.h"
#include "rtl_tcp_server.h"
#include "thread_time.h"

using sdrtest::seconds_now;
using testing::WaitUntil;

namespace {

constexpr uint8_t SetFrequency = 0x01;

// The power of one tone in one channel of the last `frames` captured (Goertzel).
double tone_power(const std::vector<int16_t> &pcm, int channel, double hz, size_t frames)
{
    const size_t total = pcm.size() / 2;
    const size_t first = total > frames ? total - frames : 0;
    const double w = 2 * 3.14159265358979323846 * hz / 48000.0;
    double s1 = 0, s2 = 0;
    for (size_t i = first; i < total; ++i) {
        const double s = pcm[2 * i + channel] + 2 * std::cos(w) * s1 - s2;
        s2 = s1;
        s1 = s;
    }
    return s1 * s1 + s2 * s2 - 2 * std::cos(w) * s1 * s2;
}

double db(double ratio)
{
    return 10 * std::log10(ratio + 1e-30);
}

// The demonstration band on a free port, as a dongle would deliver it.
struct Band {
    sdrkit::BandGenerator generator;
    sdrkit::RtlTcpServer server{&generator};
    testing::CaptureSink sink;
    sdr::Receiver receiver;

    Band()
    {
        sdrkit::add_demo_stations(generator);
        REQUIRE(server.Start(0));
        sdr::ReceiverConfig config;
        config.port = server.Port();
        REQUIRE(receiver.Start(config, &sink));
        receiver.SetRegion(sdr::Region::Europe);
        receiver.SetVolume(79);
        receiver.SetBlend(false);
        receiver.SetRds(true);
    }

    // Everything RDS handed out within `ms`, until `wanted` is among it.
    std::string ReadTextUntil(const char *wanted, DWORD ms)
    {
        std::string heard;
        WaitUntil(
            [&] {
                char text[512];
                const size_t length = receiver.ReadRdsText(text, sizeof text);
                heard.append(text, length);
                return heard.find(wanted) != std::string::npos;
            },
            ms);
        return heard;
    }

    // Search steps every 100 ms, as the radio sends them, until the search stops.
    int32_t SearchFrom(int32_t frequency, bool upward)
    {
        receiver.Tune(frequency);
        sdr::SeekAnswer answer{frequency, 1};
        for (int step = 0; step < 400; ++step) {
            answer = receiver.Seek(upward);
            if (answer.continues == 0)
                return answer.frequency;
            Sleep(100); // the radio's timer: the pace of the steps is part of what is tested
        }
        return -1;
    }
};

} // namespace

TEST_CASE("a station plays in stereo with its own name, and a retune hears nothing of the last")
{
    Band band;
    band.receiver.SetLinked(true);
    band.receiver.SetPlaying(true);
    band.receiver.Tune(913);

    // The server hears the whole state, the dongle listening 300 kHz above the station.
    REQUIRE(band.server.WaitForCommand(SetFrequency, 91600000, 5000));
    REQUIRE(WaitUntil([&] { return band.receiver.LinkUp(); }, 5000));
    const double tuned = seconds_now();
    REQUIRE(WaitUntil([&] { return band.sink.FramesWritten() > 0; }, 5000));
    const double firstSound = seconds_now() - tuned;
    REQUIRE(WaitUntil([&] { return band.receiver.Stereo(); }, 5000));
    const double stereoAfter = seconds_now() - tuned;

    // Left 523 Hz, right 784 Hz: each side has its own tone, the other's far
    // below, once the stereo part has come in whole (a ramp of 0.3 s).
    const size_t lit = band.sink.FramesWritten();
    REQUIRE(WaitUntil([&] { return band.sink.FramesWritten() > lit + 36000; }, 5000));
    const std::vector<int16_t> pcm = band.sink.Snapshot();
    const double leftOwn = tone_power(pcm, 0, 523, 24000), leftOther = tone_power(pcm, 0, 784, 24000);
    const double rightOwn = tone_power(pcm, 1, 784, 24000), rightOther = tone_power(pcm, 1, 523, 24000);
    MESSAGE("separation " << db(leftOwn / leftOther) << " dB left, " << db(rightOwn / rightOther)
                          << " dB right; first sound " << firstSound * 1000 << " ms, stereo after " << stereoAfter
                          << " s");
    CHECK(db(leftOwn / leftOther) > 30);
    CHECK(db(rightOwn / rightOther) > 30);

    const std::string first = band.ReadTextUntil("CLASSIC ", 8000);
    CHECK(first.find("CLASSIC ") != std::string::npos);
    CHECK(band.receiver.RdsLevel() > 500);

    // A retune: the new station's name, and from then on nothing of the old one's.
    band.receiver.Tune(983);
    REQUIRE(band.server.WaitForCommand(SetFrequency, 98600000, 5000));
    const std::string second = band.ReadTextUntil("TAVOLIN ", 8000);
    CHECK(second.find("TAVOLIN ") != std::string::npos);
    CHECK(second.find("CLASSIC") == std::string::npos);
    CHECK(second.find("Classic") == std::string::npos);

    // A mono station puts the lamp out.
    band.receiver.Tune(958);
    CHECK(WaitUntil([&] { return !band.receiver.Stereo(); }, 3000));
    const std::string mono = band.ReadTextUntil("NEWS 958 ", 8000);
    CHECK(mono.find("NEWS 958 ") != std::string::npos);
    CHECK(mono.find("TAVOLIN") == std::string::npos);

    // Off: the sound is closed, the lamp dark, the stream let go.
    band.receiver.SetPlaying(false);
    CHECK(WaitUntil([&] { return !band.sink.IsOpen() && !band.receiver.Stereo(); }, 2000));
    const sdr::ReceiverCounters counters = band.receiver.Counters();
    CHECK(counters.pairsDropped == 0);
    CHECK(counters.connects == 1);
}

TEST_CASE("a search stops on each station strong enough for its level, and at the band's edge")
{
    Band band;
    band.receiver.SetLinked(true);
    band.receiver.SetPlaying(true);
    REQUIRE(WaitUntil([&] { return band.receiver.LinkUp(); }, 5000));

    band.receiver.SetSearchLevel(1);
    const double began = seconds_now();
    CHECK(band.SearchFrom(875, true) == 885);
    CHECK(band.SearchFrom(885, true) == 913);
    const double twoStops = seconds_now() - began;
    // The weak station (12 dB) stops only the most sensitive search.
    band.receiver.SetSearchLevel(0);
    CHECK(band.SearchFrom(1080, false) == 1049);
    band.receiver.SetSearchLevel(2);
    CHECK(band.SearchFrom(1080, false) == 1017);

    // The least sensitive passes over it too, and stops at the band's edge.
    band.receiver.SetSearchLevel(3);
    CHECK(band.SearchFrom(1018, true) == 1080);
    MESSAGE("two searches across 3.8 MHz took " << twoStops << " s");

    // Where a search stopped, the station plays: its name comes.
    band.receiver.Tune(1017);
    CHECK(band.SearchFrom(1017, false) == 983);
    const std::string heard = band.ReadTextUntil("TAVOLIN ", 8000);
    CHECK(heard.find("TAVOLIN ") != std::string::npos);
}

TEST_CASE("a server that drops the link or stalls is noticed within a second and found again, and no call waits")
{
    Band band;
    band.receiver.SetLinked(true);
    band.receiver.SetPlaying(true);
    band.receiver.Tune(885);
    REQUIRE(WaitUntil([&] { return band.receiver.Stereo(); }, 8000));

    // Dropped: the lamp goes out, the link comes back by itself with the whole state.
    const size_t commandsBefore = band.server.Commands().size();
    band.server.DropClient();
    const double dropped = seconds_now();
    REQUIRE(WaitUntil([&] { return !band.receiver.LinkUp(); }, 3000));
    const double noticed = seconds_now() - dropped;
    CHECK(noticed < 1.0);
    REQUIRE(band.server.WaitForCommand(SetFrequency, 88800000, 5000, commandsBefore));
    REQUIRE(WaitUntil([&] { return band.receiver.Stereo(); }, 5000));
    const double back = seconds_now() - dropped;
    MESSAGE("drop noticed after " << noticed * 1000 << " ms, stereo again after " << back << " s");

    // Stalled: the connection stays open and says nothing. Every call the
    // radio's window makes still returns at once.
    // The stream stops when what the sockets hold has been read: the second
    // counts from the last sample that came.
    band.server.Stall(true);
    double slowest = 0;
    uint64_t received = 0;
    double lastSample = seconds_now();
    bool lostAndFound = WaitUntil(
        [&] {
            const double before = seconds_now();
            const uint64_t now = band.receiver.Counters().pairsReceived;
            if (now != received) {
                received = now;
                lastSample = before;
            }
            band.receiver.Tune(885);
            band.receiver.Seek(true);
            band.receiver.Tune(885);
            char text[256];
            band.receiver.ReadRdsText(text, sizeof text);
            const bool up = band.receiver.LinkUp();
            band.receiver.Stereo();
            band.receiver.RdsLevel();
            band.receiver.SetVolume(60);
            slowest = std::max(slowest, seconds_now() - before);
            return !up;
        },
        6000);
    CHECK(lostAndFound);
    const double stallNoticed = seconds_now() - lastSample;
    CHECK(stallNoticed < 1.0);
    CHECK(slowest < 0.05);
    MESSAGE("stall noticed after " << stallNoticed * 1000 << " ms; slowest call " << slowest * 1000 << " ms");
    CHECK_FALSE(band.receiver.Stereo());

    band.server.Stall(false);
    CHECK(WaitUntil([&] { return band.receiver.LinkUp() && band.receiver.Stereo(); }, 8000));
    CHECK(band.receiver.Counters().linksLost >= 2);

    // Let go: the server is free for another client.
    band.receiver.SetLinked(false);
    CHECK(band.server.WaitForNoClient(3000));
    CHECK_FALSE(band.receiver.LinkUp());
}
