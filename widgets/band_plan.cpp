#include "band_plan.h"

bool band_of(uint32_t radioSystem, Band &band)
{
    switch (radioSystem) {
    case RadioSystemUsa:
        band = {880, 1080};
        return true;
    case RadioSystemEurope:
        band = {875, 1080};
        return true;
    case RadioSystemJapan:
        band = {760, 910};
        return true;
    default:
        return false;
    }
}
