// The notification-area record: its first-version layout and values, the
// tip rules, and the shell left alone until a window is set.
#include <doctest.h>

#include <cstring>
#include <string>

#include "tray_icon.h"
#include "widget_screen.h"

using widgets_test::TestWindow;

namespace {

constexpr UINT IconId = 1;
constexpr int TipField = 64; // characters of the first-version tip field

std::string Tip(const TrayIcon &tray)
{
    return std::string(tray.Record().szTip, strnlen(tray.Record().szTip, TipField));
}

// Every byte of the tip field after the text is zero.
bool TipZeroFilled(const TrayIcon &tray)
{
    const char *tip = tray.Record().szTip;
    for (size_t at = strnlen(tip, TipField); at < TipField; ++at)
        if (tip[at] != '\0')
            return false;
    return true;
}

} // namespace

TEST_CASE("a new tray icon holds the first-version record, unattached")
{
    TrayIcon tray;
    const NOTIFYICONDATAA &record = tray.Record();
    // The shell's first-version record: 88 bytes on 32-bit Windows, 104 on 64-bit.
    CHECK(record.cbSize == (sizeof(void *) == 4 ? 88u : 104u));
    CHECK(record.hWnd == nullptr);
    CHECK(record.uID == 0);
    CHECK(record.uFlags == (NIF_MESSAGE | NIF_ICON | NIF_TIP));
    CHECK(record.uCallbackMessage == WM_USER + 1);
    CHECK(record.hIcon == nullptr);
    CHECK(Tip(tray).empty());
    CHECK(TipZeroFilled(tray));
}

TEST_CASE("before a window is set the shell is not asked and the record does not change")
{
    TrayIcon tray;
    NOTIFYICONDATAA before = tray.Record();
    CHECK(tray.AddIcon() == 0);
    CHECK(tray.RemoveIcon() == 0);
    CHECK(tray.SetIcon(nullptr, IconId, LoadIconA(nullptr, MAKEINTRESOURCEA(32512)), "Vantor") == 0);
    CHECK(std::memcmp(&before, &tray.Record(), sizeof(before)) == 0);
    CHECK(tray.AddIcon() == 0);
}

TEST_CASE("SetIcon fills the record and rebuilds its flags from what it is given")
{
    TestWindow window;
    HICON icon = LoadIconA(nullptr, MAKEINTRESOURCEA(32512));
    TrayIcon tray;
    CHECK(tray.SetIcon(window.Handle(), IconId, icon, "Vantor") == 1);
    const NOTIFYICONDATAA &record = tray.Record();
    CHECK(record.hWnd == window.Handle());
    CHECK(record.uID == IconId);
    CHECK(record.uFlags == (NIF_MESSAGE | NIF_ICON | NIF_TIP));
    CHECK(record.hIcon == icon);
    CHECK(Tip(tray) == "Vantor");
    CHECK(TipZeroFilled(tray));
    CHECK(record.cbSize == (sizeof(void *) == 4 ? 88u : 104u));
    CHECK(record.uCallbackMessage == WM_USER + 1);

    CHECK(tray.SetIcon(window.Handle(), 2, nullptr, nullptr) == 1);
    CHECK(record.uFlags == NIF_MESSAGE);
    CHECK(record.uID == 2);

    CHECK(tray.SetIcon(window.Handle(), IconId, icon, nullptr) == 1);
    CHECK(record.uFlags == (NIF_MESSAGE | NIF_ICON));
    CHECK(tray.SetIcon(window.Handle(), IconId, nullptr, "tip") == 1);
    CHECK(record.uFlags == (NIF_MESSAGE | NIF_TIP));
}

TEST_CASE("a tip is cut after 63 characters and always terminated")
{
    TestWindow window;
    TrayIcon tray;
    const std::string long70(70, 'x');
    const std::string exact63 = std::string(62, 'y') + "z";
    tray.SetIcon(window.Handle(), IconId, nullptr, long70.c_str());
    CHECK(Tip(tray) == std::string(63, 'x'));
    CHECK(tray.Record().szTip[63] == '\0');

    tray.SetIcon(window.Handle(), IconId, nullptr, (exact63 + "!").c_str());
    CHECK(Tip(tray) == exact63);
    tray.SetIcon(window.Handle(), IconId, nullptr, exact63.c_str());
    CHECK(Tip(tray) == exact63);

    // A shorter tip leaves nothing of the longer one behind.
    tray.SetIcon(window.Handle(), IconId, nullptr, "Vantor");
    CHECK(Tip(tray) == "Vantor");
    CHECK(TipZeroFilled(tray));
}

TEST_CASE("with a window the shell adds and removes the icon, and destruction removes it")
{
    TestWindow window;
    HICON icon = LoadIconA(nullptr, MAKEINTRESOURCEA(32512));
    {
        TrayIcon tray;
        tray.SetIcon(window.Handle(), IconId, icon, "Vantor");
        CHECK(tray.AddIcon() == 1);
        CHECK(tray.RemoveIcon() == 1);
        CHECK(tray.RemoveIcon() == 0); // already gone
        CHECK(tray.AddIcon() == 1);
    }
    // The destructor took it away: a twin record finds nothing to remove.
    TrayIcon twin;
    twin.SetIcon(window.Handle(), IconId, icon, "Vantor");
    CHECK(twin.RemoveIcon() == 0);
}
