// Starting the radio: what the card receives up to the first card-watch
// tick, what the first paint shows, what a clean machine stores at exit, and
// how stored settings of every kind present themselves.
#include <doctest.h>

#include <algorithm>

#include "radio_story.h"
#include "temp_folder.h"

using namespace radio_test;
using testing::RadioProgram;

namespace {

std::vector<std::string> without_timed_queries(const std::vector<CardLogEntry> &entries)
{
    std::vector<std::string> requests;
    for (const CardLogEntry &entry : entries)
        if (entry.code != TUNER_RDS_LEVEL_TICK && entry.code != TUNER_IS_STEREO)
            requests.push_back(testing::Describe(entry));
    return requests;
}

bool all_show(const RadioProgram &radio, const testing::SkinImage &skin, std::initializer_list<RECT> areas)
{
    const testing::ClientShot shot = radio.Shot();
    for (const RECT &area : areas)
        if (!testing::Shows(shot, skin, area))
            return false;
    return true;
}

} // namespace

TEST_CASE_FIXTURE(RadioStory, "a first start on a clean machine")
{
    // One start, looked at in turn.
    RadioProgram radio;
    REQUIRE(radio.Window());

    // The card is opened, set up from the defaults, then tuned again by the first watch tick.
    {
        REQUIRE(testing::WaitUntil([&] { return testing::Only(card.Log(), TUNER_SET_FREQUENCY).size() >= 2; }));
        std::vector<std::string> requests = without_timed_queries(card.Log());
        const std::vector<std::string> expected = {
            "set_power(1)", "start_rds()", "set_mute(0)", "set_mute(0)", "set_volume(71)",
            "set_volume(71)", "set_search_level(1)", "set_stereo_noise_cancel(0)", "set_mono(0)",
            "set_frequency(880)", "set_band(3)", "poll_card(0)", "poll_card(0)", "set_volume(71)",
            "set_frequency(880)"};
        requests.resize(std::min(requests.size(), expected.size()));
        CHECK_MESSAGE(requests == expected, testing::Join(requests));

        // The watch timer's first tick comes about 100 ms after the band was set.
        const std::vector<CardLogEntry> log = card.Log();
        const CardLogEntry band = testing::Only(log, TUNER_SET_BAND).front();
        const CardLogEntry retune = testing::Only(log, TUNER_SET_FREQUENCY).at(1);
        const double gap = testing::Milliseconds(band, retune, Ticks());
        CHECK(gap >= 80.0);
        CHECK(gap < 600.0);
    }

    // The client area is 240 x 268 and shows the skins.
    {
        RECT client = {};
        GetClientRect(radio.Window(), &client);
        CHECK(client.right == testing::RadioClientWidth);
        CHECK(client.bottom == testing::RadioClientHeight);
        RECT outer = {};
        GetWindowRect(radio.Window(), &outer);
        CHECK(outer.left == WindowLeft);
        CHECK(outer.top == WindowTop);

        // Every key up and every lamp dark but group 1, lit from the lit skin.
        CHECK(all_show(radio, normal,
                       {TuneUp, TuneDown, AutoSearch, Mono, Mute, MuteLamp, StereoLamp, Power, Minimize, Rds,
                        Presets[0], Presets[1], Presets[2], Presets[3], Presets[4], Presets[5], Groups[1],
                        Groups[2]}));
        CHECK(ShowsSkin(radio, lit, Groups[0]));
        // The dial shows the 22-pixel thumb at 88.0, the left end, and the
        // bare USA strip right of it.
        const RECT thumb = {0, Scale.top, 22, Scale.bottom};
        CHECK(ShowsSkin(radio, normal, {thumb.right, Scale.top, 240, Scale.bottom}));
        CHECK_FALSE(ShowsSkin(radio, normal, thumb));
        // The read-out shows digits: it is not the bare skin.
        CHECK_FALSE(ShowsSkin(radio, normal, Readout));
    }

    // The defaults are stored at exit.
    {
        REQUIRE(radio.Close());
        CHECK(settings.Number("CurrentFrequency") == 880);
        CHECK(settings.Number("CurrentVolume") == 71);
        CHECK(settings.Number("AutoSearch") == 0);
        CHECK(settings.Number("Group") == 1);
        CHECK(settings.Number("RadioSystem") == 1);
        CHECK(settings.Number("AudioOutputType") == 2);
        CHECK(settings.Number("SearchLevel") == 1);
        CHECK(settings.Number("StereoNoiseCancel") == 0);
        CHECK(settings.Numbers("PresetChannel") == std::vector<int32_t>(18, 0));
        CHECK(settings.Numbers("WindowPos") == std::vector<int32_t>{WindowLeft, WindowTop});
        // The shutdown mutes the card, stops RDS and powers it off.
        const std::vector<std::string> commands = Commands();
        REQUIRE(commands.size() >= 3);
        const std::vector<std::string> last(commands.end() - 3, commands.end());
        const std::vector<std::string> shutdown = {"set_mute(1)", "stop_rds()", "set_power(0)"};
        CHECK_MESSAGE(last == shutdown, testing::Join(commands));
        CHECK(card.State().openHandles == 0);
    }
}

TEST_CASE_FIXTURE(RadioStory, "stored window positions")
{
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);

    SUBCASE("beyond the screen: brought to the middle")
    {
        settings.PlaceWindow(5000, 5000);
        RadioProgram radio;
        RECT outer = {};
        GetWindowRect(radio.Window(), &outer);
        CHECK(outer.left == screenWidth / 2);
        CHECK(outer.top == screenHeight / 2);
    }

    SUBCASE("left of the screen: kept")
    {
        settings.PlaceWindow(-300, 10);
        RadioProgram radio;
        RECT outer = {};
        GetWindowRect(radio.Window(), &outer);
        CHECK(outer.left == -300);
        CHECK(outer.top == 10);
    }

    SUBCASE("closed while minimised: the restored place is stored and the next start is on screen")
    {
        {
            RadioProgram radio;
            ShowWindow(radio.Window(), SW_MINIMIZE);
            REQUIRE(testing::WaitUntil([&] { return IsIconic(radio.Window()) != 0; }));
            REQUIRE(radio.Close());
        }
        CHECK(settings.Numbers("WindowPos") == std::vector<int32_t>{WindowLeft, WindowTop});
        RadioProgram again;
        RECT outer = {};
        GetWindowRect(again.Window(), &outer);
        CHECK(outer.left == WindowLeft);
        CHECK(outer.top == WindowTop);
    }
}

TEST_CASE_FIXTURE(RadioStory, "stored band plans")
{
    SUBCASE("0 is USA, and 1 is stored at exit")
    {
        settings.SetNumber("RadioSystem", 0);
        settings.SetNumber("CurrentFrequency", 870);
        {
            RadioProgram radio;
            REQUIRE(testing::WaitUntil([&] { return !testing::Only(card.Log(), TUNER_SET_BAND).empty(); }));
            CHECK(ShowsSkin(radio, normal, {ScaleThumb(880, 880, 1080).right, ScaleStrip.top, 240, Scale.top}));
        }
        const std::vector<std::string> commands = Commands();
        CHECK(std::find(commands.begin(), commands.end(), "set_frequency(880)") != commands.end());
        CHECK(std::find(commands.begin(), commands.end(), "set_band(3)") != commands.end());
        CHECK(settings.Number("RadioSystem") == 1);
    }

    SUBCASE("3 is Japan: 100.0 MHz becomes 91.0, the Japan dial from the pressed skin, band code 2")
    {
        settings.SetNumber("RadioSystem", 3);
        settings.SetNumber("CurrentFrequency", 1000);
        RadioProgram radio;
        REQUIRE(testing::WaitUntil([&] { return !testing::Only(card.Log(), TUNER_SET_BAND).empty(); }));
        const std::vector<std::string> commands = Commands();
        CHECK(std::find(commands.begin(), commands.end(), "set_frequency(910)") != commands.end());
        CHECK(std::find(commands.begin(), commands.end(), "set_band(2)") != commands.end());
        // The strip left of the thumb (at the top end) is the pressed skin's Japan dial.
        const RECT thumb = {218, Scale.top, 240, Scale.bottom};
        CHECK(ShowsSkin(radio, pressed, {0, ScaleStrip.top, thumb.left, ScaleStrip.bottom}));
        CHECK_FALSE(ShowsSkin(radio, pressed, thumb));
        REQUIRE(radio.Close());
        CHECK(settings.Number("CurrentFrequency") == 910);
        CHECK(settings.Number("RadioSystem") == 3);
    }

    SUBCASE("7 is taken as USA for the start, with its band sent, and 1 is stored")
    {
        settings.SetNumber("RadioSystem", 7);
        settings.SetNumber("CurrentFrequency", 1000);
        {
            RadioProgram radio;
            REQUIRE(testing::WaitUntil([&] { return !testing::Only(card.Log(), TUNER_SET_BAND).empty(); }));
            CHECK(ShowsSkin(radio, normal, {0, ScaleStrip.top, 240, Scale.top}));
            CHECK_FALSE(ShowsSkin(radio, normal, ScaleThumb(1000, 880, 1080)));
        }
        const std::vector<std::string> commands = Commands();
        CHECK(std::find(commands.begin(), commands.end(), "set_frequency(1000)") != commands.end());
        CHECK(std::find(commands.begin(), commands.end(), "set_band(3)") != commands.end());
        CHECK(settings.Number("RadioSystem") == 1);
    }
}

TEST_CASE_FIXTURE(RadioStory, "stored group and mono mode")
{
    SUBCASE("group 2: its button lit, its presets selected")
    {
        settings.SetNumber("Group", 2);
        settings.Set("PresetChannel", REG_BINARY,
                     testing::Bytes({881, 882, 883, 884, 885, 886, 901, 902, 903, 904, 905, 906, 1001, 1002, 1003,
                                     1004, 1005, 1006}));
        RadioProgram radio;
        CHECK(ShowsSkin(radio, lit, Groups[1]));
        CHECK(ShowsSkin(radio, normal, Groups[0]));
        CHECK(ShowsSkin(radio, normal, Groups[2]));
        // Preset 1 of group 2 is recalled.
        card.ClearLog();
        radio.Click(Middle(Presets[0]).x, Middle(Presets[0]).y);
        REQUIRE(testing::WaitUntil([&] { return !testing::Only(card.Log(), TUNER_SET_FREQUENCY, 901).empty(); }));
    }

    SUBCASE("group 7: no group lit, group 3 selected")
    {
        settings.SetNumber("Group", 7);
        RadioProgram radio;
        CHECK(all_show(radio, normal, {Groups[0], Groups[1], Groups[2]}));
        card.ClearLog();
        radio.Click(Middle(Presets[1]).x, Middle(Presets[1]).y);
        // Group 3's defaults were replaced by the stored zeros: slot 2 recalls to 88.0 via -2.
        REQUIRE(testing::WaitUntil([&] { return !testing::Only(card.Log(), TUNER_SET_FREQUENCY, -2).empty(); }));
        REQUIRE(radio.Close());
        CHECK(settings.Number("Group") == 7);
    }

    SUBCASE("mono stored: the start is in stereo, and stereo is stored again")
    {
        settings.SetNumber("AudioOutputType", 1);
        {
            RadioProgram radio;
            CHECK(ShowsSkin(radio, normal, Mono));
        }
        const std::vector<std::string> commands = Commands();
        CHECK(std::find(commands.begin(), commands.end(), "set_mono(0)") != commands.end());
        CHECK(std::find(commands.begin(), commands.end(), "set_mono(1)") == commands.end());
        CHECK(settings.Number("AudioOutputType") == 2);
    }
}

TEST_CASE_FIXTURE(RadioStory, "skins come from the current folder")
{
    testing::TempFolder folder("tavolin-no-lit-skin");
    for (const char *name : {"BK_U.bmp", "BK_P.bmp"})
        folder.Copy(testing::BinDirectory() + "\\" + name, name);
    RadioProgram radio(folder.Path());
    REQUIRE(radio.Window());
    // No message, no other window: the unlit keys are drawn as ever.
    CHECK(all_show(radio, normal, {TuneUp, TuneDown, Presets[0], Groups[1]}));
    CHECK_FALSE(ShowsSkin(radio, lit, Groups[0]));
    CHECK(radio.Close());
}

TEST_CASE_FIXTURE(RadioStory, "a second start brings the running window forward")
{
    RadioProgram first;
    REQUIRE(first.Window());
    ShowWindow(first.Window(), SW_HIDE);
    REQUIRE(testing::WaitUntil([&] { return !IsWindowVisible(first.Window()); }));

    RadioProgram second;
    CHECK(second.WaitExit(10000) == 0);
    CHECK(testing::WaitUntil([&] { return IsWindowVisible(first.Window()) != 0; }));
    CHECK(testing::WaitUntil([&] { return GetForegroundWindow() == first.Window(); }));
    CHECK(first.Running());
}
