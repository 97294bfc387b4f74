// The main window's input: keys, mouse, timers, menu commands and the
// notification icon's callback, each turned into calls on the controls.
// While a station search runs, a key or a click only ends it.
#pragma once

#include <windows.h>

#include "bitmap_button.h"

// The window procedure: routes the window's life (radio_window.h) and its
// input to their handlers.
LRESULT CALLBACK radio_window_procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// What a click on `button` does, for a screen reader's "activate": a press
// and a release over it, no hold (nothing is stored by accident); while a
// station search or scan runs it only ends the run, as a click does.
void click_control(BitmapButton &button);
