#include "band_rules.h"

namespace sdr {

namespace {

const BandRules Rules[] = {
    {875, 1080, 50e-6f}, // Europe
    {760, 910, 50e-6f},  // Japan
    {880, 1080, 75e-6f}, // USA
};

} // namespace

const BandRules &band_rules(Region region)
{
    return Rules[static_cast<unsigned>(region) < 3 ? static_cast<unsigned>(region) : 0];
}

} // namespace sdr
