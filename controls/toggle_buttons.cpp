#include "toggle_buttons.h"

#include "control_state.h"
#include "radio_controls.h"

void apply_auto_search(int on)
{
    const int repeat = on ? 0 : 1;
    tuneUpButton.repeatEnabled = repeat;
    tuneDownButton.repeatEnabled = repeat;
}

void AutoSearchButton::OnClick()
{
    apply_auto_search(IsOn()); // nothing reaches the card
}

void MonoButton::OnClick()
{
    monoMode = IsOn() ? MonoForced : StereoAllowed;
    tunerDevice.set_mono(monoMode);
}

void MuteButton::OnClick()
{
    const int on = IsOn();
    tunerDevice.set_mute(static_cast<uint32_t>(on));
    muteIndicator.SetOn(on);
    muted = on;
}

void CardOpenedMuteReset::OnTunerOpened()
{
    muteButton.SetOn(0);
    muteIndicator.SetOn(0);
    // Left at 1, the stereo lamp would stay dark over an audible card until
    // the mute button had been clicked twice.
    muted = 0;
}
