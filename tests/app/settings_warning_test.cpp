// A key the user may not open: the warning box appears before any window,
// the user dismisses it with OK, and the run goes on with the defaults and
// never touches the registry.
#include <doctest.h>

#include <string>
#include <vector>

#include "registry_key.h"
#include "settings_probe.h"
#include "virtual_card.h"

using testing::RegistryKey;

namespace {

const char LockedPath[] = "Software\\TavolinTests\\Locked";
const int MessageTextId = 0xFFFF; // the static text of a message box
const char DialogClass[] = "#32770";

class Child {
public:
    explicit Child(const std::string &commandLine)
    {
        STARTUPINFOA startup = {};
        startup.cb = sizeof(startup);
        std::vector<char> line(commandLine.begin(), commandLine.end());
        line.push_back('\0');
        started_ = CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                  &process_) != 0;
    }
    virtual ~Child()
    {
        if (!started_)
            return;
        if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT)
            TerminateProcess(process_.hProcess, 1);
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
    }
    bool Started() const { return started_; }
    DWORD Id() const { return process_.dwProcessId; }
    bool Running() const { return WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT; }
    // The exit code, or -1 when it has not ended within the time.
    int Wait(DWORD timeoutMs) const
    {
        if (WaitForSingleObject(process_.hProcess, timeoutMs) != WAIT_OBJECT_0)
            return -1;
        DWORD code = 0;
        GetExitCodeProcess(process_.hProcess, &code);
        return static_cast<int>(code);
    }

private:
    bool started_ = false;
    PROCESS_INFORMATION process_ = {};
};

struct WindowSearch {
    DWORD processId;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectWindowOf(HWND window, LPARAM parameter)
{
    auto *search = reinterpret_cast<WindowSearch *>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->processId && IsWindowVisible(window))
        search->found.push_back(window);
    return TRUE;
}

std::vector<HWND> VisibleWindowsOf(DWORD processId)
{
    WindowSearch search = {processId, {}};
    EnumWindows(CollectWindowOf, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

BOOL CALLBACK CollectChild(HWND window, LPARAM parameter)
{
    reinterpret_cast<std::vector<HWND> *>(parameter)->push_back(window);
    return TRUE;
}

std::string ClassOf(HWND window)
{
    char name[64] = {};
    GetClassNameA(window, name, sizeof(name));
    return name;
}

std::string TextOf(HWND window)
{
    char text[256] = {};
    GetWindowTextA(window, text, sizeof(text));
    return text;
}

HWND WaitForWindowOf(DWORD processId, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    do {
        std::vector<HWND> windows = VisibleWindowsOf(processId);
        if (!windows.empty())
            return windows.front();
        Sleep(50);
    } while (GetTickCount() - start < timeoutMs);
    return nullptr;
}

// Waits until `window` is the active window, as a box the user is about to
// click on is.
bool WaitForeground(HWND window, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (GetForegroundWindow() != window) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(20);
    }
    return true;
}

// A real left click in the middle of a window, through the input queue:
// the pointer moves there, the button goes down and comes up.
void ClickMiddleOf(HWND window)
{
    RECT area = {};
    GetWindowRect(window, &area);
    POINT middle = {(area.left + area.right) / 2, (area.top + area.bottom) / 2};
    int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    INPUT clicks[3] = {};
    for (INPUT &click : clicks)
        click.type = INPUT_MOUSE;
    clicks[0].mi.dx = (middle.x * 65535 + width / 2) / (width - 1);
    clicks[0].mi.dy = (middle.y * 65535 + height / 2) / (height - 1);
    clicks[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    clicks[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    clicks[2].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    for (INPUT &click : clicks) {
        SendInput(1, &click, sizeof(INPUT));
        Sleep(50);
    }
}

} // namespace

TEST_CASE("a key that cannot be opened: the warning, OK, then defaults and no registry access")
{
    RegistryKey locked(LockedPath);
    locked.Create();
    locked.Lock();
    // The store cannot open the key with the access it asks for, yet a value
    // set by any other route would land and be seen at the end.
    HKEY writable = nullptr;
    REQUIRE(RegOpenKeyExA(HKEY_LOCAL_MACHINE, LockedPath, 0, KEY_SET_VALUE, &writable) == ERROR_SUCCESS);
    RegCloseKey(writable);

    Child child("\"" + testing::BinDirectory() + "\\settings_probe.exe\" warning " + LockedPath);
    REQUIRE(child.Started());
    HWND box = WaitForWindowOf(child.Id(), 15000);
    REQUIRE_MESSAGE(box, "no window appeared");

    // The only window of the process: an ownerless message box, the
    // constructor still waiting for it.
    CHECK(VisibleWindowsOf(child.Id()).size() == 1);
    CHECK(ClassOf(box) == DialogClass);
    CHECK(GetWindow(box, GW_OWNER) == nullptr);
    CHECK(TextOf(box) == ""); // the caption
    char text[256] = {};
    GetDlgItemTextA(box, MessageTextId, text, sizeof(text));
    CHECK(std::string(text) == "Can't get settings from registry,use the default settings!!");
    CHECK(child.Running());
    CHECK(WaitForeground(box, 5000));

    std::vector<HWND> controls;
    EnumChildWindows(box, CollectChild, reinterpret_cast<LPARAM>(&controls));
    std::vector<HWND> buttons;
    for (HWND control : controls)
        if (ClassOf(control) == "Button" && IsWindowVisible(control))
            buttons.push_back(control);
    REQUIRE(buttons.size() == 1);
    CHECK(GetDlgCtrlID(buttons[0]) == IDOK);
    CHECK(TextOf(buttons[0]) == "OK");

    ClickMiddleOf(buttons[0]);
    int result = child.Wait(15000);
    POINT cursor = {};
    GetCursorPos(&cursor);
    RECT button = {};
    GetWindowRect(buttons[0], &button);
    REQUIRE_MESSAGE(result != -1, "the box did not go away; pointer at " << cursor.x << "," << cursor.y << ", OK at "
                                  << button.left << "," << button.top << "-" << button.right << "," << button.bottom
                                  << ", box active: " << (GetForegroundWindow() == box));
    CHECK((result & ProbeKeyOpened) == 0);
    CHECK((result & ProbeNotDefaults) == 0);
    CHECK((result & ProbeLoadDone) == 0);
    CHECK((result & ProbeLoadChanged) == 0);
    CHECK((result & ProbeSaveDone) == 0);
    CHECK(result == 0);

    // Nothing was written to the key the store could not open.
    REQUIRE(locked.Exists());
    CHECK(locked.ValueNames().empty());
}
