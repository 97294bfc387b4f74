// The RDS text window: a modeless dialog glued to the main window's right
// edge. Once a second it fetches what the card decoded and shows a
// "Receiving" animation until more than 300 characters have arrived, then
// the last 300. The edit is read-only through its subclass; "R" or the
// close box destroys the window, and the next opening starts empty.
#include "rds_window.h"

#include <windows.h>

#include <cstring>

#include "radio_state.h"
#include "radio_window.h"
#include "resource.h"
#include "timers.h"
#include "tuner_device.h"

namespace {

constexpr WPARAM CloseKey = 'R';
constexpr size_t ShownCharacters = 300;
constexpr int DotFrames = 6; // "Receiving" with 0 to 5 dots
constexpr char ReceivingText[] = "Receiving";

HWND rdsEdit;
WNDPROC editProcedure; // the edit's own procedure while the filter sits in front
// Everything received since the window opened, cut to its last 300
// characters whenever it has passed them: at most 300 + 127 characters.
char rdsBuffer[1024];
int rdsShowingText; // 1 once the received text has replaced the animation
int dotCount;       // dots in the next frame; carries over between openings

// On the radio's right edge, or on its left one where the screen ends.
void glue_to_main_window(HWND window)
{
    RECT main;
    GetWindowRect(mainWindow, &main);
    const SIZE size = radio_window_outer_size();
    place_on_radio_monitor(window, {main.right, main.top}, size, main.left - size.cx);
}

void show_animation_frame()
{
    char frame[sizeof(ReceivingText) + DotFrames];
    std::memcpy(frame, ReceivingText, sizeof(ReceivingText) - 1);
    std::memset(frame + sizeof(ReceivingText) - 1, '.', static_cast<size_t>(dotCount));
    frame[sizeof(ReceivingText) - 1 + static_cast<size_t>(dotCount)] = '\0';
    SetWindowTextA(rdsEdit, frame);
    dotCount = (dotCount + 1) % DotFrames;
}

// Timer 8: the text shown is what had arrived up to the previous tick.
void text_tick()
{
    tunerDevice.read_rds_text();
    const size_t length = std::strlen(rdsBuffer);
    if (length > ShownCharacters) {
        std::memmove(rdsBuffer, rdsBuffer + length - ShownCharacters, ShownCharacters + 1);
        SetWindowTextA(rdsEdit, "");
        SetWindowTextA(rdsEdit, rdsBuffer);
        rdsShowingText = 1;
    }
    const size_t kept = std::strlen(rdsBuffer);
    const size_t added = strnlen(tunerDevice.rdsText, sizeof(tunerDevice.rdsText) - 1);
    std::memcpy(rdsBuffer + kept, tunerDevice.rdsText, added);
    rdsBuffer[kept + added] = '\0';
    if (!rdsShowingText)
        show_animation_frame();
}

// Nothing can be typed into the text; releasing "R" closes the window.
LRESULT CALLBACK edit_filter(HWND edit, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_KEYDOWN:
    case WM_CHAR:
        return 0;
    case WM_KEYUP:
        if (wParam == CloseKey) {
            close_rds_window();
            // The edit went with its window: its own procedure must not see
            // the key-up of a window that no longer exists.
            if (edit != rdsEdit)
                return 0;
        }
        break;
    default:
        break;
    }
    return CallWindowProcA(editProcedure, edit, message, wParam, lParam);
}

INT_PTR on_init(HWND window)
{
    rdsEdit = GetDlgItem(window, IDC_RDS_TEXT);
    glue_to_main_window(window);
    // The edit covers the client area, its border pushed just outside the
    // top-left corner.
    RECT client;
    GetClientRect(window, &client);
    MoveWindow(rdsEdit, client.left - 1, client.top - 1, client.right + 1, client.bottom + 2, FALSE);
    SetTimer(window, RdsTextTimer, RdsTextMs, nullptr);
    editProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(rdsEdit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(edit_filter)));
    return FALSE;
}

// A modeless dialog is only hidden by EndDialog: it is destroyed, so that no
// hidden window with its edit stays behind at each closing.
INT_PTR on_command(HWND window, WORD id)
{
    if (id != IDOK && id != IDCANCEL)
        return FALSE;
    DestroyWindow(window);
    return TRUE;
}

// However the window goes (closed, or with the main window), the edit gets
// its own procedure back and the next opening starts empty.
INT_PTR on_destroy(HWND window)
{
    if (rdsEdit && editProcedure)
        SetWindowLongPtrA(rdsEdit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(editProcedure));
    KillTimer(window, RdsTextTimer);
    std::memset(rdsBuffer, 0, sizeof(rdsBuffer));
    rdsShowingText = 0;
    rdsEdit = nullptr;
    editProcedure = nullptr;
    rdsWindow = nullptr;
    return TRUE;
}

INT_PTR CALLBACK rds_procedure(HWND window, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        return on_init(window);
    case WM_KEYUP:
        if (wParam == CloseKey)
            close_rds_window();
        return FALSE;
    case WM_COMMAND:
        return on_command(window, LOWORD(wParam));
    case WM_TIMER:
        if (wParam == RdsTextTimer)
            text_tick();
        return FALSE;
    case WM_DESTROY:
        return on_destroy(window);
    default:
        return FALSE;
    }
}

} // namespace

void close_rds_window()
{
    if (IsWindow(rdsWindow))
        SendMessageA(rdsWindow, WM_COMMAND, IDOK, 0);
}

void open_rds_window()
{
    if (IsWindow(rdsWindow))
        return;
    rdsWindow = CreateDialogParamA(appInstance, MAKEINTRESOURCEA(IDD_RDS), mainWindow, rds_procedure, 0);
}

void follow_main_window()
{
    if (IsWindow(rdsWindow))
        glue_to_main_window(rdsWindow);
}
