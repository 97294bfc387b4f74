#include "option_menu.h"

#include "band_plan.h"
#include "radio_state.h"
#include "resource.h"
#include "settings.h"
#include "sleep_timer.h"
#include "station_scan.h"
#include "tuner_device.h"

namespace {

// The question counts the presets (IDS_SCAN_QUESTION).
static_assert(StationScan::MaxStations == 18, "the question counts the presets");

// The "Sleep" items in menu order, each with its minutes (0: off).
struct SleepChoice {
    WORD command;
    unsigned minutes;
};
constexpr SleepChoice SleepChoices[] = {
    {IDM_SLEEP_OFF, 0}, {IDM_SLEEP_15, 15}, {IDM_SLEEP_30, 30}, {IDM_SLEEP_60, 60}, {IDM_SLEEP_90, 90},
};
constexpr unsigned SleepChoiceCount = sizeof(SleepChoices) / sizeof(SleepChoices[0]);

void scan_for_stations()
{
    char caption[32];
    char question[128];
    LoadStringA(appInstance, IDS_SCAN_CAPTION, caption, sizeof(caption));
    LoadStringA(appInstance, IDS_SCAN_QUESTION, question, sizeof(question));
    if (MessageBoxA(mainWindow, question, caption, MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    Band band = {};
    if (band_of(static_cast<uint32_t>(settings.RadioSystem), band))
        stationScan.Start(band); // does nothing if the card went while the question was open
}

} // namespace

void prepare_option_menu(HMENU options)
{
    EnableMenuItem(options, IDM_SCAN_STATIONS, MF_BYCOMMAND | (tunerDevice.IsOpen() ? MF_ENABLED : MF_GRAYED));
    WORD chosen = IDM_SLEEP_OFF;
    for (const SleepChoice &choice : SleepChoices)
        if (choice.minutes == sleepTimer.Chosen())
            chosen = choice.command;
    // The submenu holding the sleep items: the popup's only one.
    const int count = GetMenuItemCount(options);
    for (int position = 0; position < count; ++position)
        if (HMENU submenu = GetSubMenu(options, position))
            CheckMenuRadioItem(submenu, SleepChoices[0].command, SleepChoices[SleepChoiceCount - 1].command,
                               chosen, MF_BYCOMMAND);
}

bool run_option_command(WORD command)
{
    if (command == IDM_SCAN_STATIONS) {
        scan_for_stations();
        return true;
    }
    for (const SleepChoice &choice : SleepChoices)
        if (choice.command == command) {
            sleepTimer.Choose(choice.minutes);
            return true;
        }
    return false;
}
