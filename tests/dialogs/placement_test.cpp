// Every window the radio opens lies wholly inside the work area of the
// monitor that holds the radio, wherever the radio stands: the radio is put
// into each corner of the screen in turn, the cursor into the same corner,
// and the RDS window (which follows the radio), the Settings dialog (centred
// on the cursor), the About box and the scan question must each fit. Where
// there is room they keep their usual places: the RDS window on the radio's
// right edge, or on its left one where the screen ends.
#include <doctest.h>

#include "dialog_story.h"

using namespace dialog_test;
using namespace radio_test;
using testing::RadioProgram;

namespace {

constexpr int RdsStation = 891;
// "RDS" heads the menu while RDS is received.
constexpr int RdsItemFirst = 1;
constexpr int ScanItem = 2; // after "Setting..." and "About ..."

std::string describe(const RECT &rect)
{
    return "(" + std::to_string(rect.left) + ", " + std::to_string(rect.top) + ")-(" + std::to_string(rect.right) +
           ", " + std::to_string(rect.bottom) + ")";
}

void check_inside(const char *what, HWND window, const RECT &work)
{
    RECT rect = {};
    REQUIRE(GetWindowRect(window, &rect));
    INFO(std::string(what) << " at " << describe(rect) << ", the work area " << describe(work));
    CHECK(rect.left >= work.left);
    CHECK(rect.top >= work.top);
    CHECK(rect.right <= work.right);
    CHECK(rect.bottom <= work.bottom);
}

struct Corner {
    const char *name;
    bool right, bottom;
};

// A window opened from the Option menu, and the key that closes it.
struct Opened {
    int item;
    const char *caption;
    WORD closeKey;
};
const Opened openedWindows[] = {
    {SettingsItem, "Settings", VK_ESCAPE}, {AboutItem, "About", VK_ESCAPE}, {ScanItem, "Scan for Stations", 'N'}};

} // namespace

TEST_CASE_FIXTURE(RadioStory, "at each corner of the screen, every window the radio opens stays on the screen")
{
    card.LoadScenario("station " + std::to_string(RdsStation) + " stereo rds text Corner news\n");
    settings.SetNumber("CurrentFrequency", RdsStation);
    RadioProgram radio;
    REQUIRE(radio.Window());
    REQUIRE(WaitForSkin(radio, lit, Rds, 5000));
    StartActive(radio);
    radio.Tap('R');
    HWND rds = WaitForDialog(radio, "RDS");
    REQUIRE(rds);

    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    REQUIRE(GetMonitorInfoA(MonitorFromWindow(radio.Window(), MONITOR_DEFAULTTONEAREST), &monitor));
    const RECT work = monitor.rcWork;
    RECT outer = {};
    GetWindowRect(radio.Window(), &outer);
    const SIZE size = {outer.right - outer.left, outer.bottom - outer.top};

    const Corner corners[] = {{"top left", false, false},
                              {"top right", true, false},
                              {"bottom left", false, true},
                              {"bottom right", true, true}};
    for (const Corner &corner : corners) {
        CAPTURE(corner.name);
        const POINT at = {corner.right ? work.right - size.cx : work.left,
                          corner.bottom ? work.bottom - size.cy : work.top};
        REQUIRE(SetWindowPos(radio.Window(), nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE));
        radio.Settle();
        radio.MoveToScreen({corner.right ? work.right - 1 : work.left, corner.bottom ? work.bottom - 1 : work.top});

        // The RDS window went along: on the radio's right edge where that
        // fits, on its left edge where it does not.
        check_inside("the RDS window", rds, work);
        RECT rdsRect = {};
        GetWindowRect(rds, &rdsRect);
        CHECK(rdsRect.top == at.y);
        CHECK(rdsRect.left == (corner.right ? at.x - size.cx : at.x + size.cx));

        // Each from its menu item; the scan question is answered No.
        for (const Opened &opened : openedWindows) {
            CAPTURE(opened.caption);
            ChooseMenuItem(radio, opened.item + RdsItemFirst);
            HWND dialog = WaitForDialog(radio, opened.caption);
            REQUIRE(dialog);
            check_inside(opened.caption, dialog, work);
            if (opened.item == SettingsItem) {
                // Centred on the cursor, it would hang off two edges: it is
                // pushed into the corner.
                RECT rect = {};
                GetWindowRect(dialog, &rect);
                CHECK((corner.right ? rect.right == work.right : rect.left == work.left));
                CHECK((corner.bottom ? rect.bottom == work.bottom : rect.top == work.top));
            }
            radio.Tap(opened.closeKey);
            REQUIRE(WaitGone(dialog));
        }
    }
    CHECK(card.State().frequency == RdsStation); // no scan ran
}
