// The band plans as the listener reads them, shared by the About box (its
// "Radio System" line) and the Settings dialog's list, which offers them in
// RadioSystem order.
#pragma once

#include <cstdint>

// "USA (88-108 MHz)", "Europe (87.5-108 MHz)", "Japan (76-91 MHz)" for
// RadioSystem 1-3; null for any other value.
const char *band_name(uint32_t radioSystem);
