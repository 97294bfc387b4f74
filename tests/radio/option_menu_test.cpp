// The "Option" menu's scan and sleep items as a listener uses them. The
// scan: asked first, muted seeks from the band's lower edge, the stations
// stored in frequency order and the first tuned; cut short, it changes
// nothing; greyed without a card. The sleep time: checked in its submenu;
// at its end (the timers' own messages posted: nobody waits 15 minutes) the
// volume fades and the radio closes as by its power button, saving the
// volume from before the fade.
#include <doctest.h>

#include "tests/dialogs/dialog_story.h"

using namespace radio_test;
using testing::RadioProgram;

namespace {

constexpr char ScanCaption[] = "Scan for Stations";
constexpr int ScanItem = 2; // after "Setting..." and "About ..." (no RDS received)
constexpr WPARAM SleepCountdownTimer = 11;
constexpr WPARAM SleepFadeTimer = 12;

HWND ask_for_scan(RadioProgram &radio, DWORD timeoutMs = 5000)
{
    dialog_test::ChooseMenuItem(radio, ScanItem);
    return dialog_test::WaitForDialog(radio, ScanCaption, timeoutMs);
}

// The radio active and listened to, asked for a scan; `before` is the
// window as it was.
HWND listen_and_ask(RadioStory &story, RadioProgram &radio, testing::ClientShot &before)
{
    StartActive(radio);
    story.StartListening();
    before = radio.Shot();
    HWND question = ask_for_scan(radio);
    REQUIRE(question);
    return question;
}

void answer(RadioProgram &radio, HWND question, int button)
{
    dialog_test::ClickControl(radio, question, button);
    REQUIRE(dialog_test::WaitGone(question));
}

std::vector<int32_t> words(const std::vector<CardLogEntry> &log, uint32_t code)
{
    std::vector<int32_t> sent;
    for (const CardLogEntry &entry : testing::Only(log, code))
        sent.push_back(static_cast<int32_t>(testing::LoggedWord(entry)));
    return sent;
}

const std::vector<int32_t> StoredPresets = {891, 953, 1017, 1053, 900, 1075, 940, 950, 960,
                                            970, 980, 990, 1000, 1010, 1020, 1030, 1040, 1050};

// Opens "Sleep" from the keyboard and returns the submenu, right of "Option".
HWND open_sleep_menu(RadioProgram &radio)
{
    radio.Activate();
    for (int key : {VK_F10, VK_DOWN, VK_DOWN, VK_DOWN, VK_DOWN, VK_RIGHT})
        radio.Tap(static_cast<WORD>(key));
    HWND submenu = nullptr;
    testing::WaitUntil([&] {
        for (HWND menu = nullptr; (menu = FindWindowExA(nullptr, menu, "#32768", nullptr)) != nullptr;) {
            RECT rect = {};
            if (IsWindowVisible(menu) && GetWindowRect(menu, &rect) && rect.left > radio.ToScreen(60, 0).x)
                submenu = menu;
        }
        return submenu != nullptr;
    }, 3000);
    return submenu;
}

// The one sleep choice (0 Off ... 4 90 minutes) whose check column shows a
// mark, pixels unlike their row just right of the column; -1 unless one.
int checked_choice(RadioProgram &radio, const char *picture = nullptr)
{
    HWND submenu = open_sleep_menu(radio);
    REQUIRE(submenu);
    // The submenu is visible a moment before it is painted: look until one
    // row shows a mark (a menu with none, or two, fails once the time is up).
    std::vector<int> marked;
    testing::WaitUntil([&] {
        const testing::ClientShot shot(submenu);
        marked.clear();
        for (int row = 0, height = shot.height / 5; row < 5; ++row) {
            int marks = 0;
            for (int y = row * height + 2; y < (row + 1) * height - 2; ++y)
                for (int x = 4; x < 15; ++x)
                    marks += shot.At(x, y) != shot.At(16, y) ? 1 : 0;
            if (marks > 4)
                marked.push_back(row);
        }
        return marked.size() == 1;
    }, 2000);
    if (picture) { // the README's picture is the window's rectangle of this screen
        const std::string path = testing::BinDirectory() + "\\" + picture;
        CHECK(testing::ClientShot(GetDesktopWindow()).Save(path));
        MESSAGE("the screen with the Option menu and its Sleep submenu open: " << path);
    }
    CHECK(dialog_test::CloseMenus(radio));
    return marked.size() == 1 ? marked[0] : -1;
}

void choose_sleep(RadioProgram &radio, int choice)
{
    REQUIRE(open_sleep_menu(radio));
    for (int item = 0; item < choice; ++item)
        radio.Tap(VK_DOWN);
    radio.Tap(VK_RETURN);
    radio.Settle();
}

} // namespace

TEST_CASE_FIXTURE(RadioStory, "a scan in each band fills the presets in frequency order")
{
    int low = 880, high = 1080;
    std::vector<int32_t> stations;
    size_t seeks = 0; // counted where the test knows it
    SUBCASE("USA, five stations; one on the upper edge is none")
    {
        card.LoadScenario("seek_step 5\nstation 893 stereo\nstation 912 mono\nstation 947 stereo\n"
                          "station 1001 stereo\nstation 1079 stereo\nstation 1080 stereo\n");
        stations = {893, 912, 947, 1001, 1079};
    }
    SUBCASE("Europe, 22 stations; the first 18 are kept")
    {
        std::string scenario = "seek_step 5\n";
        for (int32_t frequency = 878; frequency < 878 + 22 * 9; frequency += 9)
            scenario += "station " + std::to_string(frequency) + " stereo\n";
        card.LoadScenario(scenario);
        settings.SetNumber("RadioSystem", 2);
        low = 875;
        for (int32_t frequency = 878; stations.size() < 18; frequency += 9)
            stations.push_back(frequency);
        seeks = 1 + 2 * 17; // 87.8 at once, then two seeks of 0.5 MHz per station
    }
    SUBCASE("Japan, three stations, to the upper edge")
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
    testing::ClientShot before;
    HWND question = listen_and_ask(*this, radio, before);
    CHECK(dialog_test::ControlText(question, 0xFFFF) ==
          "Scan the band and store the stations found in the presets? Your 18 presets are replaced.");
    CHECK(GetWindow(question, GW_OWNER) == radio.Window());
    CHECK_MESSAGE(Commands().empty(), testing::Join(Commands()));
    answer(radio, question, IDYES);
    REQUIRE(AwaitRequestsWith(TUNER_SET_MUTE, 0, 1, 20000).size() == 1);
    radio.Settle();

    // Muted, to the lower edge, seeks at the search's pace, one tuning at the end.
    const std::vector<CardLogEntry> seekLog = testing::Only(card.Log(), TUNER_SEEK);
    std::vector<std::string> expected = {"set_mute(1)", "set_frequency(" + std::to_string(low) + ")"};
    for (size_t step = 0; step < seekLog.size(); ++step) {
        expected.insert(expected.end(), {"set_mute(1)", "seek(1,1)"});
        if (step > 0)
            CHECK(testing::Milliseconds(seekLog[step - 1], seekLog[step], Ticks()) >= 90.0);
    }
    expected.insert(expected.end(), {"set_frequency(" + std::to_string(stations[0]) + ")", "set_mute(0)"});
    CHECK_MESSAGE(Commands() == expected, testing::Join(Commands()));
    if (seeks > 0)
        CHECK(seekLog.size() == seeks);
    CHECK(radio.Shot().Differences(before, LabelRect(1)) > 0);
    CHECK_FALSE(ShowsSkin(radio, normal, ScaleThumb(stations[0], low, high)));
    REQUIRE(radio.Close());
    stations.resize(18, 0);
    CHECK(settings.Numbers("PresetChannel") == stations);
    CHECK(settings.Number("CurrentFrequency") == stations[0]);
}

TEST_CASE_FIXTURE(RadioStory, "a scan cut short changes nothing")
{
    card.LoadScenario("seek_step 1\nstation 1075 stereo\n"); // a long way to the only station
    settings.SetNumber("CurrentFrequency", 953);
    settings.Set("PresetChannel", REG_BINARY, testing::Bytes(StoredPresets));
    RadioProgram radio;
    testing::ClientShot before;
    answer(radio, listen_and_ask(*this, radio, before), IDYES);
    REQUIRE(AwaitRequests(TUNER_SEEK, 3, 5000).size() >= 3);
    SUBCASE("by a key, used up")
    {
        radio.Tap('M');
        REQUIRE(AwaitRequestsWith(TUNER_SET_MUTE, 0, 1, 3000).size() == 1);
        radio.Settle();
        CHECK(ShowsSkin(radio, normal, Mute));
    }
    SUBCASE("by a click, which presses nothing")
    {
        radio.Click(Middle(Presets[2]).x, Middle(Presets[2]).y);
        REQUIRE(AwaitRequestsWith(TUNER_SET_MUTE, 0, 1, 3000).size() == 1);
        Sleep(400); // a recall would have sent 101.5 by now
        CHECK(testing::Only(card.Log(), TUNER_SET_FREQUENCY, 1015).empty());
    }
    SUBCASE("by the card pulled: back, it is tuned where the radio was")
    {
        card.Pull();
        card.ClearLog();
        card.Insert();
        REQUIRE(AwaitRequestsWith(TUNER_SET_FREQUENCY, 953, 1, 5000).size() == 1);
    }
    const size_t seeksSent = testing::Only(card.Log(), TUNER_SEEK).size();
    Sleep(400);
    CHECK(testing::Only(card.Log(), TUNER_SEEK).size() == seeksSent); // it ended
    CHECK(words(card.Log(), TUNER_SET_FREQUENCY).back() == 953);
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
    CHECK(dialog_test::CloseMenus(radio));
    PostMessageA(radio.Window(), WM_USER + 1, 1, WM_RBUTTONUP); // the icon's menu, loaded afresh
    REQUIRE(testing::WaitUntil([&] { return testing::FindProcessWindow(radio.ProcessId(), "#32768") != nullptr; }));
    for (int key : {VK_DOWN, VK_DOWN, VK_DOWN, VK_RETURN})
        radio.Tap(static_cast<WORD>(key));
    CHECK(dialog_test::WaitForDialog(radio, ScanCaption, 1000) == nullptr);
    CHECK(dialog_test::CloseMenus(radio));
    // The card back, the same keys ask; No leaves the card alone.
    card.Insert();
    AwaitRequests(TUNER_SET_FREQUENCY, 1);
    HWND question = ask_for_scan(radio);
    REQUIRE(question);
    card.ClearLog();
    answer(radio, question, IDNO);
    Sleep(300);
    CHECK_MESSAGE(Commands().empty(), testing::Join(Commands()));
}

TEST_CASE_FIXTURE(RadioStory, "the sleep timer")
{
    RadioProgram radio;
    StartActive(radio);
    StartListening();
    CHECK(checked_choice(radio) == 0); // Off at every start
    choose_sleep(radio, 2);
    CHECK(checked_choice(radio) == 2);
    choose_sleep(radio, 0);
    CHECK(checked_choice(radio) == 0);
    PostMessageA(radio.Window(), WM_TIMER, SleepCountdownTimer, 0); // switched off: nothing
    Sleep(300);
    CHECK_MESSAGE(Commands().empty(), testing::Join(Commands()));

    // 15 minutes, the last one begun: a step down every 60 s / 31 steps.
    choose_sleep(radio, 1);
    CHECK(checked_choice(radio, "option-menu.bmp") == 1);
    PostMessageA(radio.Window(), WM_TIMER, SleepCountdownTimer, 0);
    const std::vector<CardLogEntry> steps = AwaitRequests(TUNER_SET_VOLUME, 2, 6000);
    REQUIRE(steps.size() == 2);
    const double gap = testing::Milliseconds(steps[0], steps[1], Ticks());
    CHECK(gap >= 60000.0 / 31 - 40);
    CHECK(gap <= 60000.0 / 31 + 150);
    // Chosen again: the count starts afresh, the sound back up, no fade left.
    choose_sleep(radio, 1);
    REQUIRE(AwaitRequestsWith(TUNER_SET_VOLUME, 71, 1, 3000).size() == 1);
    PostMessageA(radio.Window(), WM_TIMER, SleepFadeTimer, 0);
    Sleep(300);
    CHECK(words(card.Log(), TUNER_SET_VOLUME) == std::vector<int32_t>{70, 69, 71});

    // The time up: 31 steps to the lowest volume, then off as by the power button.
    card.ClearLog();
    PostMessageA(radio.Window(), WM_TIMER, SleepCountdownTimer, 0);
    for (int tick = 0; tick < 31; ++tick)
        PostMessageA(radio.Window(), WM_TIMER, SleepFadeTimer, 0);
    CHECK(radio.WaitExit() == 0);
    std::vector<int32_t> fade;
    for (int32_t volume = 70; volume >= 40; --volume)
        fade.push_back(volume);
    CHECK(words(card.Log(), TUNER_SET_VOLUME) == fade);
    const std::vector<std::string> commands = Commands();
    REQUIRE(commands.size() >= 3);
    const std::vector<std::string> shutdown = {"set_mute(1)", "stop_rds()", "set_power(0)"};
    CHECK(std::vector<std::string>(commands.end() - 3, commands.end()) == shutdown);
    CHECK(settings.Number("CurrentVolume") == 71);
}
