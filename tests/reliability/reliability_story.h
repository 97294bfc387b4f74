// What every reliability story checks at its end: the radio still answers,
// closes as the user would with exit code 0, and leaves settings a next run
// can use.
#pragma once

#include "radio_story.h"

namespace reliability_test {

// The window still handles messages, then closes with exit code 0; the
// stored frequency lies in the USA band and the volume in its range.
void ExpectOrderlyEnd(radio_test::RadioStory &story, testing::RadioProgram &radio);

// Preset slot `slot` (1..18) as stored, or -1 when the value is missing.
int32_t StoredPreset(const testing::RadioSettings &settings, int slot);

} // namespace reliability_test
