#include "tray_icon.h"

#include <cstddef>

// The record is the shell's first version, whatever the headers offer: 88
// bytes in the 32-bit build that ships, the tip ending the record.
static_assert(NOTIFYICONDATAA_V1_SIZE == offsetof(NOTIFYICONDATAA, szTip) + 64, "first-version record ends at its tip");
static_assert(sizeof(NOTIFYICONDATAA{}.szTip) > TrayIcon::TipLength, "tip field holds a terminated tip");
#if defined(__i386__)
static_assert(NOTIFYICONDATAA_V1_SIZE == 88, "32-bit notification record");
static_assert(offsetof(NOTIFYICONDATAA, szTip) == 24, "32-bit notification record");
#endif

TrayIcon::TrayIcon() : record()
{
    record.cbSize = NOTIFYICONDATAA_V1_SIZE;
    record.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    record.uCallbackMessage = TrayCallbackMessage;
}

TrayIcon::~TrayIcon()
{
    RemoveIcon();
}

int TrayIcon::SetIcon(HWND window, UINT id, HICON icon, const char *tip)
{
    if (!window)
        return 0;
    record.hWnd = window;
    record.uID = id;
    record.uFlags = NIF_MESSAGE;
    if (icon) {
        record.uFlags |= NIF_ICON;
        record.hIcon = icon;
    }
    if (tip) {
        record.uFlags |= NIF_TIP;
        // Cut after the last character that fits, zero the rest of the field.
        int length = 0;
        for (; length < TipLength && tip[length]; ++length)
            record.szTip[length] = tip[length];
        for (; length <= TipLength; ++length)
            record.szTip[length] = '\0';
    }
    return 1;
}

int TrayIcon::Notify(DWORD message)
{
    if (!record.hWnd)
        return 0;
    return Shell_NotifyIconA(message, &record) ? 1 : 0;
}

int TrayIcon::AddIcon()
{
    return Notify(NIM_ADD);
}

int TrayIcon::RemoveIcon()
{
    return Notify(NIM_DELETE);
}
