#include "input_router.h"

#include "accessible_radio.h"
#include "dialogs.h"
#include "option_menu.h"
#include "radio_controls.h"
#include "radio_state.h"
#include "radio_window.h"
#include "rds_window.h"
#include "resource.h"
#include "sleep_timer.h"
#include "station_scan.h"
#include "station_search.h"
#include "timers.h"
#include "tuner_device.h"

static_assert(IDM_RDS == RdsWindowCommand, "the RDS button sends the menu item's command");

namespace {

// heldKey for Ctrl with a digit: the group keys.
constexpr int GroupKeyBase = 10;
// Bit 30 of a key message: the key was already down (an auto-repeat).
constexpr LPARAM KeyWasDown = 0x40000000;

// Mouse presses and releases reach the widgets in this order; the lamps never.
BitmapButton *const MouseButtons[] = {
    &tuneUpButton,  &tuneDownButton, &muteButton,    &autoSearchButton, &monoButton,     &presetButton1,
    &presetButton2, &presetButton3,  &presetButton4, &presetButton5,    &presetButton6,  &groupButton1,
    &groupButton2,  &groupButton3,   &minimizeButton, &powerButton,     &rdsButton,
};
// The buttons that get the hold tick; the first two also get the repeat.
BitmapButton *const HoldButtons[] = {&tuneUpButton,  &tuneDownButton, &presetButton1, &presetButton2,
                                     &presetButton3, &presetButton4,  &presetButton5, &presetButton6};

// The letter shortcuts: each presses its button at key-down and releases it
// at key-up, as a click at the button's corner.
struct LetterKey {
    WPARAM key;
    BitmapButton *button;
};
const LetterKey LetterKeys[] = {
    {'A', &autoSearchButton}, {'M', &muteButton}, {'P', &powerButton},
    {'R', &rdsButton},        {'S', &monoButton}, {'Z', &minimizeButton},
};

// A key or a click while a station search or scan runs ends the run and is
// used up by it.
bool input_ends_run()
{
    if (stationScan.Running()) {
        stationScan.Abort();
        return true;
    }
    if (search_running()) {
        abort_search();
        return true;
    }
    return false;
}

void route_mouse(int x, int y, int event)
{
    for (BitmapButton *button : MouseButtons)
        button->HandleMouse(x, y, event);
    tuningScale.HandleMouse(x, y, event);
    volumeSlider.HandleMouse(x, y, event);
}

// 1-6 for the digit keys of the main row and the numeric keypad, else 0.
int digit_of(WPARAM key)
{
    if (key >= '1' && key <= '6')
        return static_cast<int>(key - '0');
    if (key >= VK_NUMPAD1 && key <= VK_NUMPAD6)
        return static_cast<int>(key - VK_NUMPAD1 + 1);
    return 0;
}

bool control_held()
{
    return GetKeyState(VK_CONTROL) < 0;
}

BitmapButton *letter_button(WPARAM key)
{
    for (const LetterKey &letter : LetterKeys)
        if (letter.key == key)
            return letter.button;
    return nullptr;
}

void press_digit(WPARAM key, int digit)
{
    if (digit <= static_cast<int>(PresetBank::GroupCount) && control_held()) {
        groupButtons[digit - 1]->SimulateEvent(EventDown);
        heldKey = GroupKeyBase + digit;
        groupKey = key;
        return;
    }
    groupKey = 0;
    presetButtons[digit - 1]->SimulateEvent(EventDown);
    SetTimer(mainWindow, PresetKeyTimer, PresetKeyHoldMs, nullptr);
    heldKey = digit;
}

LRESULT on_key_down(WPARAM key, LPARAM keyFlags)
{
    if (input_ends_run())
        return 0;
    switch (key) {
    case VK_LEFT:
        tuneDownButton.OnPress(); // the keyboard's own repeat repeats it
        return 0;
    case VK_RIGHT:
        tuneUpButton.OnPress();
        return 0;
    case VK_UP:
        volumeSlider.StepUp();
        return 0;
    case VK_DOWN:
        volumeSlider.StepDown();
        return 0;
    default:
        break;
    }
    // One shortcut at a time; a held key's own auto-repeat is ignored too,
    // also once an earlier key-up (Ctrl let go first) has cleared the latch.
    if (heldKey != 0 || (keyFlags & KeyWasDown) != 0)
        return 0;
    if (const int digit = digit_of(key)) {
        press_digit(key, digit);
    } else if (BitmapButton *button = letter_button(key)) {
        groupKey = 0;
        button->SimulateEvent(EventDown);
        heldKey = static_cast<int>(key);
    }
    return 0;
}

LRESULT on_key_up(WPARAM key)
{
    if (const int digit = digit_of(key)) {
        // The button its key-down pressed: the group button, even when Ctrl
        // went up first.
        if (key == groupKey) {
            groupButtons[digit - 1]->SimulateEvent(EventUp);
            groupKey = 0;
        } else {
            presetButtons[digit - 1]->SimulateEvent(EventUp);
        }
    } else if (BitmapButton *button = letter_button(key)) {
        button->SimulateEvent(EventUp);
    }
    KillTimer(mainWindow, PresetKeyTimer);
    heldKey = 0;
    return 0;
}

// A coordinate with its top bit set is a negative one under capture: the
// sliders see 0 instead.
int unsigned_coordinate(WORD value)
{
    return (value & 0x8000) ? 0 : value;
}

LRESULT on_mouse_move(LPARAM position)
{
    lastPointer = {unsigned_coordinate(LOWORD(position)), unsigned_coordinate(HIWORD(position))};
    tuningScale.HandleMouse(lastPointer.x, lastPointer.y, EventMove);
    volumeSlider.HandleMouse(lastPointer.x, lastPointer.y, EventMove);
    return 0;
}

LRESULT on_left_button_down(LPARAM position)
{
    lastPointer = {LOWORD(position), HIWORD(position)};
    if (input_ends_run())
        return 0;
    route_mouse(lastPointer.x, lastPointer.y, EventDown);
    SetTimer(mainWindow, HoldTimer, HoldMs, nullptr);
    return 0;
}

LRESULT on_left_button_up(LPARAM position)
{
    lastPointer = {LOWORD(position), HIWORD(position)};
    if (search_running())
        return 0; // the hold and repeat timers keep running
    route_mouse(lastPointer.x, lastPointer.y, EventUp);
    KillTimer(mainWindow, HoldTimer);
    KillTimer(mainWindow, RepeatTimer);
    // No capture outlives the button that holds it: a tune button a search
    // already put up took one that its release no longer frees.
    if (GetCapture() == mainWindow)
        ReleaseCapture();
    return 0;
}

void on_hold_timer()
{
    for (BitmapButton *button : HoldButtons)
        button->HoldTick(lastPointer.x, lastPointer.y);
    KillTimer(mainWindow, HoldTimer);
    SetTimer(mainWindow, RepeatTimer, RepeatMs, nullptr);
}

void on_repeat_timer()
{
    tuneUpButton.RepeatTick(lastPointer.x, lastPointer.y);
    tuneDownButton.RepeatTick(lastPointer.x, lastPointer.y);
}

// Reconnects the card and follows its presence: on each return the volume
// and the frequency are sent again.
void on_card_watch_timer()
{
    const int present = tunerDevice.poll_card();
    // A scan does not outlive the card it scanned: gone or come back, its
    // answers are void and the presets stay.
    if ((present == 1) != (cardReady == 1))
        stationScan.Abort();
    if (present == 1 && cardReady == 0) {
        show_card_presence(1);
        tunerDevice.set_volume(volumeSlider.GetValue());
        tunerDevice.set_frequency(tuningScale.GetValue());
        cardReady = 1;
    } else if (present != 1 && cardReady == 1) {
        show_card_presence(0);
        cardReady = 0;
    }
}

void on_preset_key_timer()
{
    if (heldKey >= 1 && heldKey <= static_cast<int>(PresetBank::SlotCount)) {
        PresetButton &button = *presetButtons[heldKey - 1];
        button.OnHold();
        button.SimulateEvent(EventUp);
    }
    KillTimer(mainWindow, PresetKeyTimer);
}

// The "RDS" item heads the window's menu while RDS is received.
void on_rds_rule_timer()
{
    const bool present = rds_button_rule();
    HMENU options = GetSubMenu(GetMenu(mainWindow), 0);
    if (present && !rdsMenuShown) {
        InsertMenuA(options, 0, MF_BYPOSITION, IDM_RDS, "RDS");
        rdsMenuShown = 1;
    } else if (!present && rdsMenuShown) {
        RemoveMenu(options, IDM_RDS, MF_BYCOMMAND);
        rdsMenuShown = 0;
    }
}

LRESULT on_timer(WPARAM timer)
{
    switch (timer) {
    case HoldTimer:
        on_hold_timer();
        break;
    case RepeatTimer:
        on_repeat_timer();
        break;
    case CardWatchTimer:
        on_card_watch_timer();
        break;
    case SearchTimer:
        search_tick();
        break;
    case PresetKeyTimer:
        on_preset_key_timer();
        break;
    case StereoLampTimer:
        stereo_lamp_rule();
        break;
    case RdsRuleTimer:
        on_rds_rule_timer();
        break;
    case ScanTimer:
        stationScan.Tick();
        break;
    case SleepCountdownTimer:
        sleepTimer.OnSleepTick();
        break;
    case SleepFadeTimer:
        sleepTimer.OnFadeTick();
        break;
    default:
        break;
    }
    return 0;
}

LRESULT on_command(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (LOWORD(wParam)) {
    case IDM_ABOUT:
        show_about_dialog();
        return 0;
    case IDM_EXIT:
        DestroyWindow(mainWindow);
        return 0;
    case IDM_RDS:
        open_rds_window();
        return 0;
    case IDM_SETTINGS:
        show_settings_dialog();
        return 0;
    default:
        if (run_option_command(LOWORD(wParam)))
            return 0;
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

// The icon's menu is loaded afresh, so it never carries the "RDS" item.
void show_tray_menu()
{
    SetForegroundWindow(mainWindow);
    HMENU menu = LoadMenuA(appInstance, MAKEINTRESOURCEA(IDR_MAIN_MENU));
    // TPM_NONOTIFY sends no WM_INITMENUPOPUP: the items are made up here.
    prepare_option_menu(GetSubMenu(menu, 0));
    POINT cursor;
    GetCursorPos(&cursor);
    TrackPopupMenu(GetSubMenu(menu, 0), TPM_RIGHTALIGN | TPM_BOTTOMALIGN | TPM_NONOTIFY, cursor.x, cursor.y, 0,
                   mainWindow, nullptr);
    // Lets the menu close when the user clicks elsewhere.
    PostMessageA(mainWindow, WM_NULL, 0, 0);
    DestroyMenu(menu);
}

LRESULT on_tray_callback(WPARAM iconId, LPARAM mouseMessage)
{
    if (iconId != TrayIconId)
        return 0;
    // A click on the icon is a click on the radio: it ends a scan, then does
    // what it always does.
    if (mouseMessage != WM_MOUSEMOVE)
        stationScan.Abort();
    if (mouseMessage == WM_LBUTTONDBLCLK) {
        ShowWindow(mainWindow, SW_SHOW);
        ShowWindow(mainWindow, SW_RESTORE);
    } else if (mouseMessage == WM_RBUTTONUP) {
        show_tray_menu();
    }
    return 0;
}

// The window's own menu: its items made up as the "Option" popup opens.
LRESULT on_init_menu_popup(HMENU popup)
{
    if (popup == GetSubMenu(GetMenu(mainWindow), 0))
        prepare_option_menu(popup);
    return 0;
}

// Keys and clicks the window leaves to the system (Alt, F10, the caption,
// the menu bar, the right button) end a running scan too, then do what they
// always do.
LRESULT end_scan_then_default(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    stationScan.Abort();
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

void click_control(BitmapButton &button)
{
    if (input_ends_run())
        return;
    button.SimulateEvent(EventDown);
    button.SimulateEvent(EventUp);
}

LRESULT CALLBACK radio_window_procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        return on_create(window);
    case WM_PAINT:
        return on_paint(window);
    case WM_MOVE:
        return on_move();
    case WM_DESTROY:
        return on_destroy();
    case WM_ENDSESSION:
        return on_end_session(wParam);
    case WM_KEYDOWN:
        return on_key_down(wParam, lParam);
    case WM_KEYUP:
        return on_key_up(wParam);
    case WM_MOUSEMOVE:
        return on_mouse_move(lParam);
    case WM_LBUTTONDOWN:
        return on_left_button_down(lParam);
    case WM_LBUTTONUP:
        return on_left_button_up(lParam);
    case WM_TIMER:
        return on_timer(wParam);
    case WM_COMMAND:
        return on_command(window, message, wParam, lParam);
    case TrayCallbackMessage:
        return on_tray_callback(wParam, lParam);
    case WM_INITMENUPOPUP:
        return on_init_menu_popup(reinterpret_cast<HMENU>(wParam));
    case WM_GETOBJECT:
        return on_get_object(window, message, wParam, lParam);
    case WM_SYSKEYDOWN:
    case WM_NCLBUTTONDOWN:
    case WM_NCRBUTTONDOWN:
    case WM_RBUTTONDOWN:
        return end_scan_then_default(window, message, wParam, lParam);
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}
