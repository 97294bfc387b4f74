// Mouse event codes the main window hands to the buttons and sliders. The
// window turns its mouse messages into these; keyboard shortcuts and timed
// releases send the same codes to simulate a press.
#pragma once

enum MouseEvent : int {
    EventDown = 1, // left button pressed
    EventUp = 2,   // left button released
    EventMove = 5, // pointer moved (only the sliders take it)
};
