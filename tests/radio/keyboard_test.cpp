// The letter and digit shortcuts: each acts on its control as a click at
// the control's corner, one shortcut at a time.
#include <doctest.h>

#include "radio_story.h"

using namespace radio_test;
using testing::RadioProgram;

TEST_CASE_FIXTURE(RadioStory, "letter shortcuts")
{
    // One radio for all of them in turn, each from an empty log.
    RadioProgram radio;
    StartActive(radio);
    StartListening();

    // M mutes and lights the lamp; again un-mutes.
    {
        radio.KeyDown('M');
        REQUIRE(WaitForSkin(radio, pressed, Mute));
        radio.KeyUp('M');
        CHECK(WaitForSkin(radio, lit, Mute));
        CHECK(WaitForSkin(radio, lit, MuteLamp));
        radio.Tap('M');
        CHECK(WaitForSkin(radio, normal, MuteLamp));
        radio.Settle();
        const std::vector<std::string> expected = {"set_mute(1)", "set_mute(0)"};
        CHECK_MESSAGE(Commands() == expected, testing::Join(Commands()));
    }

    // S forces mono and lets stereo back.
    card.ClearLog();
    {
        radio.Tap('S');
        CHECK(WaitForSkin(radio, lit, Mono));
        radio.Tap('S');
        CHECK(WaitForSkin(radio, normal, Mono));
        radio.Settle();
        const std::vector<std::string> expected = {"set_mono(1)", "set_mono(0)"};
        CHECK_MESSAGE(Commands() == expected, testing::Join(Commands()));
    }

    // R does nothing while no RDS is received.
    card.ClearLog();
    {
        const testing::WindowCensus before = testing::CountProcessWindows(radio.ProcessId());
        radio.Tap('R');
        radio.Settle();
        CHECK(testing::FindProcessDialog(radio.ProcessId(), "RDS") == nullptr);
        CHECK(testing::CountProcessWindows(radio.ProcessId()).all == before.all);
        CHECK(ShowsSkin(radio, normal, Rds));
        CHECK_MESSAGE(Commands().empty(), testing::Join(Commands()));
    }

    // A held shortcut's own auto-repeat is ignored.
    card.ClearLog();
    {
        radio.KeyDown('S');
        radio.KeyDown('S');
        radio.KeyDown('S');
        radio.KeyUp('S');
        CHECK(WaitForSkin(radio, lit, Mono));
        radio.Settle();
        CHECK(Commands() == std::vector<std::string>{"set_mono(1)"});
    }

    // A shortcut pressed while another is held does nothing; its key-up
    // frees the latch.
    card.ClearLog();
    {
        radio.KeyDown('M');
        REQUIRE(WaitForSkin(radio, pressed, Mute));
        radio.KeyDown('1');
        radio.Settle();
        CHECK(ShowsSkin(radio, normal, Presets[0]));
        radio.KeyUp('1'); // releases preset 1, which is not pressed; clears the latch
        radio.KeyUp('M'); // M's button is released too: the key-up names it
        radio.Settle();
        Sleep(400);
        CHECK(testing::Only(card.Log(), TUNER_SET_FREQUENCY).empty());
        radio.Tap('S'); // mono, lit above, goes out again
        CHECK(WaitForSkin(radio, normal, Mono));
    }

    // A switches the tune buttons to search and sends nothing.
    card.ClearLog();
    {
        radio.Tap('A');
        CHECK(WaitForSkin(radio, lit, AutoSearch));
        radio.Settle();
        CHECK_MESSAGE(Commands().empty(), testing::Join(Commands()));
        // Right now searches instead of stepping.
        radio.Tap(VK_RIGHT);
        REQUIRE(AwaitRequests(TUNER_SEEK, 1).size() >= 1);
        CHECK(testing::Only(card.Log(), TUNER_SET_FREQUENCY, 881).empty());
        REQUIRE(radio.Close());
        CHECK(settings.Number("AutoSearch") == 1);
    }
}
