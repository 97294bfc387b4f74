// The Settings dialog: the band plan and stereo noise cancelling. OK applies
// the band at once, exactly as the start-up does, and sends the noise
// cancelling; the values stay in `settings` and are saved at exit. The
// dialog has no owner, so the radio stays usable while it is open.
#include <windows.h>

#include "band_names.h"
#include "band_plan.h"
#include "dialogs.h"
#include "modal_dialog.h"
#include "radio_controls.h"
#include "radio_state.h"
#include "radio_window.h"
#include "resource.h"
#include "settings.h"
#include "skins.h"
#include "tuner_device.h"

namespace {

// The dialog shows this much less than its template's height: the noise
// cancelling frame below stays out of sight but keeps its state.
constexpr int RaisedBottom = 100;
constexpr LRESULT BandCount = RadioSystemJapan - RadioSystemUsa + 1;

// Centred on the cursor as far as the screen allows, with the bottom raised.
void place_on_cursor(HWND dialog)
{
    RECT rect;
    GetWindowRect(dialog, &rect);
    POINT cursor;
    GetCursorPos(&cursor);
    const SIZE size = {rect.right - rect.left, (rect.bottom - RaisedBottom) - rect.top};
    const LONG left = cursor.x - size.cx / 2;
    place_on_radio_monitor(dialog, {left, cursor.y - size.cy / 2}, size, left);
}

// The list holds the bands in RadioSystem order; anything unknown shows USA.
void fill_band_list(HWND dialog)
{
    HWND list = GetDlgItem(dialog, IDC_BAND_LIST);
    for (uint32_t system = RadioSystemUsa; system <= RadioSystemJapan; ++system)
        SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(band_name(system)));
    const int32_t stored = settings.RadioSystem;
    const WPARAM index = stored == RadioSystemEurope || stored == RadioSystemJapan ? stored - RadioSystemUsa : 0;
    SendMessageA(list, CB_SETCURSEL, index, 0);
}

// A stored value other than 0 or 1 checks neither radio.
void check_noise_cancel(HWND dialog)
{
    if (settings.StereoNoiseCancel == 0)
        CheckDlgButton(dialog, IDC_NOISE_CANCEL_OFF, BST_CHECKED);
    else if (settings.StereoNoiseCancel == 1)
        CheckDlgButton(dialog, IDC_NOISE_CANCEL_ON, BST_CHECKED);
}

INT_PTR on_init(HWND dialog)
{
    place_on_cursor(dialog);
    fill_band_list(dialog);
    check_noise_cancel(dialog);
    return TRUE;
}

// The band the list shows, through the band step the start-up uses. The
// frequency tuned now is carried into the new band.
void apply_chosen_band(HWND dialog)
{
    const int frequency = tuningScale.GetValue();
    const LRESULT index = SendDlgItemMessageA(dialog, IDC_BAND_LIST, CB_GETCURSEL, 0, 0);
    if (index < 0 || index >= BandCount) {
        settings.RadioSystem = RadioSystemUsa; // no choice: stored as USA, nothing applied
        return;
    }
    settings.RadioSystem = static_cast<int32_t>(RadioSystemUsa + index);
    apply_band(frequency);
    // The new dial is painted at once, not only where the dialog covered it:
    // the listener sees the band change as soon as OK is pressed.
    show_scale_strip(mainWindow);
}

void on_ok(HWND dialog)
{
    apply_chosen_band(dialog);
    presetBank.DrawLabels(0);
    settings.StereoNoiseCancel = IsDlgButtonChecked(dialog, IDC_NOISE_CANCEL_ON) == BST_CHECKED ? 1 : 0;
    tunerDevice.set_stereo_noise_cancel(settings.StereoNoiseCancel);
    EndDialog(dialog, 0);
}

// OK applies; Cancel, Esc and the close box change nothing.
INT_PTR on_command(HWND dialog, WORD id)
{
    switch (id) {
    case IDOK:
        on_ok(dialog);
        return TRUE;
    case IDCANCEL:
        EndDialog(dialog, 0);
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

void show_settings_dialog()
{
    DialogBoxParamA(appInstance, MAKEINTRESOURCEA(IDD_SETTINGS), nullptr, modal_dialog_procedure<on_init, on_command>,
                    0);
}
