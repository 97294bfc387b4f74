#include "sleep_timer.h"

#include "radio_controls.h"
#include "radio_state.h"
#include "timers.h"

namespace {

constexpr UINT MinuteMs = 60 * 1000;

} // namespace

SleepTimer::SleepTimer() : minutes(0), fading(false), preFadeVolume(0), fadeTicksLeft(0) {}

void SleepTimer::CancelFade()
{
    KillTimer(mainWindow, SleepCountdownTimer);
    KillTimer(mainWindow, SleepFadeTimer);
    if (fading)
        volumeSlider.SetValue(preFadeVolume, 0);
    fading = false;
}

void SleepTimer::Choose(unsigned chosenMinutes)
{
    CancelFade();
    minutes = chosenMinutes;
    if (minutes > 0)
        SetTimer(mainWindow, SleepCountdownTimer, minutes * MinuteMs - SleepFadeMs, nullptr);
}

void SleepTimer::OnSleepTick()
{
    // A tick left over from a timer since switched off or restarted does nothing.
    if (minutes == 0 || fading)
        return;
    KillTimer(mainWindow, SleepCountdownTimer);
    fading = true;
    preFadeVolume = volumeSlider.GetValue();
    // One tick per volume step down to the slider's lowest, spread over the
    // fade; at least one, which ends it.
    const int32_t steps = preFadeVolume - VolumeSlider::Minimum;
    fadeTicksLeft = steps > 0 ? static_cast<unsigned>(steps) : 1;
    SetTimer(mainWindow, SleepFadeTimer, SleepFadeMs / fadeTicksLeft, nullptr);
}

void SleepTimer::OnFadeTick()
{
    if (!fading)
        return;
    if (volumeSlider.GetValue() > VolumeSlider::Minimum)
        volumeSlider.StepDown();
    if (--fadeTicksLeft > 0)
        return;
    KillTimer(mainWindow, SleepFadeTimer);
    powerButton.OnClick(); // the power button's own way out: card off, settings saved
}
