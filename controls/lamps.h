// The two lamps, lit only by other controls and the timers, and the rules
// that drive the lamps and the RDS button from the card.
#pragma once

#include "bitmap_button.h"

class MuteIndicator : public BitmapButton {
public:
    ~MuteIndicator() override = default;
};

class StereoIndicator : public BitmapButton {
public:
    ~StereoIndicator() override = default;
};

// Lit exactly while stereo is allowed, the card answers and reports stereo,
// and the sound is not muted. The card is not asked while mono is forced.
void stereo_lamp_rule();
// The RDS button is lit and clickable while the card receives RDS. Returns
// whether RDS is present.
bool rds_button_rule();
