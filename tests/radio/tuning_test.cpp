// Tuning as a listener does it: a tune button held in step mode (a step at
// once, one at 1100 ms, then one every 100 ms, none past the band edge,
// paused while the pointer is off the button), the arrow keys, and the
// station search with its end by the card, by a key and by a click.
#include <doctest.h>

#include "radio_story.h"

using namespace radio_test;
using testing::RadioProgram;

namespace {

std::vector<int32_t> tuned(const std::vector<CardLogEntry> &entries)
{
    std::vector<int32_t> frequencies;
    for (const CardLogEntry &entry : testing::Only(entries, TUNER_SET_FREQUENCY))
        frequencies.push_back(static_cast<int32_t>(testing::LoggedWord(entry)));
    return frequencies;
}

std::string list(const std::vector<int32_t> &numbers)
{
    std::string text;
    for (int32_t number : numbers)
        text += std::to_string(number) + " ";
    return text;
}

// A long way to the only station: the search runs for many seconds.
const char FarStation[] = "seek_step 1\nstation 1075 stereo\n";

// The window holding the mouse capture on the radio's thread, if any.
HWND capture_of(const RadioProgram &radio)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    REQUIRE(GetGUIThreadInfo(GetWindowThreadProcessId(radio.Window(), nullptr), &info));
    return info.hwndCapture;
}

} // namespace

TEST_CASE_FIXTURE(RadioStory, "a tune button held in step mode")
{
    const POINT up = Middle(TuneUp);

    SUBCASE("a step at the press, one at 1100 ms, then one every 100 ms until the release")
    {
        settings.SetNumber("CurrentFrequency", 900);
        RadioProgram radio;
        REQUIRE(radio.Window());
        StartListening();
        const int64_t pressedAt = Now();
        radio.Press(up.x, up.y);
        REQUIRE(AwaitRequests(TUNER_SET_FREQUENCY, 6, 5000).size() >= 6);
        radio.Release();
        radio.Settle();
        const size_t steps = testing::Only(card.Log(), TUNER_SET_FREQUENCY).size();
        Sleep(400);
        const std::vector<CardLogEntry> log = testing::Only(card.Log(), TUNER_SET_FREQUENCY);
        CHECK(log.size() == steps); // nothing after the release
        REQUIRE(log.size() >= 6);
        for (size_t step = 0; step < log.size(); ++step)
            CHECK(testing::LoggedWord(log[step]) == 901 + step);
        CHECK(Since(pressedAt, log[0]) < 300.0);
        const double hold = testing::Milliseconds(log[0], log[1], Ticks());
        CHECK(hold >= 1050.0);
        CHECK(hold < 1600.0);
        for (size_t step = 2; step < log.size(); ++step) {
            const double gap = testing::Milliseconds(log[step - 1], log[step], Ticks());
            CHECK(gap >= 60.0);
            CHECK(gap < 300.0);
        }
        CHECK(ShowsSkin(radio, normal, TuneUp));
    }

    SUBCASE("at 107.8 MHz: 107.9 at the press, 108.0 after the hold, then nothing more and no wrap")
    {
        settings.SetNumber("CurrentFrequency", 1078);
        RadioProgram radio;
        REQUIRE(radio.Window());
        StartListening();
        radio.Press(up.x, up.y);
        REQUIRE(AwaitRequests(TUNER_SET_FREQUENCY, 2, 3000).size() >= 2);
        Sleep(700);
        radio.Release();
        radio.Settle();
        CHECK(list(tuned(card.Log())) == "1079 1080 ");
        REQUIRE(radio.Close());
        CHECK(settings.Number("CurrentFrequency") == 1080);
    }

    SUBCASE("the pointer moved off the button pauses the steps; back on, they resume")
    {
        settings.SetNumber("CurrentFrequency", 900);
        RadioProgram radio;
        REQUIRE(radio.Window());
        StartListening();
        radio.Press(up.x, up.y);
        REQUIRE(AwaitRequests(TUNER_SET_FREQUENCY, 3, 4000).size() >= 3);
        radio.MoveTo(200, 30);
        radio.Settle();
        const size_t paused = testing::Only(card.Log(), TUNER_SET_FREQUENCY).size();
        Sleep(500);
        CHECK(testing::Only(card.Log(), TUNER_SET_FREQUENCY).size() == paused);
        radio.MoveTo(up.x, up.y);
        CHECK(AwaitRequests(TUNER_SET_FREQUENCY, paused + 2, 2000).size() >= paused + 2);
        radio.Release();
    }
}

TEST_CASE_FIXTURE(RadioStory, "arrow keys")
{
    settings.SetNumber("CurrentFrequency", 900);
    RadioProgram radio;
    StartActive(radio);
    StartListening();

    SUBCASE("Right held steps once per key-down of the keyboard's repeat; Left steps back")
    {
        radio.KeyDown(VK_RIGHT);
        radio.KeyDown(VK_RIGHT);
        radio.KeyDown(VK_RIGHT);
        radio.KeyUp(VK_RIGHT);
        radio.Tap(VK_LEFT);
        REQUIRE(AwaitRequests(TUNER_SET_FREQUENCY, 4).size() >= 4);
        radio.Settle();
        CHECK(list(tuned(card.Log())) == "901 902 903 902 ");
        // The key does not press the button's picture.
        CHECK(ShowsSkin(radio, normal, TuneUp));
    }

    SUBCASE("Up and Down set the volume one step at a time")
    {
        radio.Tap(VK_UP);
        radio.Tap(VK_UP);
        radio.Tap(VK_DOWN);
        REQUIRE(AwaitRequests(TUNER_SET_VOLUME, 3).size() >= 3);
        radio.Settle();
        const std::vector<std::string> expected = {"set_volume(72)", "set_volume(73)", "set_volume(72)"};
        CHECK_MESSAGE(Commands() == expected, testing::Join(Commands()));
        REQUIRE(radio.Close());
        CHECK(settings.Number("CurrentVolume") == 72);
    }
}

TEST_CASE_FIXTURE(RadioStory, "the station search")
{
    settings.SetNumber("AutoSearch", 1);
    settings.SetNumber("CurrentFrequency", 880);
    const POINT up = Middle(TuneUp);

    SUBCASE("to the next station: muted throughout, one tuning at the end, the sound back")
    {
        RadioProgram radio;
        REQUIRE(radio.Window());
        CHECK(ShowsSkin(radio, lit, AutoSearch));
        StartListening();
        radio.Click(up.x, up.y);
        REQUIRE(AwaitRequestsWith(TUNER_SET_MUTE, 0, 1, 5000).size() >= 1);
        radio.Settle();
        // From 88.0 the card stops at 88.5 and 89.0, then finds 89.1.
        const std::vector<std::string> expected = {"set_mute(1)", "seek(1,1)", "set_mute(1)", "seek(1,1)",
                                                   "set_mute(1)", "seek(1,1)", "set_frequency(891)",
                                                   "set_mute(0)"};
        CHECK_MESSAGE(Commands() == expected, testing::Join(Commands()));
        const std::vector<CardLogEntry> seeks = testing::Only(card.Log(), TUNER_SEEK);
        REQUIRE(seeks.size() == 3);
        for (size_t step = 1; step < seeks.size(); ++step)
            CHECK(testing::Milliseconds(seeks[step - 1], seeks[step], Ticks()) >= 90.0);
        CHECK(WaitForSkin(radio, normal, TuneUp));
        CHECK_FALSE(ShowsSkin(radio, normal, ScaleThumb(891, 880, 1080)));
        REQUIRE(radio.Close());
        CHECK(settings.Number("CurrentFrequency") == 891);
        CHECK(settings.Number("AutoSearch") == 1);
    }

    SUBCASE("ended by the card, it lets go of the button: no capture, no repeat once auto search is off")
    {
        RadioProgram radio;
        StartActive(radio);
        StartListening();
        radio.Click(up.x, up.y); // released while the search runs
        REQUIRE(AwaitRequestsWith(TUNER_SET_MUTE, 0, 1, 5000).size() == 1);
        radio.Settle();
        CHECK(capture_of(radio) == nullptr);
        CHECK(ShowsSkin(radio, normal, TuneUp));
        // Step mode, the pointer still on the button: one key, one step, and
        // no hold or repeat left over from the click.
        radio.Tap('A');
        REQUIRE(WaitForSkin(radio, normal, AutoSearch));
        card.ClearLog();
        radio.Tap(VK_RIGHT);
        REQUIRE(AwaitRequestsWith(TUNER_SET_FREQUENCY, 892, 1).size() == 1);
        CHECK_FALSE(testing::WaitUntil([&] { return tuned(card.Log()).size() > 1; }, 1500));
        CHECK_MESSAGE(tuned(card.Log()) == std::vector<int32_t>{892}, list(tuned(card.Log())));
    }

    SUBCASE("with the mute button lit the sound stays off at the end")
    {
        RadioProgram radio;
        REQUIRE(radio.Window());
        radio.Click(Middle(Mute).x, Middle(Mute).y);
        REQUIRE(AwaitRequests(TUNER_SET_MUTE, 1).size() >= 1);
        card.ClearLog();
        radio.Click(up.x, up.y);
        // The search runs its three steps to 89.1 and ends there, silent.
        REQUIRE(AwaitRequestsWith(TUNER_SET_FREQUENCY, 891, 1, 5000).size() == 1);
        radio.Settle();
        Sleep(200);
        CHECK(testing::Only(card.Log(), TUNER_SEEK).size() == 3);
        CHECK(testing::Only(card.Log(), TUNER_SET_MUTE, 0).empty());
        CHECK(card.State().mute == 1);
    }

    SUBCASE("a key stops a running search where it is, and does nothing else")
    {
        card.LoadScenario(FarStation);
        RadioProgram radio;
        StartActive(radio);
        StartListening();
        radio.Click(up.x, up.y);
        REQUIRE(AwaitRequests(TUNER_SEEK, 3, 3000).size() >= 3);
        radio.Tap('M');
        REQUIRE(AwaitRequestsWith(TUNER_SET_MUTE, 0, 1, 3000).size() >= 1);
        radio.Settle();
        const size_t seeks = testing::Only(card.Log(), TUNER_SEEK).size();
        Sleep(400);
        const std::vector<CardLogEntry> log = card.Log();
        CHECK(testing::Only(log, TUNER_SEEK).size() == seeks);
        CHECK(testing::Only(log, TUNER_SET_FREQUENCY).empty()); // left where the last step put it
        CHECK(testing::Only(log, TUNER_SET_MUTE, 0).size() == 1);
        CHECK(ShowsSkin(radio, normal, Mute)); // the M was used up
        CHECK(ShowsSkin(radio, normal, TuneUp));
        REQUIRE(radio.Close());
        CHECK(settings.Number("CurrentFrequency") == 880 + static_cast<int32_t>(seeks));
    }

    SUBCASE("a click over a button stops it and presses nothing")
    {
        card.LoadScenario(FarStation);
        RadioProgram radio;
        REQUIRE(radio.Window());
        StartListening();
        radio.Click(up.x, up.y);
        REQUIRE(AwaitRequests(TUNER_SEEK, 3, 3000).size() >= 3);
        radio.Click(Middle(Presets[0]).x, Middle(Presets[0]).y);
        REQUIRE(AwaitRequestsWith(TUNER_SET_MUTE, 0, 1, 3000).size() >= 1);
        radio.Settle();
        Sleep(500);
        const std::vector<CardLogEntry> log = card.Log();
        CHECK(testing::Only(log, TUNER_SET_FREQUENCY).empty()); // no recall
        CHECK(ShowsSkin(radio, normal, Presets[0]));
    }

    SUBCASE("the arrow key starts it; the keyboard's next repeat stops it")
    {
        card.LoadScenario(FarStation);
        RadioProgram radio;
        StartActive(radio);
        StartListening();
        radio.KeyDown(VK_RIGHT);
        REQUIRE(AwaitRequests(TUNER_SEEK, 2, 3000).size() >= 2);
        radio.KeyDown(VK_RIGHT);
        radio.KeyUp(VK_RIGHT);
        REQUIRE(AwaitRequestsWith(TUNER_SET_MUTE, 0, 1, 3000).size() >= 1);
        radio.Settle();
        const size_t seeks = testing::Only(card.Log(), TUNER_SEEK).size();
        Sleep(400);
        CHECK(testing::Only(card.Log(), TUNER_SEEK).size() == seeks);
        CHECK(testing::Only(card.Log(), TUNER_SET_FREQUENCY).empty());
        // Each step's press took the capture; the end gave it back.
        CHECK(capture_of(radio) == nullptr);
    }
}
