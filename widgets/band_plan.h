// The band plans the radio can tune, chosen by the RadioSystem setting:
// 1 USA, 2 Europe, 3 Japan. A stored 0 counts as USA. The window, the
// Settings dialog and the preset labels all take their limits from here.
#pragma once

#include <cstdint>

struct Band {
    int low;  // Frequency, 0.1 MHz units
    int high;
};

enum RadioSystemId : uint32_t {
    RadioSystemUsa = 1,
    RadioSystemEurope = 2,
    RadioSystemJapan = 3,
};

// The limits of `radioSystem` (read as unsigned); false for anything but 1-3.
bool band_of(uint32_t radioSystem, Band &band);
