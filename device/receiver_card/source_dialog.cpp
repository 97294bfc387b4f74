#include "source_dialog.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "receiver_card_resource.h"
#include "source_setting.h"

namespace {

// Posted by a lookup: wParam its serial, lParam 1 when the host was found.
constexpr UINT LookupDone = WM_APP + 1;

struct DialogState {
    HKEY key;
    SourceSetting before;
    SourceSetting chosen;
    WPARAM lookupSerial; // counts the lookups started
    bool awaiting;       // the last one's answer is awaited
};

// One lookup on a thread of its own; it frees itself, so a dialog closed
// meanwhile leaves nothing behind but a message to a window that is gone.
struct Lookup {
    HWND dialog;
    WPARAM serial;
    char host[sizeof(SourceSetting::host)];
};

DWORD WINAPI look_up(void *parameter)
{
    Lookup *lookup = static_cast<Lookup *>(parameter);
    WSADATA data;
    bool found = false;
    if (WSAStartup(MAKEWORD(2, 2), &data) == 0) {
        addrinfo hints = {};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo *addresses = nullptr;
        found = getaddrinfo(lookup->host, nullptr, &hints, &addresses) == 0 && addresses;
        if (addresses)
            freeaddrinfo(addresses);
        WSACleanup();
    }
    PostMessageA(lookup->dialog, LookupDone, lookup->serial, found ? 1 : 0);
    delete lookup;
    return 0;
}

void say(HWND dialog, const char *text)
{
    SetDlgItemTextA(dialog, IDC_STATUS, text);
}

void enable_fields(HWND dialog)
{
    const bool server = IsDlgButtonChecked(dialog, IDC_SOURCE_SERVER) == BST_CHECKED;
    const int fields[] = {IDC_HOST, IDC_PORT, IDC_GAIN_AUTO, IDC_PPM};
    for (int field : fields)
        EnableWindow(GetDlgItem(dialog, field), server);
    EnableWindow(GetDlgItem(dialog, IDC_GAIN), server && IsDlgButtonChecked(dialog, IDC_GAIN_AUTO) != BST_CHECKED);
}

void show_setting(HWND dialog, const SourceSetting &setting)
{
    CheckRadioButton(dialog, IDC_SOURCE_CARD, IDC_SOURCE_SERVER, setting.server ? IDC_SOURCE_SERVER : IDC_SOURCE_CARD);
    SetDlgItemTextA(dialog, IDC_HOST, setting.server ? setting.host : "127.0.0.1");
    SetDlgItemInt(dialog, IDC_PORT, setting.port, FALSE);
    CheckDlgButton(dialog, IDC_GAIN_AUTO, setting.gainTenthsDb == 0 ? BST_CHECKED : BST_UNCHECKED);
    char gain[16] = "";
    if (setting.gainTenthsDb != 0)
        std::snprintf(gain, sizeof(gain), "%d.%d", static_cast<int>(setting.gainTenthsDb / 10),
                      static_cast<int>(setting.gainTenthsDb % 10));
    SetDlgItemTextA(dialog, IDC_GAIN, gain);
    SetDlgItemInt(dialog, IDC_PPM, static_cast<UINT>(setting.ppm), TRUE);
    SendDlgItemMessageA(dialog, IDC_HOST, EM_LIMITTEXT, sizeof(setting.host) - 1, 0);
    enable_fields(dialog);
}

// A number of decibels with at most one decimal, as tenths; -1 when it is not one.
int32_t parse_tenths(const char *text)
{
    int32_t tenths = 0;
    int digits = 0;
    int decimals = -1;
    for (const char *c = text; *c; ++c) {
        if ((*c == '.' || *c == ',') && decimals < 0) {
            decimals = 0;
        } else if (*c >= '0' && *c <= '9' && decimals < 1 && digits < 4) {
            tenths = tenths * 10 + (*c - '0');
            ++digits;
            if (decimals >= 0)
                ++decimals;
        } else {
            return -1;
        }
    }
    if (digits == 0)
        return -1;
    return decimals == 1 ? tenths : tenths * 10;
}

// Reads the fields into `setting`; the complaint when they do not make a source.
const char *read_fields(HWND dialog, SourceSetting &setting)
{
    setting = SourceSetting();
    if (IsDlgButtonChecked(dialog, IDC_SOURCE_SERVER) != BST_CHECKED)
        return nullptr;
    char host[sizeof(setting.host) + 2] = {};
    GetDlgItemTextA(dialog, IDC_HOST, host, sizeof(host));
    char port[16] = {};
    GetDlgItemTextA(dialog, IDC_PORT, port, sizeof(port));
    if (host[0] == '\0')
        return "Enter the server's host name or address.";
    char server[sizeof(host) + sizeof(port) + 3];
    std::snprintf(server, sizeof(server), std::strchr(host, ':') ? "[%s]:%s" : "%s:%s", host, port);
    if (!parse_server(server, setting)) {
        const long number = std::strtol(port, nullptr, 10);
        setting = SourceSetting();
        return number >= 1 && number <= 65535 && port[std::strspn(port, "0123456789")] == '\0'
                   ? "The host name may not contain spaces or brackets."
                   : "The port must be a number from 1 to 65535.";
    }
    if (IsDlgButtonChecked(dialog, IDC_GAIN_AUTO) != BST_CHECKED) {
        char gain[16] = {};
        GetDlgItemTextA(dialog, IDC_GAIN, gain, sizeof(gain));
        setting.gainTenthsDb = parse_tenths(gain);
        if (setting.gainTenthsDb < 1 || setting.gainTenthsDb > MaxGainTenthsDb)
            return "The gain must be a number of decibels from 0.1 to 60.";
    }
    BOOL ppmRead = FALSE;
    setting.ppm = static_cast<int32_t>(GetDlgItemInt(dialog, IDC_PPM, &ppmRead, TRUE));
    if (!ppmRead || setting.ppm < -MaxPpm || setting.ppm > MaxPpm)
        return "The frequency correction must be a whole number of ppm from -1000 to 1000.";
    return nullptr;
}

bool same(const SourceSetting &a, const SourceSetting &b)
{
    return a.server == b.server && a.port == b.port && a.gainTenthsDb == b.gainTenthsDb && a.ppm == b.ppm &&
           std::strcmp(a.host, b.host) == 0;
}

void finish(HWND dialog, DialogState &state)
{
    store_source_setting(state.key, state.chosen);
    EndDialog(dialog, same(state.before, state.chosen) ? FALSE : TRUE);
}

void on_ok(HWND dialog, DialogState &state)
{
    if (const char *complaint = read_fields(dialog, state.chosen)) {
        say(dialog, complaint);
        return;
    }
    if (!state.chosen.server) {
        finish(dialog, state);
        return;
    }
    state.awaiting = true;
    Lookup *lookup = new Lookup{dialog, ++state.lookupSerial, {}};
    std::memcpy(lookup->host, state.chosen.host, sizeof(lookup->host));
    char saying[sizeof(state.chosen.host) + 32];
    std::snprintf(saying, sizeof(saying), "Looking up %s...", state.chosen.host);
    say(dialog, saying);
    EnableWindow(GetDlgItem(dialog, IDOK), FALSE);
    HANDLE thread = CreateThread(nullptr, 0, look_up, lookup, 0, nullptr);
    if (thread) {
        CloseHandle(thread);
        return;
    }
    delete lookup;
    state.awaiting = false;
    EnableWindow(GetDlgItem(dialog, IDOK), TRUE);
    say(dialog, "The host could not be looked up now; try again.");
}

void on_lookup_done(HWND dialog, DialogState &state, WPARAM serial, bool found)
{
    if (!state.awaiting || serial != state.lookupSerial)
        return; // an answer for fields that have changed since
    state.awaiting = false;
    EnableWindow(GetDlgItem(dialog, IDOK), TRUE);
    if (found) {
        finish(dialog, state);
        return;
    }
    char saying[sizeof(state.chosen.host) + 32];
    std::snprintf(saying, sizeof(saying), "Unknown host: %s", state.chosen.host);
    say(dialog, saying);
}

INT_PTR CALLBACK source_dialog_procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    DialogState *state = reinterpret_cast<DialogState *>(GetWindowLongPtrA(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG:
        state = reinterpret_cast<DialogState *>(lParam);
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        show_setting(dialog, state->before);
        return TRUE;
    case WM_COMMAND:
        // A field changed while a lookup runs: its answer no longer counts.
        if (state && state->awaiting && LOWORD(wParam) != IDOK &&
            (HIWORD(wParam) == EN_CHANGE || HIWORD(wParam) == BN_CLICKED)) {
            state->awaiting = false;
            EnableWindow(GetDlgItem(dialog, IDOK), TRUE);
            say(dialog, "");
        }
        switch (LOWORD(wParam)) {
        case IDOK:
            on_ok(dialog, *state);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, FALSE);
            return TRUE;
        case IDC_SOURCE_CARD:
        case IDC_SOURCE_SERVER:
        case IDC_GAIN_AUTO:
            enable_fields(dialog);
            return TRUE;
        default:
            return FALSE;
        }
    case LookupDone:
        if (state)
            on_lookup_done(dialog, *state, wParam, lParam != 0);
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

BOOL run_source_dialog(HINSTANCE instance, HWND owner, HKEY key)
{
    DialogState state = {};
    state.key = key;
    load_source_setting(key, state.before);
    return DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_SIGNAL_SOURCE), owner, source_dialog_procedure,
                           reinterpret_cast<LPARAM>(&state)) == TRUE;
}
