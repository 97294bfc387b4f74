// The About box: the version and the band plan in use, the radio blocked
// while it is open, and every way of closing it.
#include <doctest.h>

#include <functional>

#include "dialog_story.h"

using namespace dialog_test;
using namespace radio_test;
using testing::RadioProgram;

namespace {

HWND open_about(RadioProgram &radio)
{
    ChooseMenuItem(radio, AboutItem);
    return WaitForDialog(radio, "About");
}

} // namespace

TEST_CASE_FIXTURE(RadioStory, "About names the version and the band")
{
    struct Band {
        uint32_t stored;
        const char *line;
    };
    const Band bands[] = {
        {0, "Radio System : USA (88-108 MHz)"}, // 0 is taken as USA at start
        {1, "Radio System : USA (88-108 MHz)"},
        {2, "Radio System : Europe (87.5-108 MHz)"},
        {3, "Radio System : Japan (76-91 MHz)"},
    };
    for (const Band &band : bands) {
        CAPTURE(band.stored);
        settings.SetNumber("RadioSystem", band.stored);
        RadioProgram radio;
        REQUIRE(radio.Window());
        HWND about = open_about(radio);
        REQUIRE(about);
        CHECK(ControlText(about, AboutVersion) == "Corvane Version 1.1");
        CHECK(ControlText(about, AboutBand) == band.line);
        CHECK_FALSE(ControlText(about, AboutNotice).empty());
        ClickControl(radio, about, OkButton);
        CHECK(WaitGone(about));
        REQUIRE(radio.Close());
    }
}

TEST_CASE_FIXTURE(RadioStory, "About blocks the radio until OK, Enter or Esc closes it")
{
    RadioProgram radio;
    REQUIRE(radio.Window());
    const std::function<void(HWND)> closers[] = {
        [&](HWND about) { ClickControl(radio, about, OkButton); },
        [&](HWND) { radio.Tap(VK_RETURN); },
        [&](HWND) { radio.Tap(VK_ESCAPE); },
    };
    for (const auto &close : closers) {
        HWND about = open_about(radio);
        REQUIRE(about);
        // Owned by the radio: its window takes no input meanwhile.
        CHECK_FALSE(IsWindowEnabled(radio.Window()));
        CHECK(GetWindow(about, GW_OWNER) == radio.Window());
        close(about);
        CHECK(WaitGone(about));
        CHECK(testing::WaitUntil([&] { return IsWindowEnabled(radio.Window()) != 0; }));
    }

    // Alt+"/" opens it too, and the radio runs on after it closed.
    radio.Activate();
    radio.KeyDown(VK_MENU);
    radio.Tap(VK_OEM_2);
    radio.KeyUp(VK_MENU);
    HWND about = WaitForDialog(radio, "About");
    REQUIRE(about);
    radio.Tap(VK_ESCAPE);
    CHECK(WaitGone(about));
    CHECK(radio.Running());
}
