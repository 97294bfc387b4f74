// Preset buttons as a listener uses them: a click recalls (muted, 0.2 MHz
// below, a pause, the preset, sound back), a one-second hold stores the
// tuned frequency with its label redrawn and then recalls it, by mouse and
// by key, and a user's mute is never undone by either.
#include <doctest.h>

#include "radio_story.h"

using namespace radio_test;
using testing::RadioProgram;

namespace {

// Group 1: 89.1, 95.3, 101.7, 105.3, 90.0, 107.5.
void store_presets(testing::RadioSettings &settings)
{
    settings.SetNumber("Group", 1);
    settings.SetNumber("CurrentFrequency", 953);
    settings.Set("PresetChannel", REG_BINARY,
                 testing::Bytes({891, 953, 1017, 1053, 900, 1075, 940, 950, 960, 970, 980, 990, 1000, 1010, 1020,
                                 1030, 1040, 1050}));
}

const std::vector<std::string> RecallOf1017 = {"set_mute(1)", "set_frequency(1015)", "set_frequency(1017)",
                                               "set_mute(0)"};

} // namespace

TEST_CASE_FIXTURE(RadioStory, "recalling a preset")
{
    // One radio for each way in turn, each from 95.3 or 101.6 and an empty log.
    store_presets(settings);
    RadioProgram radio;
    REQUIRE(radio.Window());
    StartListening();
    const POINT three = Middle(Presets[2]);
    // A step down from the preset, so that the next recall has a way to go.
    const auto step_away = [&] {
        REQUIRE(radio.Activate());
        radio.Tap(VK_LEFT);
        REQUIRE(AwaitRequestsWith(TUNER_SET_FREQUENCY, 1016, 1).size() == 1);
        card.ClearLog();
    };

    // A press released off the button recalls nothing.
    {
        radio.Press(three.x, three.y);
        REQUIRE(WaitForSkin(radio, pressed, Presets[2]));
        radio.MoveTo(Middle(Presets[3]).x, Middle(Presets[3]).y);
        radio.Release();
        radio.Settle();
        CHECK(WaitForSkin(radio, normal, Presets[2]));
        Sleep(400);
        CHECK_MESSAGE(Commands().empty(), testing::Join(Commands()));
    }

    // A click: muted, 0.2 MHz below, 300 ms, the preset, sound back.
    {
        const testing::ClientShot before = radio.Shot();
        radio.Click(three.x, three.y);
        REQUIRE(AwaitRequests(TUNER_SET_MUTE, 2).size() >= 2);
        radio.Settle();
        CHECK_MESSAGE(Commands() == RecallOf1017, testing::Join(Commands()));
        const std::vector<CardLogEntry> tunes = testing::Only(card.Log(), TUNER_SET_FREQUENCY);
        REQUIRE(tunes.size() == 2);
        const double pause = testing::Milliseconds(tunes[0], tunes[1], Ticks());
        CHECK(pause >= 295.0);
        CHECK(pause < 800.0);
        // The read-out and the scale moved; the button is up again.
        const testing::ClientShot after = radio.Shot();
        CHECK(after.Differences(before, Readout) > 0);
        CHECK(ShowsSkin(radio, normal, Presets[2]));
        CHECK(ShowsSkin(radio, normal, {0, Scale.top, ScaleThumb(1017, 880, 1080).left, Scale.bottom}));
        CHECK_FALSE(ShowsSkin(radio, normal, ScaleThumb(1017, 880, 1080)));
    }

    // The key 3 released early recalls, and numpad 3 does the same.
    for (WORD key : {WORD('3'), WORD(VK_NUMPAD3)}) {
        CAPTURE(key);
        step_away();
        radio.Tap(key);
        REQUIRE(AwaitRequests(TUNER_SET_MUTE, 2).size() >= 2);
        radio.Settle();
        CHECK_MESSAGE(Commands() == RecallOf1017, testing::Join(Commands()));
    }

    // With the mute button lit the sound is never turned on.
    step_away();
    {
        radio.Click(Middle(Mute).x, Middle(Mute).y);
        REQUIRE(AwaitRequests(TUNER_SET_MUTE, 1).size() >= 1);
        REQUIRE(WaitForSkin(radio, lit, Mute));
        CHECK(ShowsSkin(radio, lit, MuteLamp));
        card.ClearLog();
        radio.Click(three.x, three.y);
        AwaitFirstWatchTick();
        radio.Settle();
        const std::vector<std::string> expected = {"set_frequency(1015)", "set_frequency(1017)"};
        CHECK_MESSAGE(Commands() == expected, testing::Join(Commands()));
    }
}

TEST_CASE_FIXTURE(RadioStory, "storing a preset by holding it")
{
    store_presets(settings);
    RadioProgram radio;
    REQUIRE(radio.Window());
    StartListening();
    const POINT three = Middle(Presets[2]);
    const RECT label = LabelRect(3);
    const testing::ClientShot before = radio.Shot();
    const std::vector<std::string> recallOf953 = {"set_mute(1)", "set_frequency(951)", "set_frequency(953)",
                                                  "set_mute(0)"};

    SUBCASE("by mouse: the tuned frequency stored after a second, the label redrawn, then recalled")
    {
        const int64_t pressedAt = Now();
        radio.Press(three.x, three.y);
        CHECK(WaitForSkin(radio, pressed, Presets[2], 500));
        const std::vector<CardLogEntry> mutes = AwaitRequests(TUNER_SET_MUTE, 2, 8000);
        REQUIRE(mutes.size() == 2);
        // The hold timer fires at 1000 ms; the chime plays before the recall.
        const double held = Since(pressedAt, mutes[0]);
        CHECK(held >= 950.0);
        CHECK(held < 3000.0);
        radio.Settle();
        CHECK_MESSAGE(Commands() == recallOf953, testing::Join(Commands()));
        // The button is released by the store; the real release does nothing more.
        CHECK(ShowsSkin(radio, normal, Presets[2]));
        CHECK(radio.Shot().Differences(before, label) > 0);
        radio.Release();
        radio.Settle();
        Sleep(300);
        CHECK(Commands().size() == recallOf953.size());
        REQUIRE(radio.Close());
        const std::vector<int32_t> presets = settings.Numbers("PresetChannel");
        REQUIRE(presets.size() == 18);
        CHECK(presets[2] == 953);
        CHECK(presets[0] == 891);
        CHECK(presets[8] == 960); // the same slot of group 2 is untouched
    }

    SUBCASE("by key: held a second stores and recalls; its key-up does nothing more")
    {
        REQUIRE(radio.Activate());
        const int64_t pressedAt = Now();
        radio.KeyDown('3');
        const std::vector<CardLogEntry> mutes = AwaitRequests(TUNER_SET_MUTE, 2, 8000);
        REQUIRE(mutes.size() == 2);
        CHECK(Since(pressedAt, mutes[0]) >= 950.0);
        radio.KeyUp('3');
        radio.Settle();
        Sleep(300);
        CHECK_MESSAGE(Commands() == recallOf953, testing::Join(Commands()));
        CHECK(radio.Shot().Differences(before, label) > 0);
        REQUIRE(radio.Close());
        CHECK(settings.Numbers("PresetChannel").at(2) == 953);
    }

    SUBCASE("with the mute button lit: stored and recalled without sound")
    {
        radio.Click(Middle(Mute).x, Middle(Mute).y);
        REQUIRE(AwaitRequests(TUNER_SET_MUTE, 1).size() >= 1);
        card.ClearLog();
        radio.Press(three.x, three.y);
        REQUIRE(AwaitRequests(TUNER_SET_FREQUENCY, 2, 8000).size() >= 2);
        radio.Release();
        radio.Settle();
        const std::vector<std::string> expected = {"set_frequency(951)", "set_frequency(953)"};
        CHECK_MESSAGE(Commands() == expected, testing::Join(Commands()));
    }

    SUBCASE("a press on an empty spot, then onto the button: stored when the timer fires, without a recall")
    {
        radio.Press(200, 30); // the faceplate above the read-out: no control
        radio.MoveTo(three.x, three.y);
        REQUIRE(testing::WaitUntil([&] { return radio.Shot().Differences(before, label) > 0; }, 4000));
        radio.Release();
        radio.Settle();
        Sleep(400);
        CHECK_MESSAGE(Commands().empty(), testing::Join(Commands()));
        REQUIRE(radio.Close());
        CHECK(settings.Numbers("PresetChannel").at(2) == 953);
    }
}

TEST_CASE_FIXTURE(RadioStory, "preset groups")
{
    store_presets(settings);
    RadioProgram radio;
    REQUIRE(radio.Window());
    AwaitFirstWatchTick();
    const testing::ClientShot group1 = radio.Shot();
    const RECT labels = {LabelCorners[0].x, LabelCorners[0].y, LabelCorners[5].x + 45, LabelCorners[5].y + 9};

    SUBCASE("a click on group 2 selects its presets, lights it and puts group 1 out")
    {
        radio.Click(Middle(Groups[1]).x, Middle(Groups[1]).y);
        REQUIRE(WaitForSkin(radio, lit, Groups[1]));
        CHECK(ShowsSkin(radio, normal, Groups[0]));
        CHECK(radio.Shot().Differences(group1, labels) > 0);
        card.ClearLog();
        radio.Click(Middle(Presets[0]).x, Middle(Presets[0]).y);
        CHECK(AwaitRequestsWith(TUNER_SET_FREQUENCY, 940, 1).size() == 1);
        REQUIRE(radio.Close());
        CHECK(settings.Number("Group") == 2);
    }

    SUBCASE("a click on the lit group keeps it lit")
    {
        radio.Click(Middle(Groups[0]).x, Middle(Groups[0]).y);
        radio.Settle();
        CHECK(WaitForSkin(radio, lit, Groups[0]));
        CHECK(radio.Shot().Differences(group1, labels) == 0);
    }

    SUBCASE("pressed and released outside: the group is in use, the old button stays lit")
    {
        radio.Press(Middle(Groups[2]).x, Middle(Groups[2]).y);
        REQUIRE(WaitForSkin(radio, pressed, Groups[2]));
        CHECK(radio.Shot().Differences(group1, labels) > 0); // labels redrawn at the press
        radio.MoveTo(200, 30);
        radio.Release();
        radio.Settle();
        CHECK(WaitForSkin(radio, normal, Groups[2]));
        CHECK(ShowsSkin(radio, lit, Groups[0]));
        card.ClearLog();
        radio.Click(Middle(Presets[0]).x, Middle(Presets[0]).y);
        CHECK(AwaitRequestsWith(TUNER_SET_FREQUENCY, 1000, 1).size() == 1);
    }

    SUBCASE("Ctrl+2 presses group 2 at key-down and releases it at key-up, with no store")
    {
        REQUIRE(radio.Activate());
        card.ClearLog();
        radio.KeyDown(VK_CONTROL);
        radio.KeyDown('2');
        REQUIRE(WaitForSkin(radio, pressed, Groups[1]));
        Sleep(1300); // longer than a preset key's hold
        radio.KeyUp('2');
        radio.KeyUp(VK_CONTROL);
        CHECK(WaitForSkin(radio, lit, Groups[1]));
        CHECK(ShowsSkin(radio, normal, Groups[0]));
        radio.Settle();
        CHECK_MESSAGE(Commands().empty(), testing::Join(Commands()));
        REQUIRE(radio.Close());
        CHECK(settings.Number("Group") == 2);
        CHECK(settings.Numbers("PresetChannel").at(7) == 950);
    }

    SUBCASE("Ctrl let go before the 2: the key-up of 2 still releases group 2")
    {
        REQUIRE(radio.Activate());
        radio.KeyDown(VK_CONTROL);
        radio.KeyDown('2');
        REQUIRE(WaitForSkin(radio, pressed, Groups[1]));
        radio.KeyUp(VK_CONTROL);
        radio.KeyUp('2');
        CHECK(WaitForSkin(radio, lit, Groups[1]));
        CHECK(ShowsSkin(radio, normal, Groups[0]));
        CHECK(ShowsSkin(radio, normal, Presets[1]));
        REQUIRE(radio.Close());
        CHECK(settings.Number("Group") == 2);
    }
}
