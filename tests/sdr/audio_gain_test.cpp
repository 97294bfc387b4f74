// The radio's volume and mute on the receiver's sound: the decibel law as a
// listener measures it, gain changes without clicks, wishes from another
// thread, and 16-bit output that clips instead of wrapping.
#include <windows.h>

#include <doctest.h>

#include <cmath>
#include <vector>

#include "audio_gain.h"
#include "pcm_signals.h"

using namespace testing;

namespace {

constexpr size_t Block = 480; // the signal thread's 10 ms

// Runs `frames` of a stereo tone through the gain in the signal thread's blocks; the PCM that came out.
std::vector<int16_t> play(sdr::AudioGain &gain, const std::vector<float> &tone)
{
    std::vector<int16_t> pcm(tone.size());
    for (size_t at = 0; at < tone.size() / 2; at += Block) {
        const size_t n = std::min(Block, tone.size() / 2 - at);
        gain.Process(tone.data() + 2 * at, n, pcm.data() + 2 * at);
    }
    return pcm;
}

// The level a half-scale 1 kHz tone comes out at, once the gain has settled at `volume`.
double level_at(int32_t volume)
{
    sdr::AudioGain gain;
    gain.SetVolume(volume);
    const std::vector<int16_t> pcm = play(gain, tone_frames(1000, 0.5, 7200));
    return level_db(pcm, 0, 2400, 7200); // after the ramp from silence; whole periods
}

} // namespace

TEST_CASE("The volume law: 79 is unity, each step down 1.25 dB, 40 the floor")
{
    const double input = 20 * std::log10(0.5);
    double levels[sdr::VolumeMax + 1] = {};
    for (int32_t v = sdr::VolumeMin; v <= sdr::VolumeMax; ++v)
        levels[v] = level_at(v) - input;

    CHECK(std::fabs(levels[sdr::VolumeMax]) < 0.1);
    for (int32_t v = sdr::VolumeMin + 1; v <= sdr::VolumeMax; ++v) {
        INFO("volume " << v);
        CHECK(levels[v] > levels[v - 1]);
        CHECK(std::fabs(levels[v] - levels[v - 1] - 1.25) < 0.1);
        CHECK(std::fabs(levels[v] - sdr::volume_gain_db(v)) < 0.1);
    }
    CHECK(std::fabs(levels[sdr::VolumeMin] + 48.75) < 0.2);
    // Off the scale: its ends.
    CHECK(level_at(39) - input == levels[sdr::VolumeMin]);
    CHECK(level_at(-5) - input == levels[sdr::VolumeMin]);
    CHECK(level_at(80) - input == levels[sdr::VolumeMax]);
}

TEST_CASE("Mute, unmute and volume jumps never click and take effect within 20 ms")
{
    // A full-scale tone: any step larger than its own, plus the ramp's share
    // of a sample, is a click. 997 Hz, so that no change falls on a zero
    // crossing, where even a cut would not click.
    const double bound = tone_step(997, 32767) + 2 * 32767.0 / sdr::AudioGain::RampFrames;
    sdr::AudioGain gain;
    const std::vector<float> tone = tone_frames(997, 1.0, 70 * Block);
    std::vector<int16_t> pcm(tone.size());
    for (size_t block = 0; block < 70; ++block) {
        switch (block) {
        case 10: gain.SetMute(true); break;
        case 20: gain.SetMute(false); break;
        case 30: gain.SetVolume(40); break;
        case 40: gain.SetVolume(79); break;
        case 50: gain.SetMute(true); gain.SetVolume(50); break;
        case 60: gain.SetMute(false); break;
        default: break;
        }
        gain.Process(tone.data() + 2 * block * Block, Block, pcm.data() + 2 * block * Block);
    }
    for (int channel = 0; channel < 2; ++channel)
        CHECK(max_step(pcm, channel) <= bound);

    // The sound starts from silence, and each change takes a few ms, no more than 20.
    CHECK(pcm[0] == 0);
    // Frames from `from` to where silence begins: half a period of the tone
    // in zeros (the tone itself passes through zero on single samples).
    const auto first_silent = [&](size_t from) {
        constexpr size_t Run = 24;
        size_t zeros = 0, i = from;
        for (; i < pcm.size() / 2 && zeros < Run; ++i)
            zeros = pcm[2 * i] == 0 && pcm[2 * i + 1] == 0 ? zeros + 1 : 0;
        return i - zeros - from;
    };
    const size_t muting = first_silent(10 * Block);
    CHECK(muting >= 96);                        // 2 ms at least: not a cut
    CHECK(muting <= sdr::AudioGain::RampFrames); // 20 ms at most
    for (size_t i = 10 * Block + sdr::AudioGain::RampFrames; i < 20 * Block; ++i)
        REQUIRE(pcm[2 * i] == 0);
    // Levels in dB of a full-scale tone, where the ramps have ended.
    CHECK(std::fabs(level_db(pcm, 0, 22 * Block, 30 * Block)) < 0.05);
    CHECK(std::fabs(level_db(pcm, 1, 32 * Block, 40 * Block) + 48.75) < 0.1);
    CHECK(std::fabs(level_db(pcm, 0, 42 * Block, 50 * Block)) < 0.05);
    // A volume changed while muted is the one heard after.
    for (size_t i = 50 * Block + sdr::AudioGain::RampFrames; i < 60 * Block; ++i)
        REQUIRE(pcm[2 * i + 1] == 0);
    CHECK(std::fabs(level_db(pcm, 0, 62 * Block, 70 * Block) + 36.25) < 0.1);
}

namespace {

// The radio's window: a wish after every few blocks the signal thread has
// processed, however the two threads happen to run, then a last one.
struct Window {
    sdr::AudioGain *gain;
    volatile LONG *blocksDone;
    LONG blocks;

    static DWORD WINAPI Run(void *self)
    {
        Window &window = *static_cast<Window *>(self);
        uint32_t random = 12345;
        for (LONG seen = 0; seen < window.blocks;) {
            const LONG now = InterlockedCompareExchange(window.blocksDone, 0, 0);
            if (now == seen) {
                SwitchToThread();
                continue;
            }
            seen = now;
            random = random * 1664525u + 1013904223u;
            if (random >> 31)
                window.gain->SetMute((random >> 30) & 1);
            else
                window.gain->SetVolume(static_cast<int32_t>(35 + (random >> 8) % 50));
        }
        window.gain->SetMute(false);
        window.gain->SetVolume(60);
        return 0;
    }
};

} // namespace

TEST_CASE("Wishes from the window's thread are taken by the signal thread without a click")
{
    constexpr LONG Blocks = 300;
    sdr::AudioGain gain;
    volatile LONG blocksDone = 0;
    Window window{&gain, &blocksDone, Blocks};
    HANDLE thread = CreateThread(nullptr, 0, &Window::Run, &window, 0, nullptr);
    REQUIRE(thread != nullptr);

    const std::vector<float> tone = tone_frames(1000, 1.0, (Blocks + 20) * Block);
    std::vector<int16_t> pcm(tone.size());
    LONG block = 0;
    for (; block < Blocks; ++block) {
        gain.Process(tone.data() + 2 * block * Block, Block, pcm.data() + 2 * block * Block);
        InterlockedExchange(&blocksDone, block + 1);
        if (block % 8 == 0)
            SwitchToThread(); // give the window its turns on a single core too
    }
    REQUIRE(WaitForSingleObject(thread, 10000) == WAIT_OBJECT_0);
    CloseHandle(thread);
    for (; block < Blocks + 20; ++block)
        gain.Process(tone.data() + 2 * block * Block, Block, pcm.data() + 2 * block * Block);

    CHECK(max_step(pcm, 0) <= tone_step(1000, 32767) + 2 * 32767.0 / sdr::AudioGain::RampFrames);
    // The last wish holds.
    const size_t end = (Blocks + 20) * Block;
    CHECK(std::fabs(level_db(pcm, 0, end - 10 * Block, end) + 19 * 1.25) < 0.1);
}

TEST_CASE("The sound leaves as 16-bit samples, clipped at full scale, never wrapped")
{
    sdr::AudioGain gain;
    std::vector<float> settle(2 * 2 * sdr::AudioGain::RampFrames, 0.0f);
    std::vector<int16_t> out(settle.size());
    gain.Process(settle.data(), settle.size() / 2, out.data());
    REQUIRE(gain.Gain() == 1.0f);

    const float in[] = {1.0f, -1.0f, 1.5f, -1.5f, 0.5f, -0.25f, 1e9f, -1e9f, NAN, 0.0f, 0.00002f, -0.00002f};
    int16_t pcm[12];
    gain.Process(in, 6, pcm);
    const int16_t expected[] = {32767, -32767, 32767, -32768, 16384, -8192, 32767, -32768, 0, 0, 1, -1};
    for (int i = 0; i < 12; ++i) {
        INFO("sample " << i);
        CHECK(pcm[i] == expected[i]);
    }
    CHECK(gain.ClippedSamples() == 4);
}
