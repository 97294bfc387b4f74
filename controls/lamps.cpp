#include "lamps.h"

#include "control_state.h"
#include "radio_controls.h"
#include "tuner_device.h"

void stereo_lamp_rule()
{
    if (monoMode == MonoForced || tunerDevice.poll_card() != 1 || tunerDevice.is_stereo() != 1) {
        stereoIndicator.SetOn(0);
        return;
    }
    if (monoMode != StereoAllowed)
        return;
    if (muted == 0)
        stereoIndicator.SetOn(1);
    else if (muted == 1)
        stereoIndicator.SetOn(0);
}

bool rds_button_rule()
{
    const bool present = tunerDevice.rds_present();
    rdsButton.SetOn(present ? 1 : 0);
    rdsButton.enabled = present ? 1 : 0;
    return present;
}
