// Base of every clickable or lighting element of the radio window. A button
// has no picture of its own: it copies its rectangle out of the whole-window
// skin that matches its state (normal, pressed, lit). Subclasses give it a
// meaning through four notifications; this class fixes when each one runs.
#pragma once

#include <windows.h>

#include "mouse_event.h"

class BitmapButton {
public:
    enum State : int {
        Up = 1,      // normal skin
        Pressed = 2, // pressed skin
        Lit = 3,     // lit skin (toggles and lamps)
    };

    BitmapButton() = default;
    BitmapButton(const BitmapButton &) = delete;
    BitmapButton &operator=(const BitmapButton &) = delete;

    // The notifications, in this slot order, then the destructor. All empty here.
    virtual void OnRepeat() {} // auto-repeat tick after the hold
    virtual void OnHold() {}   // held down for the hold time
    virtual void OnPress() {}  // went down
    virtual void OnClick() {}  // released over itself
    // The skins belong to the main window: nothing to release here.
    virtual ~BitmapButton() = default;

    // The skins are borrowed. A button given a lit skin is a toggle.
    void Init(HWND window, int x, int y, HDC up, int sourceX, int sourceY, int width, int height, HDC pressed,
              HDC lit);
    // Copies the button's rectangle from the skin of its state into the window.
    void Draw();
    // Returns 0 when the event is not this button's, else 1 (also when disabled).
    int HandleMouse(int x, int y, int event);
    // As if the mouse were at the top-left corner: for keys and timed releases.
    int SimulateEvent(int event);
    int IsOn() const { return isOn; }
    // Client pixels; right and bottom exclusive.
    const RECT &Rect() const { return rect; }
    // Latches a toggle on or off without notifying; a plain button ignores it.
    void SetOn(int flag);
    void HoldTick(int x, int y);
    void RepeatTick(int x, int y);

    // The owner writes these directly.
    int enabled = 1;       // 0: every mouse event is ignored
    int repeatEnabled = 1; // gate for OnRepeat
    int state = Up;        // write, then Draw

private:
    bool Contains(int x, int y) const;
    HDC SourceOf(int buttonState) const;
    void Press();
    void ReleaseToggle(bool inside);
    void ReleasePlain(bool inside);

    int srcX = 0;
    int srcY = 0;
    int initialised = 0;
    int isOn = 0;
    HDC dcUp = nullptr;
    HDC dcPressed = nullptr;
    HDC dcLit = nullptr;
    RECT rect = {};
    HWND window = nullptr;
    int isToggle = 0;
};
