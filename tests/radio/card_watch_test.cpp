// The card watch and the lamps: the card pulled and put back while the
// radio runs, what an idle radio asks of the card, the stereo lamp and the
// RDS button with its menu item.
#include <doctest.h>

#include "radio_story.h"

using namespace radio_test;
using testing::RadioProgram;

namespace {

bool blank_readout_and_no_thumb(const RadioProgram &radio, const testing::SkinImage &normal)
{
    const testing::ClientShot shot = radio.Shot();
    return testing::Shows(shot, normal, Readout) && testing::Shows(shot, normal, Scale);
}

// The window's "Option" menu opened from the keyboard, measured and closed
// again: its height tells how many items it holds.
int options_menu_height(RadioProgram &radio)
{
    radio.Activate();
    radio.Tap(VK_F10);
    radio.Tap(VK_DOWN);
    HWND popup = nullptr;
    testing::WaitUntil([&] { return (popup = testing::FindProcessWindow(radio.ProcessId(), "#32768")) != nullptr; },
                       3000);
    RECT rect = {};
    if (popup)
        GetWindowRect(popup, &rect);
    radio.Tap(VK_ESCAPE);
    radio.Tap(VK_ESCAPE);
    testing::WaitUntil([&] { return testing::FindProcessWindow(radio.ProcessId(), "#32768") == nullptr; }, 3000);
    return rect.bottom - rect.top;
}

} // namespace

TEST_CASE_FIXTURE(RadioStory, "the card pulled and put back")
{
    settings.SetNumber("CurrentFrequency", 1017);
    RadioProgram radio;
    REQUIRE(radio.Window());
    AwaitFirstWatchTick();
    const testing::ClientShot playing = radio.Shot();
    REQUIRE_FALSE(testing::Shows(playing, normal, Readout));

    SUBCASE("pulled: the read-out goes blank and the scale loses its thumb at once")
    {
        const DWORD start = GetTickCount();
        card.Control().Pull();
        REQUIRE(testing::WaitUntil([&] { return blank_readout_and_no_thumb(radio, normal); }, 3000));
        const DWORD elapsed = GetTickCount() - start;
        MESSAGE("blank after " << elapsed << " ms");
        CHECK(elapsed < 400);
        // Without the card a click on a preset does nothing and the window stays.
        radio.Click(Middle(Presets[0]).x, Middle(Presets[0]).y);
        radio.Settle();
        CHECK(radio.Running());

        SUBCASE("put back: reopened, volume and frequency sent again, the read-out back")
        {
            card.ClearLog();
            card.Insert();
            REQUIRE(AwaitRequestsWith(TUNER_SET_FREQUENCY, 1017, 1, 3000).size() == 1);
            radio.Settle();
            const std::vector<std::string> expected = {"set_power(1)", "start_rds()", "set_mute(0)",
                                                       "set_volume(71)", "set_frequency(1017)"};
            CHECK_MESSAGE(Commands() == expected, testing::Join(Commands()));
            CHECK(radio.Shot().Differences(playing, Readout) == 0);
            CHECK(radio.Shot().Differences(playing, Scale) == 0);
        }
    }

    SUBCASE("muted, pulled and put back: the card plays and the mute controls are out")
    {
        radio.Click(Middle(Mute).x, Middle(Mute).y);
        REQUIRE(WaitForSkin(radio, lit, Mute));
        REQUIRE(WaitForSkin(radio, lit, MuteLamp));
        card.Pull();
        REQUIRE(testing::WaitUntil([&] { return blank_readout_and_no_thumb(radio, normal); }, 3000));
        card.Insert();
        CHECK(WaitForSkin(radio, normal, Mute));
        CHECK(WaitForSkin(radio, normal, MuteLamp));
        // The stereo lamp follows the audible stereo station again without
        // the mute button being touched.
        CHECK(WaitForSkin(radio, lit, StereoLamp, 2000));
        REQUIRE(radio.Close());
    }
}

TEST_CASE_FIXTURE(RadioStory, "a card closed by the stereo lamp's poll is tuned again by the next watch tick")
{
    // The lamp's timer; its tick polls the card like the card watch does.
    constexpr WPARAM StereoLampTimer = 7;
    settings.SetNumber("CurrentFrequency", 1017);
    settings.SetNumber("CurrentVolume", 60);
    RadioProgram radio;
    REQUIRE(radio.Window());
    StartListening();
    // The lamp's poll meets the card's one failure, as when the card goes
    // between two ticks and is back at once. A request already on its way
    // (an RDS exchange, which closes nothing) may take the failure: again.
    bool closed = false;
    for (int attempt = 0; attempt < 3 && !closed; ++attempt) {
        card.ClearLog();
        REQUIRE(card.Control().FailNext(1));
        REQUIRE(PostMessageA(radio.Window(), WM_TIMER, StereoLampTimer, 0));
        closed = !AwaitRequestsWith(TUNER_SET_POWER, 0, 1, 1000).empty();
    }
    REQUIRE(closed);
    CHECK(AwaitRequestsWith(TUNER_SET_FREQUENCY, 1017, 1, 3000).size() == 1);
    radio.Settle();
    const std::vector<std::string> expected = {"stop_rds()",  "set_power(0)",   "set_power(1)",       "start_rds()",
                                               "set_mute(0)", "set_volume(60)", "set_frequency(1017)"};
    CHECK_MESSAGE(Commands() == expected, testing::Join(Commands()));
}

TEST_CASE_FIXTURE(RadioStory, "an idle radio asks the card only what its timers ask")
{
    settings.SetNumber("CurrentFrequency", 953); // mono, no RDS
    RadioProgram radio;
    REQUIRE(radio.Window());
    StartListening();
    Sleep(2000);
    const std::vector<CardLogEntry> log = card.Log();
    CHECK_MESSAGE(testing::Commands(log).empty(), testing::Join(testing::Commands(log)));
    const size_t polls = testing::Only(log, TUNER_POLL_CARD).size();
    const size_t stereo = testing::Only(log, TUNER_IS_STEREO).size();
    const size_t levels = testing::Only(log, TUNER_RDS_LEVEL_TICK).size();
    MESSAGE("in 2 s: " << polls << " polls, " << stereo << " stereo queries, " << levels << " RDS exchanges");
    // Ten watch polls and two stereo-lamp polls a second; as many stereo
    // queries as lamp polls; ten RDS level exchanges a second.
    CHECK(polls >= 14);
    CHECK(polls <= 26);
    CHECK(stereo >= 2);
    CHECK(stereo <= 5);
    CHECK(levels >= 12);
    CHECK(levels <= 22);
    CHECK(testing::Only(log, TUNER_READ_RDS_TEXT).empty());
}

TEST_CASE_FIXTURE(RadioStory, "the stereo lamp")
{
    settings.SetNumber("CurrentFrequency", 891); // stereo
    RadioProgram radio;
    REQUIRE(radio.Window());
    REQUIRE(WaitForSkin(radio, lit, StereoLamp, 2000));

    SUBCASE("muting puts it out within half a second, un-muting lights it again")
    {
        radio.Click(Middle(Mute).x, Middle(Mute).y);
        CHECK(WaitForSkin(radio, normal, StereoLamp, 700));
        radio.Click(Middle(Mute).x, Middle(Mute).y);
        CHECK(WaitForSkin(radio, lit, StereoLamp, 700));
    }

    SUBCASE("mono forced: out, and the card is not asked about stereo")
    {
        radio.Click(Middle(Mono).x, Middle(Mono).y);
        REQUIRE(WaitForSkin(radio, lit, Mono));
        CHECK(WaitForSkin(radio, normal, StereoLamp, 700));
        card.ClearLog();
        Sleep(1100);
        const std::vector<CardLogEntry> log = card.Log();
        CHECK(testing::Only(log, TUNER_IS_STEREO).empty());
        CHECK(ShowsSkin(radio, normal, StereoLamp));
        REQUIRE(radio.Close());
        CHECK(settings.Number("AudioOutputType") == 1);
    }

    SUBCASE("a mono station: out")
    {
        radio.Activate();
        for (int step = 0; step < 62; ++step) // 89.1 -> 95.3
            radio.KeyDown(VK_RIGHT);
        radio.KeyUp(VK_RIGHT);
        REQUIRE(AwaitRequestsWith(TUNER_SET_FREQUENCY, 953, 1, 5000).size() >= 1);
        CHECK(WaitForSkin(radio, normal, StereoLamp, 1000));
    }
}

TEST_CASE_FIXTURE(RadioStory, "the RDS button and menu item follow the card's RDS")
{
    settings.SetNumber("CurrentFrequency", 891); // carries RDS
    RadioProgram radio;
    REQUIRE(radio.Window());
    const int threeItems = options_menu_height(radio);
    REQUIRE(threeItems > 0);
    REQUIRE(WaitForSkin(radio, lit, Rds, 3000));
    // The menu item follows within a tick. 3 s: each look opens and closes
    // the menu, which takes a good part of a second on a loaded machine.
    int fourItems = 0;
    CHECK(testing::WaitUntil([&] { return (fourItems = options_menu_height(radio)) > threeItems; }, 3000));
    CHECK(fourItems - threeItems < threeItems / 2); // one more item, not a second menu

    // Away to a station without RDS: the level falls and both go.
    radio.Activate();
    for (int step = 0; step < 62; ++step)
        radio.KeyDown(VK_RIGHT);
    radio.KeyUp(VK_RIGHT);
    REQUIRE(AwaitRequestsWith(TUNER_SET_FREQUENCY, 953, 1, 5000).size() >= 1);
    CHECK(WaitForSkin(radio, normal, Rds, 4000));
    CHECK(testing::WaitUntil([&] { return options_menu_height(radio) == threeItems; }, 3000));
    // The button is out of use without RDS: a click opens nothing.
    radio.Click(Middle(Rds).x, Middle(Rds).y);
    radio.Settle();
    CHECK(ShowsSkin(radio, normal, Rds));
}
