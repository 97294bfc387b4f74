// What differs between the broadcast regions, in one table: the band's
// edges and the de-emphasis. The Americas (and South Korea) use 75 us,
// Europe and Japan 50 us. Frequencies in 0.1 MHz, as everywhere in the radio.
#pragma once

#include <cstdint>

namespace sdr {

enum class Region : uint8_t { Europe, Japan, Usa };

struct BandRules {
    int32_t low;  // lowest frequency, 0.1 MHz
    int32_t high; // highest frequency, 0.1 MHz
    float deemphasisSeconds;
};

const BandRules &band_rules(Region region);

// Every station frequency the search looks at is on this raster: 100 kHz
// everywhere, so odd and even American channels alike.
constexpr int32_t SearchRaster = 1;

} // namespace sdr
