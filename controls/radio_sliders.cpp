#include "radio_sliders.h"

#include "radio_controls.h"
#include "station_scan.h"
#include "station_search.h"
#include "tuner_device.h"

void TuningScale::OnChange()
{
    if (!search_running() && !stationScan.Running())
        tunerDevice.set_frequency(GetValue());
    frequencyDisplay.SetValue(GetValue(), 1);
}

void VolumeSlider::OnChange()
{
    tunerDevice.set_volume(GetValue());
}
