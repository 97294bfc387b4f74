// The window's own life: hidden to the notification area and back, the
// icon's menu, and every way of ending the program saving the run: the
// power button, P, Exit, the close box and the end of the session.
#include <doctest.h>

#include <functional>

#include "radio_story.h"

using namespace radio_test;
using testing::RadioProgram;

namespace {

constexpr UINT TrayCallback = WM_USER + 1;
constexpr WPARAM TrayIconId = 1;

// Turns the volume up one step, so the run has something to save.
void change_volume(RadioStory &story, RadioProgram &radio)
{
    StartActive(radio);
    story.StartListening();
    radio.Tap(VK_UP);
    REQUIRE(story.AwaitRequestsWith(TUNER_SET_VOLUME, 72, 1).size() == 1);
}

const std::vector<std::string> Shutdown = {"set_mute(1)", "stop_rds()", "set_power(0)"};

// Waits as testing::WaitUntil does, answering this thread's window's
// messages meanwhile (activation is sent to the window that loses it).
bool pump_until(const std::function<bool()> &condition, DWORD timeoutMs = 5000)
{
    return testing::WaitUntil(
        [&] {
            MSG message;
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageA(&message);
            return condition();
        },
        timeoutMs);
}

std::vector<std::string> last_commands(RadioStory &story, size_t count)
{
    const std::vector<std::string> commands = story.Commands();
    if (commands.size() < count)
        return commands;
    return std::vector<std::string>(commands.end() - static_cast<std::ptrdiff_t>(count), commands.end());
}

} // namespace

TEST_CASE_FIXTURE(RadioStory, "every way out saves the run and switches the card off")
{
    RadioProgram radio;
    change_volume(*this, radio);

    SUBCASE("the power button")
    {
        radio.Click(Middle(Power).x, Middle(Power).y);
        CHECK(radio.WaitExit() == 0);
    }

    SUBCASE("P closes at its key-up")
    {
        radio.KeyDown('P');
        radio.Settle();
        CHECK(radio.Running());
        radio.KeyUp('P');
        CHECK(radio.WaitExit() == 0);
    }

    SUBCASE("Exit from the window's menu")
    {
        radio.Tap(VK_F10);
        radio.Tap(VK_DOWN);
        REQUIRE(testing::WaitUntil([&] { return testing::FindProcessWindow(radio.ProcessId(), "#32768"); }));
        radio.Tap('X');
        CHECK(radio.WaitExit() == 0);
    }

    SUBCASE("the close box (WM_CLOSE)")
    {
        CHECK(radio.Close());
    }

    CHECK(settings.Number("CurrentVolume") == 72);
    CHECK(last_commands(*this, 3) == Shutdown);
    CHECK(card.State().openHandles == 0);
}

TEST_CASE_FIXTURE(RadioStory, "the end of the session")
{
    RadioProgram radio;
    change_volume(*this, radio);
    DWORD_PTR answer = 0;
    REQUIRE(SendMessageTimeoutA(radio.Window(), WM_QUERYENDSESSION, 0, 0, SMTO_NORMAL, 5000, &answer));
    CHECK(answer != 0);
    REQUIRE(SendMessageTimeoutA(radio.Window(), WM_ENDSESSION, TRUE, 0, SMTO_NORMAL, 5000, &answer));

    // Saved and switched off before Windows may end the process, and then
    // left alone: past a tick of the stereo lamp, which polls the card,
    // nothing more reaches it.
    CHECK(settings.Number("CurrentVolume") == 72);
    CHECK(last_commands(*this, 3) == Shutdown);
    const size_t requests = card.Log().size();
    CHECK_FALSE_MESSAGE(testing::WaitUntil([&] { return card.Log().size() > requests; }, 800),
                        testing::Join(testing::AllRequests(card.Log())));
    CHECK(card.State().openHandles == 0);

    SUBCASE("ended by the system: nothing lost")
    {
        TerminateProcess(OpenProcess(PROCESS_TERMINATE, FALSE, radio.ProcessId()), 0);
        CHECK(radio.WaitExit() == 0);
        CHECK(settings.Number("CurrentVolume") == 72);
    }

    SUBCASE("destroyed after all: the card and the registry are not written again")
    {
        settings.SetNumber("CurrentVolume", 50); // a save now would overwrite this
        card.ClearLog();
        CHECK(radio.Close());
        CHECK(Commands().empty());
        CHECK(settings.Number("CurrentVolume") == 50);
    }
}

TEST_CASE_FIXTURE(RadioStory, "a cancelled end of the session leaves the radio playing")
{
    RadioProgram radio;
    REQUIRE(radio.Window());
    StartListening();
    DWORD_PTR answer = 0;
    REQUIRE(SendMessageTimeoutA(radio.Window(), WM_ENDSESSION, FALSE, 0, SMTO_NORMAL, 5000, &answer));
    Sleep(300);
    CHECK(Commands().empty());
    CHECK(card.State().power == 1);
    CHECK(card.State().openHandles >= 1);
}

TEST_CASE_FIXTURE(RadioStory, "hiding in the notification area")
{
    RadioProgram radio;
    REQUIRE(radio.Window());

    SUBCASE("the minimise button hides the window; a double-click on the icon brings it back")
    {
        radio.Click(Middle(Minimize).x, Middle(Minimize).y);
        REQUIRE(testing::WaitUntil([&] { return !IsWindowVisible(radio.Window()); }));
        CHECK(radio.Running());
        // The shell's icon is not reachable by input here: its message is.
        PostMessageA(radio.Window(), TrayCallback, TrayIconId, WM_LBUTTONDBLCLK);
        CHECK(testing::WaitUntil([&] { return IsWindowVisible(radio.Window()) != 0; }));
        // Visible is a flag; the picture reaches the screen through the X
        // server later, which under a full test load came after one look.
        CHECK(WaitForSkin(radio, normal, Minimize));
    }

    SUBCASE("Z hides it too; another icon's message does nothing")
    {
        StartActive(radio);
        radio.Tap('Z');
        REQUIRE(testing::WaitUntil([&] { return !IsWindowVisible(radio.Window()); }));
        PostMessageA(radio.Window(), TrayCallback, 2, WM_LBUTTONDBLCLK);
        radio.Settle();
        CHECK_FALSE(IsWindowVisible(radio.Window()));
        PostMessageA(radio.Window(), TrayCallback, TrayIconId, WM_LBUTTONDBLCLK);
        CHECK(testing::WaitUntil([&] { return IsWindowVisible(radio.Window()) != 0; }));
    }

    SUBCASE("minimised from the title bar: the double-click restores it")
    {
        ShowWindow(radio.Window(), SW_MINIMIZE);
        REQUIRE(testing::WaitUntil([&] { return IsIconic(radio.Window()) != 0; }));
        PostMessageA(radio.Window(), TrayCallback, TrayIconId, WM_LBUTTONDBLCLK);
        CHECK(testing::WaitUntil([&] { return !IsIconic(radio.Window()) && IsWindowVisible(radio.Window()); }));
    }

    SUBCASE("the icon's right button: the menu at the cursor, Exit ends the program and saves")
    {
        radio.Click(Middle(Minimize).x, Middle(Minimize).y);
        REQUIRE(testing::WaitUntil([&] { return !IsWindowVisible(radio.Window()); }));
        radio.MoveTo(300, 400); // the cursor, where the menu opens
        POINT cursor = {};
        GetCursorPos(&cursor);
        PostMessageA(radio.Window(), TrayCallback, TrayIconId, WM_RBUTTONUP);
        HWND popup = nullptr;
        REQUIRE(testing::WaitUntil(
            [&] { return (popup = testing::FindProcessWindow(radio.ProcessId(), "#32768")) != nullptr; }));
        RECT menu = {};
        GetWindowRect(popup, &menu);
        // Right- and bottom-aligned to the cursor (the screen may push it).
        CHECK(menu.right <= cursor.x + 1);
        CHECK(menu.bottom <= cursor.y + 1);
        CHECK(menu.right >= cursor.x - 2);
        radio.Tap('X');
        CHECK(radio.WaitExit() == 0);
        // Hidden at exit: its place on screen is stored, not a hidden one.
        CHECK(settings.Numbers("WindowPos") == std::vector<int32_t>{WindowLeft, WindowTop});
        CHECK(last_commands(*this, 3) == Shutdown);
    }
}

// The icon's menu keeps the notification area's manners: the radio comes to
// the front before the menu opens, so that Escape and a click anywhere else
// close it, and nothing is chosen on the way.
TEST_CASE_FIXTURE(RadioStory, "the icon's menu closes with Escape and with a click elsewhere")
{
    RadioProgram radio;
    StartActive(radio);
    radio.Tap('Z');
    REQUIRE(testing::WaitUntil([&] { return !IsWindowVisible(radio.Window()); }));
    // Another program's window in front, as when the icon is right-clicked.
    HWND other = CreateWindowExA(WS_EX_TOPMOST, "STATIC", "another program", WS_POPUP | WS_VISIBLE, 600, 600, 200,
                                 100, nullptr, nullptr, nullptr, nullptr);
    REQUIRE(other);
    SetForegroundWindow(other);
    REQUIRE(pump_until([&] { return GetForegroundWindow() == other; }));

    const std::function<void(const RECT &)> closers[] = {
        [&](const RECT &) { radio.Tap(VK_ESCAPE); },
        [&](const RECT &menu) { radio.ClickScreen({menu.left - 100, menu.top - 100}); },
    };
    for (const auto &close : closers) {
        radio.MoveTo(500, 500);
        PostMessageA(radio.Window(), TrayCallback, TrayIconId, WM_RBUTTONUP);
        HWND popup = nullptr;
        REQUIRE(pump_until([&] { return (popup = testing::FindProcessWindow(radio.ProcessId(), "#32768")); }));
        CHECK(GetForegroundWindow() == radio.Window());
        RECT menu = {};
        GetWindowRect(popup, &menu);
        close(menu);
        CHECK(pump_until([&] { return testing::FindProcessWindow(radio.ProcessId(), "#32768") == nullptr; }));
        radio.Settle();
        CHECK_FALSE(IsWindowVisible(radio.Window()));
        CHECK(testing::CountProcessWindows(radio.ProcessId()).visible == 0);
        CHECK(radio.Running());
    }
    DestroyWindow(other);
}

TEST_CASE_FIXTURE(RadioStory, "a few actions, kept as a picture of the window")
{
    settings.Set("PresetChannel", REG_BINARY,
                 testing::Bytes({891, 953, 1017, 1053, 900, 1075, 885, 917, 1017, 1041, 1063, 1079, 1000, 1010, 1020,
                                 1030, 1040, 1050}));
    RadioProgram radio;
    REQUIRE(radio.Window());
    radio.Click(Middle(Groups[1]).x, Middle(Groups[1]).y);
    REQUIRE(WaitForSkin(radio, lit, Groups[1]));
    radio.Click(Middle(Presets[2]).x, Middle(Presets[2]).y); // 101.7, stereo with RDS
    REQUIRE(AwaitRequestsWith(TUNER_SET_FREQUENCY, 1017, 1).size() == 1);
    REQUIRE(WaitForSkin(radio, lit, StereoLamp, 2000));
    REQUIRE(WaitForSkin(radio, lit, Rds, 3000));
    radio.Activate();
    radio.Tap(VK_DOWN);
    radio.Tap(VK_DOWN);
    REQUIRE(AwaitRequestsWith(TUNER_SET_VOLUME, 69, 1).size() == 1);
    radio.Settle();
    // The picture shows what was done: group 2 chosen, stereo and RDS lit.
    const testing::ClientShot shot = radio.Shot();
    for (const RECT &area : {Groups[1], StereoLamp, Rds})
        CHECK(testing::Shows(shot, lit, area));
    CHECK(testing::Shows(shot, normal, Groups[0]));
    CHECK(card.State().frequency == 1017);
    CHECK(card.State().volume == 69);
    const std::string path = testing::BinDirectory() + "\\radio-window.bmp";
    CHECK(shot.Save(path));
    MESSAGE("the window after a few actions: " << path);
}

TEST_CASE_FIXTURE(RadioStory, "closed from outside while its menu is open")
{
    // As the agent closes it when the card goes: WM_CLOSE arrives while the
    // window's menu loop runs.
    RadioProgram radio;
    change_volume(*this, radio);
    radio.Tap(VK_F10);
    radio.Tap(VK_DOWN);
    REQUIRE(testing::WaitUntil([&] { return testing::FindProcessWindow(radio.ProcessId(), "#32768"); }));
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(radio.Window(), WM_CLOSE, 0, 0, SMTO_NORMAL, 5000, &ignored);
    CHECK(radio.WaitExit(5000) == 0);
    CHECK(settings.Number("CurrentVolume") == 72);
    CHECK(last_commands(*this, 3) == Shutdown);
}
