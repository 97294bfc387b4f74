// The two sliders of the radio window. The tuning scale holds the current
// frequency: every way of tuning ends in its value, and its change tunes the
// card and updates the read-out. The volume slider's change sets the card's
// volume.
#pragma once

#include "slider_control.h"

class TuningScale : public SliderControl {
public:
    ~TuningScale() override = default;
    // During a station search or scan the read-out follows the scale but the
    // card is left where the seek step put it.
    void OnChange() override;
};

class VolumeSlider : public SliderControl {
public:
    static constexpr int Minimum = 40;
    static constexpr int Maximum = 79;
    static constexpr int Initial = 71;

    ~VolumeSlider() override = default;
    void OnChange() override;
};
