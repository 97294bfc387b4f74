// The radio program's entry: one instance per desktop (a second start brings
// the running window forward), the window, and the message loop. Every
// object the program uses was constructed before this runs.
#include <windows.h>

#include "accessible_radio.h"
#include "radio_state.h"
#include "radio_window.h"
#include "resource.h"
#include "signal_source.h"
#include "startup_marks.h"

namespace {

constexpr int NameLength = 100;

int run_message_loop()
{
    HACCEL accelerators = LoadAcceleratorsA(appInstance, MAKEINTRESOURCEA(IDR_ACCELERATORS));
    MSG message = {}; // read for the exit code even when GetMessageA fails at once
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (TranslateAcceleratorA(message.hwnd, accelerators, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
        // A window destroyed while a menu's own message loop runs (closed by
        // the agent as the card goes) can lose its quit message to that
        // loop; the program must end all the same.
        if (!IsWindow(mainWindow)) {
            MSG quit;
            return PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) ? static_cast<int>(quit.wParam) : 0;
        }
        // A listening screen reader hears what the message changed.
        announce_changes();
    }
    return static_cast<int>(message.wParam);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
    STARTUP_MARK("entry");
    GetCurrentDirectoryA(sizeof(startDirectory), startDirectory);
    char title[NameLength] = {};
    char windowClass[NameLength] = {};
    LoadStringA(instance, IDS_WINDOW_TITLE, title, NameLength);
    LoadStringA(instance, IDS_WINDOW_CLASS, windowClass, NameLength);
    if (HWND running = FindWindowA(windowClass, title)) {
        ShowWindow(running, SW_SHOW);
        SetForegroundWindow(running);
        return 0;
    }
    if (!create_radio_window(instance, windowClass, title, showCommand))
        return 0;
    const int exitCode = run_message_loop();
    finish_signal_source();
    return exitCode;
}
