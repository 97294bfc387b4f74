#include "card_watch.h"

#include <windows.h>

#include "card_probe.h"
#include "radio_starter.h"

CardWatch cardWatch;

namespace {

// The radio window's class and title; both must match.
constexpr char RadioWindowName[] = "Vantor";

HWND find_radio_window()
{
    return FindWindowA(RadioWindowName, RadioWindowName);
}

} // namespace

void CardWatch::tick()
{
    cardProbe.open();
    const bool present = cardProbe.found();
    cardProbe.close();
    if (present && !cardPresent)
        card_arrived();
    else if (!present && cardPresent)
        card_left();
}

void CardWatch::card_arrived()
{
    if (HWND radio = find_radio_window()) {
        // It may be hidden in the notification area.
        ShowWindow(radio, SW_SHOW);
        SetForegroundWindow(radio);
    } else {
        // A failed start is not retried until the card comes back.
        radioStarter.start();
    }
    cardPresent = 1;
}

void CardWatch::card_left()
{
    // The radio closes as if its power button were pressed: it mutes and
    // closes the card and saves its settings before this returns.
    if (HWND radio = find_radio_window())
        SendMessageA(radio, WM_CLOSE, 0, 0);
    cardPresent = 0;
}
