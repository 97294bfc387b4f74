// The main window's input: keys, mouse, timers, menu commands and the
// notification icon's callback, each turned into calls on the controls.
// While a station search runs, a key or a click only ends it.
#pragma once

#include <windows.h>

LRESULT CALLBACK radio_window_procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Handlers of the window's life, in radio_window.cpp.
LRESULT on_create(HWND window);
LRESULT on_paint(HWND window);
LRESULT on_move();
LRESULT on_destroy();
LRESULT on_end_session(WPARAM ending);
