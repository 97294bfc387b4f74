#include "bitmap_button.h"

void BitmapButton::Init(HWND targetWindow, int x, int y, HDC up, int sourceX, int sourceY, int width, int height,
                        HDC pressed, HDC lit)
{
    window = targetWindow;
    dcUp = up;
    dcPressed = pressed;
    dcLit = lit;
    rect = {x, y, x + width, y + height};
    srcX = sourceX;
    srcY = sourceY;
    initialised = 1;
    if (lit) {
        isToggle = 1;
        isOn = 0;
    }
}

HDC BitmapButton::SourceOf(int buttonState) const
{
    switch (buttonState) {
    case Up:
        return dcUp;
    case Pressed:
        return dcPressed;
    case Lit:
        return dcLit;
    default:
        return nullptr;
    }
}

void BitmapButton::Draw()
{
    if (!initialised)
        return;
    HDC source = SourceOf(state);
    if (!source)
        return;
    HDC dc = GetDC(window);
    BitBlt(dc, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, source, srcX, srcY, SRCCOPY);
    ReleaseDC(window, dc);
}

bool BitmapButton::Contains(int x, int y) const
{
    return PtInRect(&rect, POINT{x, y}) != 0;
}

int BitmapButton::HandleMouse(int x, int y, int event)
{
    if (!enabled)
        return 1;
    const bool inside = Contains(x, y);
    if (event == EventDown && !inside)
        return 0;
    // A release that this button did not start.
    if (event == EventUp && (state == Up || state == Lit))
        return 0;
    if (isToggle && state == Pressed && event == EventUp) {
        ReleaseToggle(inside);
        return 1;
    }
    if (event == EventDown) {
        Press();
        return 1;
    }
    if (event == EventUp) {
        ReleasePlain(inside);
        return 1;
    }
    return 0;
}

void BitmapButton::Press()
{
    state = Pressed;
    SetCapture(window);
    OnPress();
    Draw();
}

// The notification reads the new setting with IsOn and still holds the
// capture; the picture follows whatever the notification left.
void BitmapButton::ReleaseToggle(bool inside)
{
    if (isOn == 0) {
        state = inside ? Lit : Up;
        if (inside) {
            isOn = 1;
            OnClick();
        }
    } else {
        state = inside ? Up : Lit;
        if (inside) {
            isOn = 0;
            OnClick();
        }
    }
    ReleaseCapture();
    Draw();
}

// A plain button's click runs with the capture already released, so it may
// open menus or dialogs.
void BitmapButton::ReleasePlain(bool inside)
{
    state = Up;
    ReleaseCapture();
    if (inside)
        OnClick();
    Draw();
}

int BitmapButton::SimulateEvent(int event)
{
    HandleMouse(rect.left, rect.top, event);
    return 1;
}

void BitmapButton::SetOn(int flag)
{
    if (!isToggle)
        return;
    isOn = flag ? 1 : 0;
    state = flag ? Lit : Up;
    Draw();
}

void BitmapButton::HoldTick(int x, int y)
{
    if (Contains(x, y))
        OnHold();
}

void BitmapButton::RepeatTick(int x, int y)
{
    if (Contains(x, y) && repeatEnabled)
        OnRepeat();
}
