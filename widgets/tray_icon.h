// The radio window's icon in the notification area. Holds the one
// notification record, adds the icon when asked and removes it when
// destroyed, so the icon goes away when the program ends.
#pragma once

#include <windows.h>

#include <shellapi.h>

// The message the icon sends to its window (double-click, right button).
constexpr UINT TrayCallbackMessage = WM_USER + 1;

class TrayIcon {
public:
    // Tips longer than this are cut; the record's tip field holds 64 characters.
    static constexpr int TipLength = 63;

    TrayIcon();
    TrayIcon(const TrayIcon &) = delete;
    TrayIcon &operator=(const TrayIcon &) = delete;
    virtual ~TrayIcon();

    // Fills the record; the shell is not called until AddIcon. Without an
    // icon or a tip only the message flag stays set. 0 for a null window.
    int SetIcon(HWND window, UINT id, HICON icon, const char *tip);
    // The shell's result; 0 without touching the shell while no window is set.
    int AddIcon();
    int RemoveIcon();
    const NOTIFYICONDATAA &Record() const { return record; }

private:
    int Notify(DWORD message);

    NOTIFYICONDATAA record;
};
