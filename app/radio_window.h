// The radio's one top-level window, class and title "Vantor": its creation,
// the steps that lay it out, fill it from the settings and save them again,
// and the handlers of its life. Its window procedure (input_router.h) only
// routes each message to a handler.
#pragma once

#include <windows.h>

#include <cstdint>

// Registers the class and creates, places and shows the window. 0 on failure.
HWND create_radio_window(HINSTANCE instance, const char *windowClass, const char *title, int showCommand);

// The window's outer size for a 240 x 268 client area with its menu bar.
SIZE radio_window_outer_size();

// Moves a window the radio opens (a dialog, the RDS window) to `at`, kept
// wholly inside the work area of the monitor that holds the radio: one that
// would cross the right edge there takes `otherLeft` instead, and whatever
// still sticks out is pushed just inside.
void place_on_radio_monitor(HWND window, POINT at, SIZE size, LONG otherLeft);

void layout_controls();
void apply_settings();
// The band step of apply_settings, shared with the Settings dialog: limits
// for the read-out, scale and labels, `frequency` clamped into them and
// tuned, the dial strip, and the band command. A RadioSystem outside 1-3 is
// stored as 1 first.
void apply_band(int32_t frequency);
void refresh_device_state();
// The scale and the read-out as the card is (1) or is not (0) there: shown
// with the scale's band and value, or without a thumb and blank.
void show_card_presence(int present);
void redraw_all();
void save_settings();

// Handlers of the window's life.
LRESULT on_create(HWND window);
LRESULT on_paint(HWND window);
LRESULT on_move();
LRESULT on_destroy();
LRESULT on_end_session(WPARAM ending);
