#include "station_search.h"

#include "control_state.h"
#include "radio_controls.h"
#include "timers.h"
#include "tuner_device.h"
#include "tuner_protocol.h"

namespace {

// The search is over: neither tune button stays pressed, and no capture,
// hold or repeat outlives it. Every step took the capture with its press, and
// the release that would end them was swallowed while the search ran. While
// the left button is still down they stay: its release, which the capture
// brings to the window, ends them.
void release_tune_buttons()
{
    BitmapButton *const tuneButtons[] = {&tuneUpButton, &tuneDownButton};
    for (BitmapButton *button : tuneButtons) {
        button->state = BitmapButton::Up;
        button->Draw();
    }
    if (GetKeyState(VK_LBUTTON) < 0)
        return;
    if (GetCapture() == mainWindow)
        ReleaseCapture();
    KillTimer(mainWindow, HoldTimer);
    KillTimer(mainWindow, RepeatTimer);
}

} // namespace

bool search_running()
{
    return tunerDevice.searchContinues != TUNER_SEEK_DONE;
}

int32_t seek_and_show(TuneDirection direction)
{
    tunerDevice.set_mute(1);
    const int32_t reached = direction == TuneDirection::Up ? tunerDevice.seek_up() : tunerDevice.seek_down();
    // The scale clamps the answer into the band; its change notification
    // shows it, and tunes the card only once the run has ended.
    tuningScale.SetValue(reached, 0);
    return reached;
}

void sound_back()
{
    if (!muteButton.IsOn())
        tunerDevice.set_mute(0);
}

void schedule_next_step(UINT_PTR timer)
{
    SetTimer(mainWindow, timer, SearchStepMs, nullptr);
}

void search_step(BitmapButton &button, TuneDirection direction)
{
    button.Draw(); // pressed when reached by a press or the timer, up when by an arrow key
    seek_and_show(direction);
    if (search_running()) {
        schedule_next_step(SearchTimer);
        return;
    }
    KillTimer(mainWindow, SearchTimer);
    release_tune_buttons();
    sound_back();
}

void search_tick()
{
    // The simulated press runs the button's OnPress: the next step.
    if (tunerDevice.searchContinues == TUNER_SEEK_CONTINUE_UP)
        tuneUpButton.SimulateEvent(EventDown);
    else if (tunerDevice.searchContinues == TUNER_SEEK_CONTINUE_DOWN)
        tuneDownButton.SimulateEvent(EventDown);
}

void abort_search()
{
    tunerDevice.searchContinues = TUNER_SEEK_DONE;
    release_tune_buttons();
    sound_back();
    KillTimer(mainWindow, SearchTimer);
}
