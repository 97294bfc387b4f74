// The radio's sound on the software receiver, as it comes out of the sound
// card: the real radio on the kit's server, its waveOut played into ALSA's
// file plugin (radio_sound.h), and the file read back. The card's clock runs
// fast against the wall, so the sound comes in stretches between short
// silences: every figure is read from whole stretches.
#include <doctest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "radio_sound.h"
#include "radio_story.h"
#include "screen_reader.h"

using namespace radio_test;
using testing::RadioProgram;

namespace {

constexpr size_t FramesPerSecond = 48000;
constexpr WPARAM SleepCountdownTimer = 11;
constexpr WPARAM SleepFadeTimer = 12;
constexpr WPARAM SleepFifteenMinutes = 32781; // Option > Sleep > 15 minutes
constexpr double VolumeStepDb = 1.25;
// Enough sound to read a figure from: a tenth of a second, in stretches of
// 40 ms and more (in which the other tone, 261 Hz away, leaks in 80 dB down).
constexpr size_t EnoughFrames = FramesPerSecond / 10;
constexpr size_t ShortestStretch = FramesPerSecond / 25;

double seconds_since(DWORD start)
{
    return (GetTickCount() - start) / 1000.0;
}

// What the card plays once `settle` more frames have gone by (by then what
// was asked before has reached it: its queue and Wine's hold a fraction of
// that), until `wanted` frames of sound have come. The kit's server in this
// process falls behind the dongle's pace on a loaded machine, and the card
// then plays more silence between the stretches.
struct Heard {
    std::vector<int16_t> pcm;
    std::vector<Stretch> stretches;
};

Heard hear(const SoundToCapture &sound, size_t settle, size_t wanted)
{
    Heard heard;
    const size_t from = sound.Frames() + settle;
    for (size_t more = FramesPerSecond / 4; more <= 20 * FramesPerSecond; more += FramesPerSecond / 4) {
        if (!sound.AwaitFrames(from + more, 10000))
            break;
        heard.pcm = sound.Read(from, from + more);
        heard.stretches = sound_stretches(heard.pcm, ShortestStretch);
        if (sound_frames(heard.stretches) >= wanted)
            break;
    }
    return heard;
}

// The level of a tone heard, and whether it was steady: the first and the
// second half of the sound heard agree.
struct Level {
    double db = 0;
    bool steady = false;
};

Level steady_level(const SoundToCapture &sound, double hz)
{
    const Heard heard = hear(sound, FramesPerSecond, 3 * EnoughFrames);
    const size_t total = sound_frames(heard.stretches);
    REQUIRE_MESSAGE(total >= 3 * EnoughFrames, heard.stretches.size() << " stretches, " << total << " frames");
    size_t middle = 0; // the frame where half the sound has been heard
    for (size_t counted = 0, i = 0; counted < total / 2 && i < heard.stretches.size(); ++i) {
        const Stretch &stretch = heard.stretches[i];
        middle = stretch.first + std::min(stretch.last - stretch.first, total / 2 - counted);
        counted += middle - stretch.first;
    }
    const std::vector<Stretch> early = stretches_within(heard.stretches, 0, middle, ShortestStretch);
    const std::vector<Stretch> late = stretches_within(heard.stretches, middle, SIZE_MAX, ShortestStretch);
    const double earlyDb = tone_db(heard.pcm, early, Side::Middle, hz);
    const double lateDb = tone_db(heard.pcm, late, Side::Middle, hz);
    Level level;
    level.steady = std::fabs(earlyDb - lateDb) < 0.2;
    if (!level.steady)
        MESSAGE("not steady: " << earlyDb << " then " << lateDb << " dB, " << early.size() << " and " << late.size()
                               << " stretches");
    level.db = tone_db(heard.pcm, heard.stretches, Side::Middle, hz);
    return level;
}

// The radio's volume (40..79) from what a screen reader hears of its slider
// (a percentage of the slider's range).
int volume_shown(const reader::ScreenReader &screenReader)
{
    const std::string percent = screenReader.Read(reader::VolumeId).value;
    return 40 + static_cast<int>(std::lround(std::atoi(percent.c_str()) * 39 / 100.0));
}

} // namespace

TEST_CASE_FIXTURE(RadioStory, "the radio's sound on a server: stereo where it belongs, mono on both sides, "
                              "the sleep timer's fade step by step to the end")
{
    SoundToCapture sound;
    REQUIRE_MESSAGE(sound.Ready(), "TAVOLIN_AUDIO_CAPTURE and ALSA_CONFIG_PATH are set by CTest (tests/receiver)");
    const sdrkit::DemoStation &classic = sdrkit::DemoStations[1];
    DemoServer demo(settings, static_cast<int32_t>(classic.frequencyHz / 100000));
    // Four steps above the lowest: the fade is four ticks, 15 s apart on
    // the radio's own timer, so the ticks the test posts are the only ones.
    settings.SetNumber("CurrentVolume", 44);

    // Start to first sound: the window, the link, the tune, the sink's floor.
    const DWORD started = GetTickCount();
    RadioProgram radio;
    REQUIRE(radio.Window());
    const size_t first = sound.AwaitSound(0, 10000);
    const double firstSound = seconds_since(started);
    REQUIRE_MESSAGE(first != SIZE_MAX, "no sound reached the card");
    MESSAGE("start to first sound: " << firstSound << " s");
    CHECK(firstSound < 4.0); // a loaded machine's bound; the benchmark has the figure (goal: 1 s)

    // Stereo: each side its own tone, the other's far below, once the lamp
    // is lit and the blend has let the stereo part in whole.
    REQUIRE(WaitForSkin(radio, lit, StereoLamp, 10000));
    const Heard stereo = hear(sound, FramesPerSecond, 5 * EnoughFrames);
    REQUIRE(sound_frames(stereo.stretches) >= 5 * EnoughFrames);
    const double leftOwn = tone_db(stereo.pcm, stereo.stretches, Side::Left, classic.leftHz);
    const double leftOther = tone_db(stereo.pcm, stereo.stretches, Side::Left, classic.rightHz);
    const double rightOwn = tone_db(stereo.pcm, stereo.stretches, Side::Right, classic.rightHz);
    const double rightOther = tone_db(stereo.pcm, stereo.stretches, Side::Right, classic.leftHz);
    MESSAGE("separation through the radio: " << leftOwn - rightOther << " dB left, " << rightOwn - leftOther
                                             << " dB right (tones at " << leftOwn << " and " << rightOwn
                                             << " dB of full scale)");
    CHECK(leftOwn - rightOther >= 30);
    CHECK(rightOwn - leftOther >= 30);

    // MONO: both sides the same, sample for sample, with both tones.
    radio.Click(Middle(Mono).x, Middle(Mono).y);
    const Heard mono = hear(sound, FramesPerSecond, 5 * EnoughFrames);
    REQUIRE(sound_frames(mono.stretches) >= 5 * EnoughFrames);
    const int difference = largest_side_difference(mono.pcm, mono.stretches);
    CHECK_MESSAGE(difference <= 1, "left and right differ by up to " << difference);
    CHECK(tone_db(mono.pcm, mono.stretches, Side::Right, classic.leftHz) > leftOwn - 12);

    // The sleep timer's last minute: each tick one volume step down, heard
    // at the card; the last ends the radio. The radio's own ticks (every
    // 15 s at this volume) may come beside the test's on a slow machine: a
    // level counts only when the volume shown held while it was heard, and
    // each step is judged by the volume steps between two levels.
    reader::ScreenReader screenReader;
    REQUIRE(screenReader.Open(radio.Window()) == S_OK);
    PostMessageA(radio.Window(), WM_COMMAND, SleepFifteenMinutes, 0);
    PostMessageA(radio.Window(), WM_TIMER, SleepCountdownTimer, 0);
    radio.Settle();
    struct Measured {
        int volume;
        double db;
    };
    std::vector<Measured> levels;
    for (int tick = 0; tick < 8 && IsWindow(radio.Window()); ++tick) {
        const int volume = volume_shown(screenReader);
        if (volume <= 40)
            break;
        const Level level = steady_level(sound, classic.leftHz);
        if (level.steady && volume_shown(screenReader) == volume && (levels.empty() || levels.back().volume != volume))
            levels.push_back({volume, level.db});
        PostMessageA(radio.Window(), WM_TIMER, SleepFadeTimer, 0);
        radio.Settle();
    }
    std::string steps;
    for (size_t i = 1; i < levels.size(); ++i) {
        const double step = (levels[i - 1].db - levels[i].db) / (levels[i - 1].volume - levels[i].volume);
        steps += std::to_string(step).substr(0, 5) + " ";
        CHECK(step > VolumeStepDb - 0.25);
        CHECK(step < VolumeStepDb + 0.25);
    }
    MESSAGE("fade steps at the card (dB per volume step): " << steps);
    CHECK(levels.size() >= 3);
    // At the lowest volume one more tick ends the radio.
    for (int tick = 0; tick < 3 && radio.WaitExit(1000) == -1; ++tick)
        PostMessageA(radio.Window(), WM_TIMER, SleepFadeTimer, 0);
    CHECK(radio.WaitExit() == 0);
    // Nothing plays after the end.
    const size_t ended = sound.Frames();
    CHECK_FALSE(sound.AwaitFrames(ended + FramesPerSecond / 10, 1000));
    // How the sound ended: faded (the sink's test holds it to that) unless
    // the card had run dry just before, which this capture's fast clock
    // makes common; printed only.
    const std::vector<int16_t> tail = sound.Read(ended > FramesPerSecond ? ended - FramesPerSecond : 0, ended);
    size_t lastSound = tail.size() / 2;
    while (lastSound > 0 && tail[2 * lastSound - 2] == 0 && tail[2 * lastSound - 1] == 0)
        --lastSound;
    const size_t millisecond = FramesPerSecond / 1000;
    const auto peak = [&](size_t from, size_t to) {
        int most = 0;
        for (size_t i = 2 * from; i < 2 * to; ++i)
            most = std::max(most, std::abs(static_cast<int>(tail[i])));
        return most;
    };
    if (lastSound > 21 * millisecond)
        MESSAGE("the sound's end: peak " << peak(lastSound - 21 * millisecond, lastSound - millisecond)
                                         << " over 20 ms, then " << peak(lastSound - millisecond, lastSound)
                                         << " in its last millisecond");

}
