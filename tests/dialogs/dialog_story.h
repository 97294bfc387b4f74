// Reaching the radio's dialogs as a listener does: through the window's
// menu by keyboard, and clicking the controls of the dialog that opens.
#pragma once

#include <windows.h>

#include <string>

#include "tests/radio/radio_story.h"

namespace dialog_test {

// The controls a listener uses, by their ids in the templates.
constexpr int OkButton = 1;
constexpr int CancelButton = 2;
constexpr int NoiseCancelOff = 1003;
constexpr int NoiseCancelOn = 1004;
constexpr int BandList = 1005;
constexpr int AboutBand = 1006;
constexpr int AboutVersion = 1007;
constexpr int AboutNotice = 1008;
constexpr int RdsText = radio_test::RdsTextControl;

// Where the menu's items stand when no RDS is received ("RDS" heads the menu
// while it is).
constexpr int SettingsItem = 0;
constexpr int AboutItem = 1;

// Chooses the item at `position` of the window's "Option" menu with the keys.
void ChooseMenuItem(testing::RadioProgram &radio, int position);
// Closes whatever menu of the radio is open, submenus too; false if one stays.
bool CloseMenus(testing::RadioProgram &radio);
// Waits for the dialog with that caption to appear (null if it does not).
HWND WaitForDialog(const testing::RadioProgram &radio, const char *caption, DWORD timeoutMs = 5000);
// Waits until `window` is gone or hidden.
bool WaitGone(HWND window, DWORD timeoutMs = 5000);
// Clicks the middle of control `id` of `dialog`.
void ClickControl(testing::RadioProgram &radio, HWND dialog, int id);
// Text of control `id` of `dialog`.
std::string ControlText(HWND dialog, int id);

} // namespace dialog_test
