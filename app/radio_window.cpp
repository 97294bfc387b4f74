// The radio window's life: creation (skins, card, layout, settings, timers,
// notification icon), painting, and shutdown (card muted and closed,
// settings saved). The input branches of the window procedure are in
// input_router.cpp.
#include "radio_window.h"

#include "band_plan.h"
#include "bitmap_ids.h"
#include "input_router.h"
#include "radio_controls.h"
#include "radio_state.h"
#include "rds_window.h"
#include "resource.h"
#include "settings.h"
#include "signal_source.h"
#include "skins.h"
#include "sleep_timer.h"
#include "startup_marks.h"
#include "station_scan.h"
#include "timers.h"
#include "tuner_device.h"

namespace {

// A fixed frame: no sizing border, no maximise box.
constexpr DWORD RadioWindowStyle = WS_BORDER | WS_SYSMENU | WS_MINIMIZEBOX;

constexpr POINT FrequencyDisplayAt = {120, 40};
constexpr POINT PresetLabelPositions[PresetBank::SlotCount] = {{85, 154}, {184, 154}, {85, 183},
                                                               {184, 183}, {85, 211}, {184, 211}};

// Default presets, group by group, before the stored ones replace them.
constexpr int DefaultPresetBase[PresetBank::GroupCount] = {880, 940, 1000};
constexpr int DefaultPresetSpacing = 10;

// A card opened again is a card that came back, whoever closed it: the
// stereo lamp's poll can meet a pulled card and close it, and the next watch
// tick reopen it without ever having seen it gone. The watch then tunes it
// as after any return.
class CardOpened : public CardOpenedMuteReset {
public:
    ~CardOpened() override = default;
    void OnTunerOpened() override
    {
        CardOpenedMuteReset::OnTunerOpened();
        cardReady = 0;
    }
};

CardOpened cardOpened;

// The window's outer size for the fixed client area, measured at creation.
SIZE outerSize;

// The card and save steps of the shutdown run once, whether the session
// ends (Windows then ends the process without destroying the window) or the
// window is destroyed.
bool shutdownDone = false;

struct ButtonPlace {
    BitmapButton *button;
    int x, y, width, height;
    bool toggle; // a toggle or a lamp is given the lit skin
};

// Every button with its place; the picture lies at the same place in every skin.
const ButtonPlace ButtonLayout[] = {
    {&tuneUpButton, 139, 107, 96, 38, false},     {&tuneDownButton, 43, 107, 95, 38, false},
    {&muteButton, 0, 237, 38, 29, true},          {&muteIndicator, 56, 35, 26, 26, true},
    {&stereoIndicator, 86, 42, 19, 12, true},     {&monoButton, 3, 57, 31, 19, true},
    {&autoSearchButton, 0, 107, 42, 38, true},    {&presetButton1, 43, 147, 41, 23, false},
    {&presetButton2, 138, 147, 41, 23, false},    {&presetButton3, 43, 176, 41, 23, false},
    {&presetButton4, 138, 176, 41, 23, false},    {&presetButton5, 43, 204, 41, 23, false},
    {&presetButton6, 138, 204, 41, 23, false},    {&groupButton1, 45, 238, 50, 17, true},
    {&groupButton2, 96, 238, 50, 17, true},       {&groupButton3, 147, 238, 50, 17, true},
    {&minimizeButton, 207, 239, 21, 21, false},   {&powerButton, 3, 37, 31, 19, false},
    {&rdsButton, 0, 0, 39, 23, true},
};

void register_window_class(HINSTANCE instance, const char *windowClass)
{
    WNDCLASSEXA record = {};
    record.cbSize = sizeof(record);
    record.style = CS_HREDRAW | CS_VREDRAW;
    record.lpfnWndProc = radio_window_procedure;
    record.hInstance = instance;
    record.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_TAVOLIN));
    record.hIconSm = record.hIcon;
    record.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)); // IDC_ARROW
    record.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    record.lpszMenuName = MAKEINTRESOURCEA(IDR_MAIN_MENU);
    record.lpszClassName = windowClass;
    RegisterClassExA(&record);
}

// A stored position beyond the screen's right or bottom edge is brought back
// to the middle. Negative values stay: they may be on a monitor to the left.
POINT clamped_stored_position()
{
    POINT at = {settings.WindowPos[0], settings.WindowPos[1]};
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    if (at.x >= screenWidth)
        at.x = screenWidth / 2;
    if (at.y >= screenHeight)
        at.y = screenHeight / 2;
    return at;
}

// Where the window's top-left corner lies when it is not minimised. A
// minimised window's own rectangle is parked far off-screen; its restored
// place comes from the placement, in work-area coordinates.
bool restored_window_origin(POINT &origin)
{
    if (!IsIconic(mainWindow)) {
        RECT rect;
        if (!GetWindowRect(mainWindow, &rect))
            return false;
        origin = {rect.left, rect.top};
        return true;
    }
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof(placement);
    if (!GetWindowPlacement(mainWindow, &placement))
        return false;
    origin = {placement.rcNormalPosition.left, placement.rcNormalPosition.top};
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    if (GetMonitorInfoA(MonitorFromRect(&placement.rcNormalPosition, MONITOR_DEFAULTTONEAREST), &monitor)) {
        origin.x += monitor.rcWork.left - monitor.rcMonitor.left;
        origin.y += monitor.rcWork.top - monitor.rcMonitor.top;
    }
    return true;
}

// `at` moved so that `at` to `at` + `extent` lies between `low` and `high`;
// the low edge wins when it cannot.
LONG within(LONG at, LONG extent, LONG low, LONG high)
{
    if (at + extent > high)
        at = high - extent;
    return at < low ? low : at;
}

void shutdown_card_and_save()
{
    if (shutdownDone)
        return;
    shutdownDone = true;
    // Nothing touches the card after this. At the end of the session the
    // window lives on, and its timers would reopen the card (the lamp's poll
    // does) and switch it back on.
    // A scan cut short by the end keeps the presets and the frequency it
    // started from.
    stationScan.Abort();
    const UINT_PTR timers[] = {HoldTimer,       RepeatTimer,  CardWatchTimer, SearchTimer,
                               PresetKeyTimer,  StereoLampTimer, RdsRuleTimer, ScanTimer,
                               SleepCountdownTimer, SleepFadeTimer};
    for (const UINT_PTR timer : timers)
        KillTimer(mainWindow, timer);
    close_rds_window();
    tunerDevice.set_mute(1);
    tunerDevice.close();
    save_settings();
}

} // namespace

SIZE radio_window_outer_size()
{
    return outerSize;
}

void place_on_radio_monitor(HWND window, POINT at, SIZE size, LONG otherLeft)
{
    RECT radio;
    GetWindowRect(mainWindow, &radio);
    MONITORINFO monitor;
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoA(MonitorFromRect(&radio, MONITOR_DEFAULTTONEAREST), &monitor);
    const RECT &work = monitor.rcWork;
    if (at.x + size.cx > work.right)
        at.x = otherLeft;
    MoveWindow(window, within(at.x, size.cx, work.left, work.right), within(at.y, size.cy, work.top, work.bottom),
               size.cx, size.cy, TRUE);
}

HWND create_radio_window(HINSTANCE instance, const char *windowClass, const char *title, int showCommand)
{
    appInstance = instance;
    register_window_class(instance, windowClass);
    // Sized from the client area, so the frame's metrics can never cut the
    // skin. Overlapped windows always get a caption.
    RECT planned = {0, 0, ClientWidth, ClientHeight};
    AdjustWindowRectEx(&planned, RadioWindowStyle | WS_CAPTION, TRUE, 0);
    outerSize = {planned.right - planned.left, planned.bottom - planned.top};
    // WM_CREATE runs inside this call: the settings are loaded when it returns.
    HWND window = CreateWindowExA(0, windowClass, title, RadioWindowStyle, CW_USEDEFAULT, CW_USEDEFAULT, outerSize.cx,
                                  outerSize.cy, nullptr, nullptr, instance, nullptr);
    if (!window)
        return nullptr;
    // A menu bar that wraps, or a frame other than planned, shows in the
    // client rectangle: make up the difference.
    RECT client;
    if (GetClientRect(window, &client)) {
        outerSize.cx += ClientWidth - client.right;
        outerSize.cy += ClientHeight - client.bottom;
    }
    const POINT at = clamped_stored_position();
    SetWindowPos(window, nullptr, at.x, at.y, outerSize.cx, outerSize.cy, SWP_NOZORDER | SWP_HIDEWINDOW);
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    STARTUP_MARK("painted");
    return window;
}

void layout_controls()
{
    for (const ButtonPlace &place : ButtonLayout)
        place.button->Init(mainWindow, place.x, place.y, normalSkinDC, place.x, place.y, place.width, place.height,
                           pressedSkinDC, place.toggle ? litSkinDC : nullptr);
    rdsButton.enabled = 0; // until the RDS rule finds RDS

    frequencyDisplay.Load(mainWindow, IDB_FREQUENCY_DIGITS, 23, IDB_FREQUENCY_POINT, IDB_FREQUENCY_DIGITS_MASK,
                          IDB_FREQUENCY_POINT_MASK);
    frequencyDisplay.SetBackground(normalSkinDC);
    frequencyDisplay.SetBlankLeading(1);

    tuningScale.Init(mainWindow, SliderControl::Horizontal, 0, 79, ClientWidth, 22, IDB_SCALE_THUMB,
                     IDB_SCALE_DRAG_THUMB, 0);
    tuningScale.SetBackground(backgroundDC, 0, 79);
    tuningScale.SetMask(IDB_SCALE_THUMB_MASK);

    volumeSlider.Init(mainWindow, SliderControl::Vertical, 22, 160, 16, 56, IDB_VOLUME_THUMB, IDB_VOLUME_DRAG_THUMB,
                      0);
    volumeSlider.SetBackground(backgroundDC, 22, 160);
    volumeSlider.SetMask(IDB_VOLUME_THUMB_MASK);
    volumeSlider.SetRange(VolumeSlider::Minimum, VolumeSlider::Maximum);
    volumeSlider.SetValue(VolumeSlider::Initial, 0);

    for (unsigned group = PresetBank::GroupCount; group >= 1; --group) {
        const int base = DefaultPresetBase[group - 1];
        presetBank.SetGroupPresets(group, base, base + DefaultPresetSpacing, base + 2 * DefaultPresetSpacing,
                                   base + 3 * DefaultPresetSpacing, base + 4 * DefaultPresetSpacing,
                                   base + 5 * DefaultPresetSpacing);
    }
    presetBank.Setup(mainWindow, backgroundDC, PresetLabelPositions, settings.RadioSystem);
}

void apply_band(int32_t frequency)
{
    Band band = {};
    if (!band_of(static_cast<uint32_t>(settings.RadioSystem), band)) {
        // 0 means USA; anything else unknown is taken as USA too, so the
        // scale and read-out always have a band.
        settings.RadioSystem = RadioSystemUsa;
        band_of(RadioSystemUsa, band);
    }
    const auto low = static_cast<uint32_t>(band.low);
    const auto high = static_cast<uint32_t>(band.high);
    frequencyDisplay.SetRange(low, high);
    tuningScale.SetRange(band.low, band.high);
    presetBank.SetRange(low, high);
    // Unsigned, so a negative stored value counts as far above the band.
    const auto wanted = static_cast<uint32_t>(frequency);
    const uint32_t clamped = wanted > high ? high : wanted < low ? low : wanted;
    // SetRange put the scale on the band's start, and a scale disabled for
    // the missing card ignores SetValue: without this, a band applied while
    // the card is out would lose the frequency to the band's start.
    const bool cardOut = !tuningScale.IsEnabled();
    if (cardOut)
        tuningScale.Enable(1);
    tuningScale.SetValue(static_cast<int>(clamped), 0);
    if (cardOut)
        tuningScale.Enable(0);
    paste_scale_strip(settings.RadioSystem == RadioSystemJapan ? pressedSkinDC : normalSkinDC);
    tunerDevice.set_band(settings.RadioSystem);
}

void apply_settings()
{
    settings.load();
    STARTUP_MARK("registry");
    volumeSlider.SetValue(settings.CurrentVolume, 0);
    // Any non-zero value stored means on.
    const int autoSearch = settings.AutoSearch != 0 ? 1 : 0;
    autoSearchButton.SetOn(autoSearch);
    apply_auto_search(autoSearch);
    const int32_t *preset = settings.PresetChannel;
    for (unsigned group = 1; group <= PresetBank::GroupCount; ++group, preset += PresetBank::SlotCount)
        presetBank.SetGroupPresets(group, preset[0], preset[1], preset[2], preset[3], preset[4], preset[5]);
    const unsigned group = settings.Group;
    if (group >= 1 && group <= PresetBank::GroupCount) {
        groupButtons[group - 1]->SetOn(1);
        presetBank.SelectGroup(group);
    }
    tunerDevice.set_search_level(settings.SearchLevel);
    tunerDevice.set_stereo_noise_cancel(settings.StereoNoiseCancel);
    tunerDevice.set_mono(StereoAllowed);
    // Every start is in stereo, whatever was stored.
    monoMode = StereoAllowed;
    settings.AudioOutputType = StereoAllowed;
    monoButton.SetOn(0);
    apply_band(settings.CurrentFrequency);
}

void show_card_presence(int present)
{
    tuningScale.Enable(present);
    frequencyDisplay.Show(present);
    if (!present)
        return;
    // A hidden read-out ignores a new band and value (a band chosen while the
    // card was out): it takes both from the scale again.
    Band band = {};
    if (band_of(static_cast<uint32_t>(settings.RadioSystem), band))
        frequencyDisplay.SetRange(static_cast<uint32_t>(band.low), static_cast<uint32_t>(band.high));
    frequencyDisplay.SetValue(tuningScale.GetValue(), 1);
}

void refresh_device_state()
{
    show_card_presence(tunerDevice.poll_card() == 1 ? 1 : 0);
}

void redraw_all()
{
    frequencyDisplay.Draw(0, FrequencyDisplayAt.x, FrequencyDisplayAt.y);
    for (const ButtonPlace &place : ButtonLayout)
        place.button->Draw();
    tuningScale.Draw();
    volumeSlider.Draw();
    presetBank.DrawLabels(0);
}

void save_settings()
{
    settings.CurrentFrequency = tuningScale.GetValue();
    settings.AudioOutputType = monoMode;
    settings.CurrentVolume = sleepTimer.VolumeToSave(volumeSlider.GetValue());
    settings.AutoSearch = autoSearchButton.IsOn();
    for (unsigned group = 1; group <= PresetBank::GroupCount; ++group)
        if (groupButtons[group - 1]->IsOn()) {
            settings.Group = static_cast<uint8_t>(group);
            break;
        }
    for (unsigned group = 1; group <= PresetBank::GroupCount; ++group)
        for (unsigned slot = 1; slot <= PresetBank::SlotCount; ++slot)
            settings.PresetChannel[(group - 1) * PresetBank::SlotCount + slot - 1] = presetBank.GetPreset(group, slot);
    POINT origin;
    if (restored_window_origin(origin)) {
        settings.WindowPos[0] = origin.x;
        settings.WindowPos[1] = origin.y;
    }
    settings.save();
}

// WM_CREATE
LRESULT on_create(HWND window)
{
    STARTUP_MARK("create");
    mainWindow = window;
    load_skins(window);
    STARTUP_MARK("skins");
    tunerDevice.SetOpenedObserver(&cardOpened);
    choose_signal_source();
    tunerDevice.open();
    tunerDevice.set_mute(0);
    STARTUP_MARK("card");
    layout_controls();
    STARTUP_MARK("bitmaps");
    apply_settings();
    refresh_device_state();
    SetTimer(window, CardWatchTimer, CardWatchMs, nullptr);
    SetTimer(window, StereoLampTimer, StereoLampMs, nullptr);
    STARTUP_MARK("applied");
    char title[100];
    GetWindowTextA(window, title, sizeof(title));
    trayIcon.SetIcon(window, TrayIconId, LoadIconA(appInstance, MAKEINTRESOURCEA(IDI_TAVOLIN)), title);
    trayIcon.AddIcon();
    STARTUP_MARK("tray_icon");
    SetTimer(window, RdsRuleTimer, RdsRuleMs, nullptr);
    return 0;
}

// WM_PAINT: the background, then every widget in full through its own DC.
LRESULT on_paint(HWND window)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    BitBlt(dc, 0, 0, ClientWidth, ClientHeight, backgroundDC, 0, 0, SRCCOPY);
    EndPaint(window, &paint);
    redraw_all();
    return 0;
}

// WM_MOVE: the RDS text window stays glued to the right edge.
LRESULT on_move()
{
    follow_main_window();
    return 0;
}

LRESULT on_destroy()
{
    stationScan.Abort(); // while the skins are there: its end redraws the scale
    delete_skin_contexts();
    shutdown_card_and_save();
    PostQuitMessage(0);
    return 0;
}

// The session ends: Windows may end the process without destroying the
// window, so the card is closed and the settings saved now.
LRESULT on_end_session(WPARAM ending)
{
    if (ending)
        shutdown_card_and_save();
    return 0;
}
