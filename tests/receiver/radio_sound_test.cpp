// The radio's sound on the software receiver, as it comes out of the sound
// card: the real radio on the kit's server, its waveOut played into ALSA's
// file plugin (radio_sound.h), and the file read back. The card's clock runs
// fast against the wall, so the sound comes in stretches between short
// silences: every figure is read from whole stretches.
#include <doctest.h>

#include <cmath>
#include <string>
#include <vector>

#include "radio_sound.h"
#include "radio_story.h"

using namespace radio_test;
using testing::RadioProgram;

namespace {

constexpr size_t FramesPerSecond = 48000;
constexpr WPARAM SleepCountdownTimer = 11;
constexpr WPARAM SleepFadeTimer = 12;
constexpr WPARAM SleepFifteenMinutes = 32781; // Option > Sleep > 15 minutes
constexpr double VolumeStepDb = 1.25;

double seconds_since(DWORD start)
{
    return (GetTickCount() - start) / 1000.0;
}

// The sound of the last half of the next `frames` the card plays: by then
// what was asked before has reached the card (its queue and Wine's hold a
// fraction of that).
struct Heard {
    std::vector<int16_t> pcm;
    std::vector<Stretch> stretches;
};

Heard hear(const SoundToCapture &sound, size_t frames)
{
    Heard heard;
    const size_t end = sound.Frames() + frames;
    if (!sound.AwaitFrames(end, 20000))
        return heard;
    heard.pcm = sound.Read(end - frames / 2, end);
    heard.stretches = sound_stretches(heard.pcm, FramesPerSecond / 50);
    return heard;
}

// The level of a tone heard in the middle, once steady: the two halves of
// what was heard agree.
double steady_level(const SoundToCapture &sound, double hz)
{
    const Heard heard = hear(sound, 2 * FramesPerSecond);
    const size_t half = heard.stretches.size() / 2;
    REQUIRE(half >= 2);
    const std::vector<Stretch> early(heard.stretches.begin(), heard.stretches.begin() + long(half));
    const std::vector<Stretch> late(heard.stretches.begin() + long(half), heard.stretches.end());
    const double earlyDb = tone_db(heard.pcm, early, Side::Middle, hz);
    const double lateDb = tone_db(heard.pcm, late, Side::Middle, hz);
    CHECK_MESSAGE(std::fabs(earlyDb - lateDb) < 0.2, "not steady: " << earlyDb << " then " << lateDb << " dB");
    return tone_db(heard.pcm, heard.stretches, Side::Middle, hz);
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
    const Heard stereo = hear(sound, 2 * FramesPerSecond);
    REQUIRE(stereo.stretches.size() >= 4);
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
    const Heard mono = hear(sound, 2 * FramesPerSecond);
    REQUIRE(mono.stretches.size() >= 4);
    const int difference = largest_side_difference(mono.pcm, mono.stretches);
    CHECK_MESSAGE(difference <= 1, "left and right differ by up to " << difference);
    CHECK(tone_db(mono.pcm, mono.stretches, Side::Right, classic.leftHz) > leftOwn - 12);

    // The sleep timer's last minute: each tick one volume step down, heard
    // at the card; the last ends the radio.
    PostMessageA(radio.Window(), WM_COMMAND, SleepFifteenMinutes, 0);
    PostMessageA(radio.Window(), WM_TIMER, SleepCountdownTimer, 0);
    radio.Settle();
    std::vector<double> levels = {steady_level(sound, classic.leftHz)};
    for (int tick = 1; tick <= 3; ++tick) {
        PostMessageA(radio.Window(), WM_TIMER, SleepFadeTimer, 0);
        radio.Settle();
        levels.push_back(steady_level(sound, classic.leftHz));
    }
    PostMessageA(radio.Window(), WM_TIMER, SleepFadeTimer, 0);
    CHECK(radio.WaitExit() == 0);
    // Nothing plays after the end.
    const size_t ended = sound.Frames();
    CHECK_FALSE(sound.AwaitFrames(ended + FramesPerSecond / 10, 1000));
    std::string steps;
    for (size_t i = 1; i < levels.size(); ++i) {
        const double step = levels[i - 1] - levels[i];
        steps += std::to_string(step).substr(0, 5) + " ";
        CHECK(step > VolumeStepDb - 0.25);
        CHECK(step < VolumeStepDb + 0.25);
    }
    MESSAGE("fade steps at the card (dB): " << steps);
}
