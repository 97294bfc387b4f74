#include "window_buttons.h"

#include "radio_controls.h"
#include "radio_state.h"
#include "rds_window.h"

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
    open_rds_window();
}
