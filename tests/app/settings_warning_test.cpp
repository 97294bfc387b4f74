// A key the user may not open: the warning box appears before any window,
// the user dismisses it with OK, and the run goes on with the defaults and
// never touches the registry.
#include <doctest.h>

#include <string>
#include <vector>

#include "child_process.h"
#include "radio_program.h"
#include "registry_key.h"
#include "settings_probe.h"
#include "virtual_card.h"

using testing::RegistryKey;

namespace {

const char LockedPath[] = "Software\\TavolinTests\\Locked";
const int MessageTextId = 0xFFFF; // the static text of a message box
const char DialogClass[] = "#32770";

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

    testing::ChildProcess child(testing::BinDirectory() + "\\settings_probe.exe", std::string("warning ") + LockedPath);
    REQUIRE(child.Started());
    HWND box = nullptr;
    REQUIRE_MESSAGE(testing::WaitUntil(
                        [&] { return (box = testing::FindProcessWindow(child.ProcessId(), nullptr)) != nullptr; },
                        15000),
                    "no window appeared");

    // The only window of the process: an ownerless message box, the
    // constructor still waiting for it.
    CHECK(testing::CountProcessWindows(child.ProcessId()).visible == 1);
    CHECK(ClassOf(box) == DialogClass);
    CHECK(GetWindow(box, GW_OWNER) == nullptr);
    CHECK(testing::WindowText(box) == ""); // the caption
    char text[256] = {};
    GetDlgItemTextA(box, MessageTextId, text, sizeof(text));
    CHECK(std::string(text) == "Can't get settings from registry,use the default settings!!");
    CHECK(child.Running());
    CHECK(testing::WaitUntil([&] { return GetForegroundWindow() == box; }));

    std::vector<HWND> controls;
    EnumChildWindows(box, CollectChild, reinterpret_cast<LPARAM>(&controls));
    std::vector<HWND> buttons;
    for (HWND control : controls)
        if (ClassOf(control) == "Button" && IsWindowVisible(control))
            buttons.push_back(control);
    REQUIRE(buttons.size() == 1);
    CHECK(GetDlgCtrlID(buttons[0]) == IDOK);
    CHECK(testing::WindowText(buttons[0]) == "OK");

    testing::RadioProgram::ClickScreen(testing::ScreenMiddle(buttons[0]));
    int result = child.WaitExit(15000);
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
