#include "band_names.h"

#include "band_plan.h"

const char *band_name(uint32_t radioSystem)
{
    switch (radioSystem) {
    case RadioSystemUsa:
        return "USA (88-108 MHz)";
    case RadioSystemEurope:
        return "Europe (87.5-108 MHz)";
    case RadioSystemJapan:
        return "Japan (76-91 MHz)";
    default:
        return nullptr;
    }
}
