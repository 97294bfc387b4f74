// The station scan as a listener starts it from the "Option" menu: asked
// first, then muted seeks from the band's lower edge upward, the stations
// found stored in the presets in frequency order and the radio tuned to the
// first; cut short by a key, a click or the card pulled, it changes nothing;
// with no card the item is greyed, in the window's menu and the icon's.
#include <doctest.h>

#include "tests/dialogs/dialog_story.h"

using namespace radio_test;
using testing::RadioProgram;

namespace {

constexpr char ScanCaption[] = "Scan for Stations";
constexpr char ScanQuestion[] =
    "Scan the band and store the stations found in the presets? Your 18 presets are replaced.";
// "Setting...", "About ...", then "Scan for Stations..." (no RDS received).
constexpr int ScanItem = 2;
constexpr int MessageText = 0xFFFF; // the message box's text control
constexpr size_t PresetCount = 18;

// Chooses "Scan for Stations..." and returns the question, null when none comes.
HWND ask_for_scan(RadioProgram &radio, DWORD timeoutMs = 5000)
{
    dialog_test::ChooseMenuItem(radio, ScanItem);
    return dialog_test::WaitForDialog(radio, ScanCaption, timeoutMs);
}

void answer(RadioProgram &radio, HWND question, int button)
{
    dialog_test::ClickControl(radio, question, button);
    REQUIRE(dialog_test::WaitGone(question));
}

// Closes whatever menu is open.
void close_menus(RadioProgram &radio)
{
    radio.Tap(VK_ESCAPE);
    radio.Tap(VK_ESCAPE);
    radio.Tap(VK_ESCAPE);
    CHECK(testing::WaitUntil([&] { return testing::FindProcessWindow(radio.ProcessId(), "#32768") == nullptr; },
                             3000));
}

// Asks and answers Yes: the scan runs.
void start_scan(RadioProgram &radio)
{
    HWND question = ask_for_scan(radio);
    REQUIRE(question);
    answer(radio, question, IDYES);
}

std::vector<int32_t> presets_of(std::vector<int32_t> stations)
{
    stations.resize(PresetCount, 0);
    return stations;
}

// Group 1: 89.1, 95.3, 101.7, 105.3, 90.0, 107.5; the radio on 95.3.
const std::vector<int32_t> StoredPresets = {891, 953, 1017, 1053, 900, 1075, 940, 950, 960,
                                            970, 980, 990, 1000, 1010, 1020, 1030, 1040, 1050};

} // namespace

TEST_CASE_FIXTURE(RadioStory, "a scan in each band fills the presets in frequency order")
{
    int low = 0;
    int high = 0;
    std::vector<int32_t> stations;
    size_t seeks = 0; // the seeks the card needs, when the test counts them

    SUBCASE("USA, five stations: one on the upper edge is no station")
    {
        card.LoadScenario("seek_step 5\nstation 893 stereo\nstation 912 mono\nstation 947 stereo\n"
                          "station 1001 stereo\nstation 1079 stereo\nstation 1080 stereo\n");
        low = 880;
        high = 1080;
        stations = {893, 912, 947, 1001, 1079};
    }
    SUBCASE("Europe, 22 stations: the first 18 are kept")
    {
        std::string scenario = "seek_step 5\n";
        for (int32_t frequency = 878; frequency <= 878 + 21 * 9; frequency += 9) {
            scenario += "station " + std::to_string(frequency) + " stereo\n";
            if (stations.size() < PresetCount)
                stations.push_back(frequency);
        }
        card.LoadScenario(scenario);
        settings.SetNumber("RadioSystem", 2);
        low = 875;
        high = 1080;
        // 87.8 at the first seek, then two seeks of 0.5 MHz per station.
        seeks = 1 + 2 * (PresetCount - 1);
    }
    SUBCASE("Japan, three stations: the scan ends at the upper edge")
    {
        card.LoadScenario("seek_step 5\nstation 762 stereo\nstation 800 mono\nstation 845 stereo bands japan\n"
                          "station 953 stereo\n");
        settings.SetNumber("RadioSystem", 3);
        low = 760;
        high = 910;
        stations = {762, 800, 845};
    }
    settings.SetNumber("CurrentFrequency", low + 50);

    RadioProgram radio;
    StartActive(radio);
    StartListening();
    const testing::ClientShot before = radio.Shot();
    HWND question = ask_for_scan(radio);
    REQUIRE(question);
    CHECK(dialog_test::ControlText(question, MessageText) == ScanQuestion);
    CHECK(GetWindow(question, GW_OWNER) == radio.Window());
    CHECK_MESSAGE(Commands().empty(), testing::Join(Commands())); // nothing before the answer
    answer(radio, question, IDYES);
    REQUIRE(AwaitRequestsWith(TUNER_SET_MUTE, 0, 1, 20000).size() == 1);
    radio.Settle();

    // Muted, moved to the lower edge, seeks only, then one tuning to the
    // first station and the sound back.
    const std::vector<std::string> commands = Commands();
    REQUIRE(commands.size() >= 6);
    CHECK(commands[0] == "set_mute(1)");
    CHECK(commands[1] == "set_frequency(" + std::to_string(low) + ")");
    size_t seeksSent = 0;
    for (size_t index = 2; index + 2 < commands.size(); ++index) {
        CHECK_MESSAGE((commands[index] == "seek(1,1)" || commands[index] == "set_mute(1)"), commands[index]);
        seeksSent += commands[index] == "seek(1,1)" ? 1 : 0;
    }
    CHECK(commands[commands.size() - 2] == "set_frequency(" + std::to_string(stations[0]) + ")");
    CHECK(commands.back() == "set_mute(0)");
    if (seeks > 0)
        CHECK(seeksSent == seeks);
    // At the search's pace.
    const std::vector<CardLogEntry> seekLog = testing::Only(card.Log(), TUNER_SEEK);
    for (size_t step = 1; step < seekLog.size(); ++step)
        CHECK(testing::Milliseconds(seekLog[step - 1], seekLog[step], Ticks()) >= 90.0);

    // The shown labels and the scale follow.
    const testing::ClientShot after = radio.Shot();
    CHECK(after.Differences(before, LabelRect(1)) > 0);
    CHECK_FALSE(ShowsSkin(radio, normal, ScaleThumb(stations[0], low, high)));
    REQUIRE(radio.Close());
    CHECK(settings.Numbers("PresetChannel") == presets_of(stations));
    CHECK(settings.Number("CurrentFrequency") == stations[0]);
}

TEST_CASE_FIXTURE(RadioStory, "a scan cut short changes nothing")
{
    card.LoadScenario("seek_step 1\nstation 1075 stereo\n"); // a long way to the only station
    settings.SetNumber("Group", 1);
    settings.SetNumber("CurrentFrequency", 953);
    settings.Set("PresetChannel", REG_BINARY, testing::Bytes(StoredPresets));
    RadioProgram radio;
    StartActive(radio);
    StartListening();
    const testing::ClientShot before = radio.Shot();
    start_scan(radio);
    REQUIRE(AwaitRequests(TUNER_SEEK, 3, 5000).size() >= 3);

    SUBCASE("by a key, which does nothing else")
    {
        radio.Tap('M');
        REQUIRE(AwaitRequestsWith(TUNER_SET_MUTE, 0, 1, 3000).size() == 1);
        radio.Settle();
        CHECK(ShowsSkin(radio, normal, Mute)); // the M was used up
        const std::vector<std::string> end = {"set_frequency(953)", "set_mute(0)"};
        const std::vector<std::string> commands = Commands();
        CHECK(std::vector<std::string>(commands.end() - 2, commands.end()) == end);
    }
    SUBCASE("by a click, which presses nothing")
    {
        radio.Click(Middle(Presets[2]).x, Middle(Presets[2]).y);
        REQUIRE(AwaitRequestsWith(TUNER_SET_MUTE, 0, 1, 3000).size() == 1);
        radio.Settle();
        Sleep(400); // a recall would have sent 101.5 by now
        CHECK(testing::Only(card.Log(), TUNER_SET_FREQUENCY, 1015).empty());
        CHECK(ShowsSkin(radio, normal, Presets[2]));
    }
    SUBCASE("by the card pulled: back, it is tuned where the radio was")
    {
        card.Pull();
        card.ClearLog();
        card.Insert();
        REQUIRE(AwaitRequestsWith(TUNER_SET_FREQUENCY, 953, 1, 5000).size() == 1);
        radio.Settle();
    }
    const size_t seeksSent = testing::Only(card.Log(), TUNER_SEEK).size();
    Sleep(400);
    CHECK(testing::Only(card.Log(), TUNER_SEEK).size() == seeksSent); // it ended
    const std::vector<CardLogEntry> tunes = testing::Only(card.Log(), TUNER_SET_FREQUENCY);
    REQUIRE_FALSE(tunes.empty());
    CHECK(testing::LoggedWord(tunes.back()) == 953);
    // The labels as they were, the sound not left muted.
    CHECK(radio.Shot().Differences(before, LabelRect(1)) == 0);
    REQUIRE(radio.Close());
    CHECK(settings.Numbers("PresetChannel") == StoredPresets);
    CHECK(settings.Number("CurrentFrequency") == 953);
}

TEST_CASE_FIXTURE(RadioStory, "with no card the scan item is greyed, in both menus")
{
    card.Pull();
    RadioProgram radio;
    StartActive(radio);
    CHECK(ask_for_scan(radio, 1000) == nullptr);
    close_menus(radio);
    // The icon's menu, loaded afresh, greyed as well.
    radio.MoveToScreen({600, 500});
    PostMessageA(radio.Window(), WM_USER + 1, 1, WM_RBUTTONUP);
    REQUIRE(testing::WaitUntil([&] { return testing::FindProcessWindow(radio.ProcessId(), "#32768") != nullptr; }));
    for (int item = 0; item <= ScanItem; ++item)
        radio.Tap(VK_DOWN);
    radio.Tap(VK_RETURN);
    CHECK(dialog_test::WaitForDialog(radio, ScanCaption, 1000) == nullptr);
    close_menus(radio);

    // The card back: the same keys ask; No leaves the card alone.
    card.Insert();
    AwaitRequests(TUNER_SET_FREQUENCY, 1);
    radio.Settle();
    HWND question = ask_for_scan(radio);
    REQUIRE(question);
    card.ClearLog();
    answer(radio, question, IDNO);
    radio.Settle();
    Sleep(300);
    CHECK_MESSAGE(Commands().empty(), testing::Join(Commands()));
}
