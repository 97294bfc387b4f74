// The "Option" menu's items beyond the dialogs: "Scan for Stations..." (it
// asks first) and the "Sleep" submenu. The window's menu and the icon's
// menu, loaded afresh each time, are made up by the same step.
#pragma once

#include <windows.h>

// Greys "Scan for Stations..." while no card is open and checks the sleep
// time chosen, in the "Option" popup `options`.
void prepare_option_menu(HMENU options);
// Runs one of these items' commands; false for any other command.
bool run_option_command(WORD command);
