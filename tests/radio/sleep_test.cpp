// The sleep timer as a listener sets it in the "Option" menu's "Sleep"
// submenu (Off at every start, the chosen time checked), and its end: the
// volume stepped down over the last minute, then the radio off as by its
// power button with the volume from before the fade saved. Nobody waits 15
// minutes: the story posts the window the timers' own messages.
#include <doctest.h>

#include "tests/dialogs/dialog_story.h"

using namespace radio_test;
using testing::RadioProgram;

namespace {

// The window's timers that the story reaches by their messages.
constexpr WPARAM SleepCountdownTimer = 11; // the time is up but for the last minute
constexpr WPARAM SleepFadeTimer = 12;      // one volume step of the fade

// "Setting...", "About ...", "Scan for Stations...", then "Sleep".
constexpr int SleepItem = 3;
constexpr int SleepChoices = 5; // Off, 15, 30, 60, 90 minutes

const std::vector<std::string> Shutdown = {"set_mute(1)", "stop_rds()", "set_power(0)"};

struct MenuSearch {
    DWORD processId;
    std::vector<HWND> found;
};

BOOL CALLBACK collect_menu(HWND window, LPARAM context)
{
    auto &search = *reinterpret_cast<MenuSearch *>(context);
    char name[16] = {};
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search.processId && IsWindowVisible(window) && GetClassNameA(window, name, sizeof(name)) &&
        std::string(name) == "#32768")
        search.found.push_back(window);
    return TRUE;
}

// The process's open menus, each a window of its own.
std::vector<HWND> menu_windows(DWORD processId)
{
    MenuSearch search = {processId, {}};
    EnumWindows(collect_menu, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Opens "Option" and its "Sleep" submenu from the keyboard, the first
// choice ("Off") selected; returns the submenu's window.
HWND open_sleep_menu(RadioProgram &radio)
{
    radio.Activate();
    radio.Tap(VK_F10);
    radio.Tap(VK_DOWN);
    for (int item = 0; item < SleepItem; ++item)
        radio.Tap(VK_DOWN);
    radio.Tap(VK_RIGHT);
    std::vector<HWND> menus;
    testing::WaitUntil([&] { return (menus = menu_windows(radio.ProcessId())).size() == 2; }, 3000);
    if (menus.size() != 2)
        return nullptr;
    RECT first = {}, second = {};
    GetWindowRect(menus[0], &first);
    GetWindowRect(menus[1], &second);
    return first.left > second.left ? menus[0] : menus[1]; // the submenu opens to the right
}

void close_menus(RadioProgram &radio)
{
    radio.Tap(VK_ESCAPE);
    radio.Tap(VK_ESCAPE);
    radio.Tap(VK_ESCAPE);
    CHECK(testing::WaitUntil([&] { return menu_windows(radio.ProcessId()).empty(); }, 3000));
}

void choose_sleep(RadioProgram &radio, int choice)
{
    REQUIRE(open_sleep_menu(radio));
    for (int item = 0; item < choice; ++item)
        radio.Tap(VK_DOWN);
    radio.Tap(VK_RETURN);
    REQUIRE(testing::WaitUntil([&] { return menu_windows(radio.ProcessId()).empty(); }, 3000));
    radio.Settle();
}

// The rows of the submenu whose check column (left of the text) shows a
// mark: pixels unlike their own line just right of the column, which is
// the row's background, highlighted or not.
std::vector<int> marked_rows(const testing::ClientShot &shot)
{
    std::vector<int> rows;
    const int rowHeight = shot.height / SleepChoices;
    for (int row = 0; row < SleepChoices; ++row) {
        int marks = 0;
        for (int y = row * rowHeight + 2; y < (row + 1) * rowHeight - 2; ++y)
            for (int x = 4; x < 15; ++x)
                marks += shot.At(x, y) != shot.At(16, y) ? 1 : 0;
        if (marks > 4)
            rows.push_back(row);
    }
    return rows;
}

// What the screen shows of the radio with its menus open, as a picture for
// the README.
void save_picture(RadioProgram &radio, const std::string &path)
{
    RECT area = {};
    GetWindowRect(radio.Window(), &area);
    for (HWND menu : menu_windows(radio.ProcessId())) {
        RECT rect = {};
        GetWindowRect(menu, &rect);
        UnionRect(&area, &area, &rect);
    }
    const testing::ClientShot screen(GetDesktopWindow());
    testing::ClientShot picture;
    picture.width = area.right - area.left;
    picture.height = area.bottom - area.top;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            picture.pixels.push_back(screen.pixels[static_cast<size_t>(y * screen.width + x)]);
    CHECK(picture.Save(path));
    MESSAGE("the Option menu with its Sleep submenu: " << path);
}

// The sleep choice the submenu shows checked, or -1 unless exactly one;
// with `picturePath`, the screen is kept there too.
int checked_choice(RadioProgram &radio, const std::string &picturePath = std::string())
{
    HWND submenu = open_sleep_menu(radio);
    REQUIRE(submenu);
    const std::vector<int> rows = marked_rows(testing::ClientShot(submenu));
    if (!picturePath.empty())
        save_picture(radio, picturePath);
    close_menus(radio);
    return rows.size() == 1 ? rows[0] : -1;
}

void post_timer(RadioProgram &radio, WPARAM timer)
{
    REQUIRE(PostMessageA(radio.Window(), WM_TIMER, timer, 0));
    radio.Settle();
}

std::vector<int32_t> volumes(const std::vector<CardLogEntry> &log)
{
    std::vector<int32_t> sent;
    for (const CardLogEntry &entry : testing::Only(log, TUNER_SET_VOLUME))
        sent.push_back(static_cast<int32_t>(testing::LoggedWord(entry)));
    return sent;
}

} // namespace

TEST_CASE_FIXTURE(RadioStory, "the sleep timer")
{
    RadioProgram radio;
    StartActive(radio);
    StartListening();

    // Off at the start; the choice is checked; Off takes it back.
    CHECK(checked_choice(radio) == 0);
    choose_sleep(radio, 2);
    CHECK(checked_choice(radio) == 2);
    choose_sleep(radio, 0);
    CHECK(checked_choice(radio) == 0);
    post_timer(radio, SleepCountdownTimer); // a tick of a timer since switched off
    Sleep(300);
    CHECK_MESSAGE(Commands().empty(), testing::Join(Commands()));

    // 15 minutes, the last of them begun: a step down every 60 s / 31 steps.
    choose_sleep(radio, 1);
    CHECK(checked_choice(radio, testing::BinDirectory() + "\\option-menu.bmp") == 1);
    post_timer(radio, SleepCountdownTimer);
    REQUIRE(AwaitRequests(TUNER_SET_VOLUME, 2, 6000).size() == 2);
    const std::vector<CardLogEntry> steps = testing::Only(card.Log(), TUNER_SET_VOLUME);
    const double gap = testing::Milliseconds(steps[0], steps[1], Ticks());
    CHECK(gap >= 60000.0 / 31 - 40);
    CHECK(gap <= 60000.0 / 31 + 150);
    CHECK(volumes(card.Log()) == std::vector<int32_t>{70, 69});

    // Chosen again: the count starts afresh and the sound comes back up.
    choose_sleep(radio, 1);
    REQUIRE(AwaitRequestsWith(TUNER_SET_VOLUME, 71, 1, 3000).size() == 1);
    post_timer(radio, SleepFadeTimer); // no fade runs: no step
    Sleep(300);
    CHECK(volumes(card.Log()) == std::vector<int32_t>{70, 69, 71});

    // The time up: 31 steps down to the lowest, then off as by the power button.
    card.ClearLog();
    post_timer(radio, SleepCountdownTimer);
    for (int tick = 0; tick < 31 && radio.Running(); ++tick)
        PostMessageA(radio.Window(), WM_TIMER, SleepFadeTimer, 0);
    CHECK(radio.WaitExit() == 0);
    std::vector<int32_t> fade;
    for (int32_t volume = 70; volume >= 40; --volume)
        fade.push_back(volume);
    CHECK(volumes(card.Log()) == fade);
    const std::vector<std::string> commands = Commands();
    REQUIRE(commands.size() >= Shutdown.size());
    CHECK(std::vector<std::string>(commands.end() - 3, commands.end()) == Shutdown);
    CHECK_FALSE(IsWindow(radio.Window()));
    CHECK(settings.Number("CurrentVolume") == 71);
}
