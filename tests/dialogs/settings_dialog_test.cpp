// The Settings dialog: where it opens, what it shows from the settings, and
// what OK sends to the card, paints on the window and stores, against
// Cancel, Esc and the close box, which change nothing.
#include <doctest.h>

#include <algorithm>
#include <functional>

#include "dialog_story.h"

using namespace dialog_test;
using namespace radio_test;
using testing::RadioProgram;

namespace {

// Away from the radio window, so the dialog never covers the dial and
// whatever shows there was painted by the program on its own.
constexpr POINT AwayFromRadio = {800, 520};

HWND open_settings(RadioProgram &radio)
{
    radio.MoveToScreen(AwayFromRadio);
    ChooseMenuItem(radio, SettingsItem);
    return WaitForDialog(radio, "Settings");
}

LRESULT chosen_band(HWND dialog)
{
    return SendMessageA(GetDlgItem(dialog, BandList), CB_GETCURSEL, 0, 0);
}

bool checked(HWND dialog, int id)
{
    return SendMessageA(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// Drops the list down and clicks entry `index`.
void choose_band(RadioProgram &radio, HWND dialog, int index)
{
    ClickControl(radio, dialog, BandList);
    HWND list = nullptr;
    REQUIRE(testing::WaitUntil([&] { return (list = testing::FindProcessWindow(radio.ProcessId(), "ComboLBox")); }));
    const auto itemHeight = static_cast<int>(SendMessageA(list, LB_GETITEMHEIGHT, 0, 0));
    POINT at = {10, itemHeight * index + itemHeight / 2};
    ClientToScreen(list, &at);
    radio.ClickScreen(at);
    REQUIRE(testing::WaitUntil([&] { return chosen_band(dialog) == index; }));
}

void press_ok(RadioProgram &radio, HWND dialog)
{
    ClickControl(radio, dialog, OkButton);
    REQUIRE(WaitGone(dialog));
    radio.Settle();
}

INT_PTR CALLBACK inert_dialog(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

// The dialog's outer size as its template makes it, measured on a copy made
// from the program's own resources.
SIZE template_size()
{
    HMODULE program = LoadLibraryExA((testing::BinDirectory() + "\\Tavolin.exe").c_str(), nullptr,
                                     LOAD_LIBRARY_AS_DATAFILE);
    HWND copy = CreateDialogParamA(program, MAKEINTRESOURCEA(130), nullptr, inert_dialog, 0);
    RECT rect = {};
    GetWindowRect(copy, &rect);
    DestroyWindow(copy);
    FreeLibrary(program);
    return {rect.right - rect.left, rect.bottom - rect.top};
}

void check_centred_on_cursor(HWND dialog)
{
    POINT cursor;
    GetCursorPos(&cursor);
    RECT rect = {};
    GetWindowRect(dialog, &rect);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    CHECK(rect.left == cursor.x - width / 2);
    CHECK(rect.top == cursor.y - height / 2);
    // 100 pixels less than the template: the noise cancelling frame is out
    // of sight, its radios still there.
    const SIZE full = template_size();
    REQUIRE(full.cy > 100);
    CHECK(width == full.cx);
    CHECK(height == full.cy - 100);
    RECT on = {};
    GetWindowRect(GetDlgItem(dialog, NoiseCancelOn), &on);
    CHECK(on.top >= rect.bottom);
}

// The dial beside the thumb, on whichever side has room.
RECT bare_dial(const RECT &thumb)
{
    return thumb.left > 0 ? RECT{0, ScaleStrip.top, thumb.left, ScaleStrip.bottom}
                          : RECT{thumb.right, ScaleStrip.top, 240, ScaleStrip.bottom};
}

bool contains(const std::vector<std::string> &commands, const std::string &command)
{
    return std::find(commands.begin(), commands.end(), command) != commands.end();
}

struct BandChange {
    const char *story;
    int fromSystem;
    int frequency;
    int toIndex;
    std::vector<std::string> sent;
    int shownFrequency; // where the thumb stands afterwards
    int low, high;
    bool japanDial;
};

} // namespace

TEST_CASE_FIXTURE(RadioStory, "OK changes the band at once")
{
    const BandChange changes[] = {
        {"Europe to Japan at 100.0 MHz: 91.0", 2, 1000, 2,
         {"set_frequency(910)", "set_band(2)", "set_stereo_noise_cancel(0)"}, 910, 760, 910, true},
        {"Japan to USA at 80.0 MHz: 88.0", 3, 800, 0,
         {"set_frequency(880)", "set_band(3)", "set_stereo_noise_cancel(0)"}, 880, 880, 1080, false},
        {"USA to Europe at 88.0 MHz: unchanged", 1, 880, 1,
         {"set_frequency(880)", "set_band(1)", "set_stereo_noise_cancel(0)"}, 880, 875, 1080, false},
    };
    for (const BandChange &change : changes) {
        SUBCASE(change.story)
        {
            settings.SetNumber("RadioSystem", static_cast<uint32_t>(change.fromSystem));
            settings.SetNumber("CurrentFrequency", static_cast<uint32_t>(change.frequency));
            {
                RadioProgram radio;
                REQUIRE(radio.Window());
                StartListening();
                HWND dialog = open_settings(radio);
                REQUIRE(dialog);
                CHECK(chosen_band(dialog) == change.fromSystem - 1);
                choose_band(radio, dialog, change.toIndex);
                press_ok(radio, dialog);
                CHECK_MESSAGE(Commands() == change.sent, testing::Join(Commands()));

                // The new dial is on the screen at once, though the dialog never covered it.
                const RECT thumb = ScaleThumb(change.shownFrequency, change.low, change.high);
                CHECK(WaitForSkin(radio, change.japanDial ? pressed : normal, bare_dial(thumb)));
                CHECK_FALSE(ShowsSkin(radio, change.japanDial ? pressed : normal, thumb));
                REQUIRE(radio.Close());
            }
            CHECK(settings.Number("RadioSystem") == change.toIndex + 1);
            CHECK(settings.Number("CurrentFrequency") == change.shownFrequency);

            // The next start applies the stored band.
            card.ClearLog();
            RadioProgram again;
            REQUIRE(testing::WaitUntil([&] { return !testing::Only(card.Log(), TUNER_SET_BAND).empty(); }));
            CHECK(contains(Commands(), change.sent[1]));
            const RECT thumb = ScaleThumb(change.shownFrequency, change.low, change.high);
            CHECK(WaitForSkin(again, change.japanDial ? pressed : normal, bare_dial(thumb)));
        }
    }
}

TEST_CASE_FIXTURE(RadioStory, "a band chosen while the card is out: back, the window is a fresh start's")
{
    settings.SetNumber("RadioSystem", 2);
    settings.SetNumber("CurrentFrequency", 1000);
    testing::ClientShot back;
    {
        RadioProgram radio;
        REQUIRE(radio.Window());
        AwaitFirstWatchTick();
        card.Pull();
        REQUIRE(WaitForSkin(radio, normal, Readout));
        HWND dialog = open_settings(radio);
        REQUIRE(dialog);
        choose_band(radio, dialog, 2);
        press_ok(radio, dialog);
        card.ClearLog();
        card.Insert();
        REQUIRE(AwaitRequestsWith(TUNER_SET_FREQUENCY, 910, 1, 3000).size() == 1);
        radio.Settle();
        back = radio.Shot();
    }
    card.ClearLog();
    RadioProgram fresh;
    REQUIRE(fresh.Window());
    AwaitFirstWatchTick();
    fresh.Settle();
    CHECK(fresh.Shot().Differences(back, Readout) == 0);
    CHECK(fresh.Shot().Differences(back, ScaleStrip) == 0);
}

TEST_CASE_FIXTURE(RadioStory, "OK with nothing touched, and the noise cancelling radios")
{
    struct Untouched {
        const char *story;
        uint32_t storedNoiseCancel;
        bool on, off; // the radios as the dialog opens
        int32_t storedAfter;
    };
    const Untouched cases[] = {
        {"on: the band applied again and noise cancelling sent again, unchanged", 1, true, false, 1},
        {"off: the same with 0", 0, false, true, 0},
        {"a stored 5 checks neither radio, and OK stores 0", 5, false, false, 0},
    };
    for (const Untouched &untouched : cases) {
        SUBCASE(untouched.story)
        {
            settings.SetNumber("RadioSystem", 2);
            settings.SetNumber("CurrentFrequency", 950);
            settings.SetNumber("StereoNoiseCancel", untouched.storedNoiseCancel);
            {
                RadioProgram radio;
                StartListening();
                HWND dialog = open_settings(radio);
                REQUIRE(dialog);
                CHECK(chosen_band(dialog) == 1);
                CHECK(checked(dialog, NoiseCancelOn) == untouched.on);
                CHECK(checked(dialog, NoiseCancelOff) == untouched.off);
                press_ok(radio, dialog);
                const std::vector<std::string> sent = {
                    "set_frequency(950)", "set_band(1)",
                    "set_stereo_noise_cancel(" + std::to_string(untouched.storedAfter) + ")"};
                CHECK_MESSAGE(Commands() == sent, testing::Join(Commands()));
            }
            CHECK(settings.Number("RadioSystem") == 2);
            CHECK(settings.Number("StereoNoiseCancel") == untouched.storedAfter);
        }
    }
}

TEST_CASE_FIXTURE(RadioStory, "Cancel, Esc and the close box change nothing")
{
    settings.SetNumber("RadioSystem", 2);
    settings.SetNumber("CurrentFrequency", 1000);
    settings.SetNumber("StereoNoiseCancel", 1);
    {
        RadioProgram radio;
        StartListening();
        const std::function<void(HWND)> closers[] = {
            [&](HWND dialog) { ClickControl(radio, dialog, CancelButton); },
            [&](HWND) { radio.Tap(VK_ESCAPE); },
            [&](HWND dialog) {
                RECT rect = {};
                GetWindowRect(dialog, &rect);
                const POINT box = {rect.right - GetSystemMetrics(SM_CXFIXEDFRAME) - GetSystemMetrics(SM_CXSIZE) / 2,
                                   rect.top + GetSystemMetrics(SM_CYFIXEDFRAME) + GetSystemMetrics(SM_CYCAPTION) / 2};
                REQUIRE(SendMessageA(dialog, WM_NCHITTEST, 0, MAKELPARAM(box.x, box.y)) == HTCLOSE);
                radio.ClickScreen(box);
            },
        };
        for (const auto &close : closers) {
            HWND dialog = open_settings(radio);
            REQUIRE(dialog);
            choose_band(radio, dialog, 2);
            close(dialog);
            REQUIRE(WaitGone(dialog));
        }
        radio.Settle();
        CHECK_MESSAGE(Commands().empty(), testing::Join(Commands()));
        // Still the Europe dial, the thumb at 100.0.
        const RECT thumb = ScaleThumb(1000, 875, 1080);
        CHECK(ShowsSkin(radio, normal, {0, ScaleStrip.top, thumb.left, ScaleStrip.bottom}));
    }
    CHECK(settings.Number("RadioSystem") == 2);
    CHECK(settings.Number("CurrentFrequency") == 1000);
    CHECK(settings.Number("StereoNoiseCancel") == 1);
}

TEST_CASE_FIXTURE(RadioStory, "the dialog opens centred on the cursor, 100 pixels short")
{
    RadioProgram radio;
    StartListening();

    SUBCASE("from the window's menu")
    {
        HWND dialog = open_settings(radio);
        REQUIRE(dialog);
        check_centred_on_cursor(dialog);
        radio.Tap(VK_ESCAPE);
        CHECK(WaitGone(dialog));
    }

    SUBCASE("from the notification icon's menu while the window is hidden")
    {
        radio.Activate();
        radio.Tap('Z');
        REQUIRE(testing::WaitUntil([&] { return !IsWindowVisible(radio.Window()); }));
        radio.MoveToScreen(AwayFromRadio);
        // What the shell sends when the icon is right-clicked.
        PostMessageA(radio.Window(), WM_USER + 1, 1, WM_RBUTTONUP);
        HWND menu = nullptr;
        REQUIRE(testing::WaitUntil([&] { return (menu = testing::FindProcessWindow(radio.ProcessId(), "#32768")); }));
        // The menu hangs left of and above the cursor; "Setting..." is the
        // first of its seven items: the middle of that one.
        RECT rect = {};
        GetWindowRect(menu, &rect);
        CHECK(rect.right == AwayFromRadio.x);
        CHECK(rect.bottom == AwayFromRadio.y);
        radio.ClickScreen({rect.left + 20, rect.top + 3 + (rect.bottom - rect.top - 6) / 14});
        HWND dialog = WaitForDialog(radio, "Settings");
        REQUIRE(dialog);
        CHECK_FALSE(IsWindowVisible(radio.Window()));
        check_centred_on_cursor(dialog);
        radio.Tap(VK_ESCAPE);
        CHECK(WaitGone(dialog));
    }
}
