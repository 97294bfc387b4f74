// The sound sink's queue, on a card whose clock the test turns
// (FakeWaveDevice): how late the sound is when it arrives smoothly and in
// rtl_tcp's blocks, the card's clock drifting from the dongle's, an
// underrun, a flood, no device.
#include <doctest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "fake_wave_device.h"
#include "pcm_signals.h"
#include "wave_out_sink.h"

using namespace testing;

namespace {

constexpr size_t Block = 480;         // the signal thread writes 10 ms at a time
constexpr double RtlTcpBlock = 131072.0 / 25; // frames of sound in one of rtl_tcp's blocks at 1.2 MS/s: 109 ms
constexpr int16_t ToneAmplitude = 8000;
constexpr size_t MarkerEvery = 12000; // 250 ms
constexpr size_t MarkerLength = 16;
constexpr int16_t Marker = 30000;
const sdr::WaveOutSettings Defaults;
const size_t Floor = Defaults.floorFrames;
const size_t Ring = size_t(Defaults.bufferCount) * Defaults.bufferFrames;

// What the receiver writes: a 1 kHz tone on the left, a marker on the right every 250 ms (from 125 ms on).
int16_t left_at(size_t frame)
{
    return static_cast<int16_t>(std::lround(ToneAmplitude * std::sin(2 * Pi * 1000 * double(frame) / AudioHz)));
}

int16_t right_at(size_t frame)
{
    return (frame + MarkerEvery / 2) % MarkerEvery < MarkerLength ? Marker : 0;
}

struct Clocks {
    double cardPpm = 0;          // the card's clock against the dongle's
    double arrivalFrames = Block; // sound arriving at once
    double jitterMs = 0;         // each arrival as much as this late
    double seconds = 30;
};

struct Run {
    std::vector<double> latencyMs; // of each marker, from its arrival to its playing
    uint32_t mostQueued = 0;
    size_t markersWritten = 0;
};

// The receiver and the card, each on its own clock, for `clocks.seconds`.
Run run(sdr::WaveOutSink &sink, FakeWaveDevice &card, const Clocks &clocks)
{
    Run result;
    const double cardRate = AudioHz * (1 + clocks.cardPpm * 1e-6);
    const size_t total = static_cast<size_t>(clocks.seconds * AudioHz);
    std::vector<double> markerArrival;
    std::vector<int16_t> chunk(2 * Block);
    size_t cardFrames = 0; // frames the card has played
    uint32_t random = 1;
    size_t written = 0;
    for (double due = clocks.arrivalFrames; written < total; due += clocks.arrivalFrames) {
        random = random * 1664525u + 1013904223u;
        const double arrival = (due + clocks.jitterMs * 1e-3 * AudioHz * (random >> 8) / double(1 << 24)) / AudioHz;
        const size_t cardNow = static_cast<size_t>(arrival * cardRate + 1e-6);
        card.Advance(cardNow - cardFrames);
        cardFrames = cardNow;
        const size_t until = std::min(total, static_cast<size_t>(due));
        while (written < until) {
            const size_t n = std::min(Block, until - written);
            for (size_t i = 0; i < n; ++i) {
                chunk[2 * i] = left_at(written + i);
                chunk[2 * i + 1] = right_at(written + i);
                if ((written + i + MarkerEvery / 2) % MarkerEvery == 0)
                    markerArrival.push_back(arrival);
            }
            sink.Write(chunk.data(), n);
            written += n;
            result.mostQueued = std::max(result.mostQueued, sink.QueuedFrames());
        }
    }
    card.Advance(static_cast<size_t>(AudioHz / 2)); // what is queued plays out
    result.markersWritten = markerArrival.size();

    // Each marker's rising edge on the card; a merged or inserted frame may halve one sample of it.
    const std::vector<int16_t> &out = card.Output();
    size_t marker = 0;
    for (size_t i = 1; i < out.size() / 2 && marker < markerArrival.size(); ++i) {
        if (out[2 * i + 1] > Marker / 3 && out[2 * i - 1] <= Marker / 3)
            result.latencyMs.push_back((double(i) / cardRate - markerArrival[marker++]) * 1000);
    }
    return result;
}

double most(const std::vector<double> &values)
{
    return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
}

double least(const std::vector<double> &values)
{
    return values.empty() ? 0 : *std::min_element(values.begin(), values.end());
}

} // namespace

TEST_CASE("Latency: 20 to 30 ms for smooth sound, within 150 ms for rtl_tcp's blocks")
{
    SUBCASE("the sound arrives 10 ms at a time")
    {
        FakeWaveDevice card;
        sdr::WaveOutSink sink(card);
        REQUIRE(sink.Open());
        const Run result = run(sink, card, Clocks());
        REQUIRE(result.latencyMs.size() == result.markersWritten);
        CHECK(least(result.latencyMs) >= 19.9);
        CHECK(most(result.latencyMs) <= 30);
        CHECK(result.mostQueued <= 30 * 48);
        CHECK(sink.Underruns() == 0);
        CHECK(sink.DroppedFrames() == 0);
        CHECK(sink.MergedFrames() + sink.InsertedFrames() == 0);
        CHECK(card.Overwritten() == 0);
        MESSAGE("smooth: latency " << least(result.latencyMs) << " to " << most(result.latencyMs) << " ms");
    }
    SUBCASE("rtl_tcp's 109 ms blocks, each up to 10 ms late")
    {
        FakeWaveDevice card;
        sdr::WaveOutSink sink(card);
        REQUIRE(sink.Open());
        Clocks clocks;
        clocks.arrivalFrames = RtlTcpBlock;
        clocks.jitterMs = 10;
        const Run result = run(sink, card, clocks);
        REQUIRE(result.latencyMs.size() == result.markersWritten);
        CHECK(most(result.latencyMs) <= 150);
        CHECK(sink.Underruns() == 0);
        CHECK(sink.DroppedFrames() == 0);
        CHECK(card.Overwritten() == 0);
        MESSAGE("rtl_tcp blocks: latency " << least(result.latencyMs) << " to " << most(result.latencyMs)
                                           << " ms, most queued " << result.mostQueued / 48.0 << " ms");
    }
}

TEST_CASE("Drift: the queue stays within bounds with the card's clock 300 ppm off, a frame at a time")
{
    const double bound = 1.6 * tone_step(1000, ToneAmplitude); // a merged frame steps 1.5 times the tone's step
    for (const double ppm : {+300.0, -300.0}) {
        CAPTURE(ppm);
        Clocks clocks;
        clocks.cardPpm = ppm;
        clocks.arrivalFrames = RtlTcpBlock;
        clocks.jitterMs = 10;
        clocks.seconds = 200;

        FakeWaveDevice card;
        sdr::WaveOutSink sink(card);
        REQUIRE(sink.Open());
        const Run result = run(sink, card, clocks);
        REQUIRE(result.latencyMs.size() == result.markersWritten);
        CHECK(most(result.latencyMs) <= 150);
        CHECK(least(result.latencyMs) >= 10);
        CHECK(sink.Underruns() == 0);
        CHECK(sink.DroppedFrames() == 0);
        // As many frames as the clocks part by (2880), give or take where the
        // floor settled within its tolerance and the arrivals' lateness, and
        // few the wrong way.
        const double apart = std::fabs(ppm) * 1e-6 * clocks.seconds * AudioHz;
        const double slack = Defaults.toleranceFrames + clocks.jitterMs * 48 + 60;
        const uint32_t corrected = ppm > 0 ? sink.InsertedFrames() : sink.MergedFrames();
        const uint32_t wrongWay = ppm > 0 ? sink.MergedFrames() : sink.InsertedFrames();
        CHECK(std::fabs(corrected - apart) <= slack);
        CHECK(wrongWay <= 0.05 * apart);
        // Up to where the sound ends and the card falls silent.
        const std::vector<int16_t> &out = card.Output();
        size_t end = out.size() / 2;
        while (end > 0 && out[2 * end - 2] == 0)
            --end;
        CHECK(max_step(out, 0, 0, end) <= bound);
        CHECK(card.Overwritten() == 0);
        MESSAGE(ppm << " ppm: latency " << least(result.latencyMs) << " to " << most(result.latencyMs) << " ms, "
                    << corrected << " frames corrected");

        // Without the control, the same clocks run the card dry or the queue over.
        sdr::WaveOutSettings loose;
        loose.driftControl = false;
        FakeWaveDevice card2;
        sdr::WaveOutSink uncontrolled(card2, loose);
        REQUIRE(uncontrolled.Open());
        const Run drifting = run(uncontrolled, card2, clocks);
        CHECK(uncontrolled.Underruns() + uncontrolled.DroppedFrames() > 0);
        CHECK(most(drifting.latencyMs) > most(result.latencyMs));
    }
}

TEST_CASE("An underrun is silence, then the new sound; nothing old is played again")
{
    // Every frame its own: a count on the right, a tone on the left.
    const auto sound = [](int16_t from, size_t frames) {
        std::vector<int16_t> pcm(2 * frames);
        for (size_t i = 0; i < frames; ++i) {
            pcm[2 * i] = left_at(i);
            pcm[2 * i + 1] = static_cast<int16_t>(from + int16_t(i));
        }
        return pcm;
    };
    const auto faded = [](std::vector<int16_t> pcm) { // the sink's fade-in at each start
        for (size_t i = 0; i < sdr::WaveOutSink::FadeFrames; ++i)
            for (int c = 0; c < 2; ++c)
                pcm[2 * i + c] = static_cast<int16_t>(pcm[2 * i + c] * int32_t(i + 1) / int32_t(sdr::WaveOutSink::FadeFrames));
        return pcm;
    };
    const size_t Whole = 20 * Block;
    const std::vector<int16_t> before = sound(1, Whole + 200); // its last 200 frames do not fill a buffer
    const std::vector<int16_t> after = sound(20001, Whole);

    FakeWaveDevice card;
    sdr::WaveOutSink sink(card);
    REQUIRE(sink.Open());
    for (size_t at = 0; at < before.size() / 2; at += Block) {
        sink.Write(before.data() + 2 * at, std::min(Block, before.size() / 2 - at));
        card.Advance(Block);
    }
    card.Advance(300 * 48); // 300 ms without sound: the card runs dry
    const size_t restart = card.OutputFrames();
    for (size_t at = 0; at < Whole; at += Block) {
        sink.Write(after.data() + 2 * at, Block);
        card.Advance(Block);
    }
    card.Advance(Whole);

    const std::vector<int16_t> &out = card.Output();
    const std::vector<int16_t> expectBefore = faded(std::vector<int16_t>(before.begin(), before.begin() + 2 * Whole));
    const std::vector<int16_t> expectAfter = faded(after);
    const size_t floor = Floor;
    // Silence, the first sound whole, silence until the new sound's floor has played, the new sound, silence.
    const auto silent = [&](size_t from, size_t to) {
        return std::all_of(out.begin() + 2 * from, out.begin() + 2 * to, [](int16_t s) { return s == 0; });
    };
    REQUIRE(out.size() / 2 >= restart + floor + Whole);
    CHECK(silent(0, floor));
    CHECK(std::equal(expectBefore.begin(), expectBefore.end(), out.begin() + 2 * floor));
    CHECK(silent(floor + Whole, restart + floor));
    CHECK(std::equal(expectAfter.begin(), expectAfter.end(), out.begin() + 2 * (restart + floor)));
    CHECK(silent(restart + floor + Whole, out.size() / 2));
    CHECK(sink.Underruns() == 1);
    CHECK(sink.DroppedFrames() == 200); // the half-filled buffer from before the gap
    CHECK(card.Overwritten() == 0);
}

TEST_CASE("A flood is cut at the ring's 180 ms; Write never waits for room")
{
    FakeWaveDevice card;
    sdr::WaveOutSink sink(card);
    REQUIRE(sink.Open());
    const size_t second = 48000;
    std::vector<int16_t> pcm(2 * second);
    for (size_t i = 0; i < second; ++i) {
        pcm[2 * i] = left_at(i);
        pcm[2 * i + 1] = static_cast<int16_t>(i % 30000 + 1);
    }
    sink.Write(pcm.data(), second); // the card plays nothing meanwhile
    CHECK(sink.QueuedFrames() == Ring);
    CHECK(sink.DroppedFrames() == second - (Ring - Floor));
    card.Advance(second);
    // What was taken plays once, in order, after the floor; then silence.
    const std::vector<int16_t> &out = card.Output();
    for (size_t i = sdr::WaveOutSink::FadeFrames; i < Ring - Floor; ++i)
        REQUIRE(out[2 * (Floor + i) + 1] == pcm[2 * i + 1]);
    CHECK(std::all_of(out.begin() + 2 * Ring, out.end(), [](int16_t s) { return s == 0; }));
    CHECK(card.Overwritten() == 0);
}

TEST_CASE("The end: the sound fades out from its last frame and is played to the end; a card run dry stays silent")
{
    // A cut at full level clicks. The card plays on while Close waits.
    constexpr int16_t Level = 8000;
    FakeWaveDevice card;
    sdr::WaveOutSink sink(card);
    const std::vector<int16_t> steady(2 * Block, Level);
    const auto last_at = [&](int16_t value) {
        const std::vector<int16_t> &out = card.Output();
        size_t at = out.size() / 2;
        while (at > 0 && out[2 * at - 2] != value)
            --at;
        return at; // one past the last frame of `value`, 0 when none
    };

    // Flowing, with some 100 ms queued: every frame written is heard, then
    // a fall to silence within the fade's 5 ms, never rising.
    REQUIRE(sink.Open());
    for (int i = 0; i < 20; ++i) {
        sink.Write(steady.data(), Block);
        if (i % 2 == 0)
            card.Advance(Block);
    }
    card.PlayInRealTime(true);
    sink.Close();
    card.PlayInRealTime(false);
    CHECK_FALSE(card.IsOpen());
    const std::vector<int16_t> &out = card.Output();
    const size_t levelEnds = last_at(Level);
    REQUIRE(levelEnds > 0);
    CHECK(std::count(out.begin(), out.end(), Level) ==
          2 * (20 * Block - (sdr::WaveOutSink::FadeFrames - 1))); // all but the fade-in's
    size_t end = out.size() / 2;
    while (end > levelEnds && out[2 * end - 2] == 0 && out[2 * end - 1] == 0)
        --end;
    MESSAGE("the sound fell from " << Level << " to silence in " << end - levelEnds << " frames");
    CHECK(end - levelEnds >= sdr::WaveOutSink::FadeFrames / 2);
    CHECK(end - levelEnds <= sdr::WaveOutSink::FadeFrames);
    for (size_t i = levelEnds; i < end; ++i) {
        CHECK(out[2 * i] <= out[2 * i - 2]);
        CHECK(out[2 * i + 1] == out[2 * i]);
    }

    // Run dry before the end: the card has stopped already, and nothing
    // more comes out (no fade from an old frame after the silence).
    REQUIRE(sink.Open());
    for (int i = 0; i < 5; ++i)
        sink.Write(steady.data(), Block);
    card.Advance(20 * Block);
    const size_t before = card.OutputFrames();
    card.PlayInRealTime(true);
    sink.Close();
    card.PlayInRealTime(false);
    CHECK(last_at(Level) > 0);
    CHECK(std::all_of(card.Output().begin() + 2 * last_at(Level), card.Output().end(),
                      [](int16_t s) { return s == 0; }));
    CHECK(card.OutputFrames() - before < 2 * Block);
    CHECK(card.Overwritten() == 0);
}

TEST_CASE("No sound device: Open fails cleanly, the sound is dropped and counted, a later Open works")
{
    FakeWaveDevice card;
    card.refuseOpen = true;
    sdr::WaveOutSink sink(card);
    std::vector<int16_t> pcm(2 * Block, 1000);
    sink.Write(pcm.data(), Block); // before Open
    CHECK_FALSE(sink.Open());
    for (int i = 0; i < 10; ++i)
        sink.Write(pcm.data(), Block);
    CHECK(sink.DroppedFrames() == 11 * Block);
    CHECK(sink.QueuedFrames() == 0);
    sink.Close();

    card.refuseOpen = false;
    REQUIRE(sink.Open());
    for (int i = 0; i < 10; ++i) {
        sink.Write(pcm.data(), Block);
        card.Advance(Block);
    }
    card.Advance(4 * Block);
    CHECK(sink.DroppedFrames() == 11 * Block);
    CHECK(std::count(card.Output().begin(), card.Output().end(), int16_t(1000)) ==
          2 * (10 * Block - (sdr::WaveOutSink::FadeFrames - 1))); // the fade-in's last frame is whole
    sink.Close();
    CHECK_FALSE(card.IsOpen());
    sink.Write(pcm.data(), Block); // after Close
    CHECK(sink.DroppedFrames() == 12 * Block);
}
