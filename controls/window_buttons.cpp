#include "window_buttons.h"

#include "control_state.h"
#include "radio_controls.h"

void PowerButton::OnClick()
{
    // The default handling of WM_CLOSE destroys the window: the normal shutdown.
    SendMessageA(mainWindow, WM_CLOSE, 0, 0);
}

void MinimizeButton::OnClick()
{
    trayIcon.AddIcon(); // the icon exists already; this only re-asserts it
    ShowWindow(mainWindow, SW_HIDE);
}

void RdsButton::OnClick()
{
    // The same as the menu's "RDS" item: the window opens it.
    SendMessageA(mainWindow, WM_COMMAND, RdsWindowCommand, 0);
}
