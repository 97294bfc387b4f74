// The About box: the version and the band plan in use. Modal and owned by
// the main window, so the radio takes no input while it is open; its timers
// keep running inside the dialog's loop.
#include <windows.h>

#include <cstring>

#include "band_names.h"
#include "dialogs.h"
#include "modal_dialog.h"
#include "radio_state.h"
#include "radio_window.h"
#include "resource.h"
#include "settings.h"

namespace {

constexpr char VersionText[] = "Corvane Version 1.1";
constexpr char BandLinePrefix[] = "Radio System : ";
constexpr size_t TextBytes = 64;

INT_PTR on_init(HWND dialog)
{
    // Where its template puts it, beside the radio, as far as the screen allows.
    RECT rect;
    GetWindowRect(dialog, &rect);
    place_on_radio_monitor(dialog, {rect.left, rect.top}, {rect.right - rect.left, rect.bottom - rect.top}, rect.left);
    SetDlgItemTextA(dialog, IDC_ABOUT_VERSION, VersionText);
    // An unknown band leaves the line at its prefix.
    const char *name = band_name(static_cast<uint32_t>(settings.RadioSystem));
    // Plain copies, not the C library's formatting, which would bring a
    // whole printf into the program. Both parts are short constants.
    char bandLine[TextBytes] = {};
    static_assert(sizeof(BandLinePrefix) < TextBytes, "the prefix fits");
    std::memcpy(bandLine, BandLinePrefix, sizeof(BandLinePrefix) - 1);
    if (name) // the last byte stays the terminating zero
        std::strncpy(bandLine + sizeof(BandLinePrefix) - 1, name, sizeof(bandLine) - sizeof(BandLinePrefix));
    SetDlgItemTextA(dialog, IDC_ABOUT_BAND, bandLine);
    return TRUE; // the default focus: OK
}

// OK or Enter, Esc or the close box.
INT_PTR on_command(HWND dialog, WORD id)
{
    if (id != IDOK && id != IDCANCEL)
        return FALSE;
    EndDialog(dialog, id);
    return TRUE;
}

} // namespace

void show_about_dialog()
{
    DialogBoxParamA(appInstance, MAKEINTRESOURCEA(IDD_ABOUT), mainWindow, modal_dialog_procedure<on_init, on_command>,
                    0);
}
