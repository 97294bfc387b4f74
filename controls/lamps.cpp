#include "lamps.h"

#include "radio_controls.h"
#include "radio_state.h"
#include "settings.h"
#include "tuner_device.h"

void stereo_lamp_rule()
{
    if (settings.AudioOutputType == MonoForced || tunerDevice.poll_card() != 1 || tunerDevice.is_stereo() != 1) {
        stereoIndicator.SetOn(0);
        return;
    }
    if (settings.AudioOutputType != StereoAllowed)
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
