// The demonstration band: six stations, stereo ones with a name and
// RadioText, a mono one, one without RDS and a weak one. Served by
// rtl_tcp_band for the run command and the benchmarks, and heard by the
// receiver's own tests.
#pragma once

#include <cstddef>
#include <cstdint>

#include "signal_generator.h"

namespace sdrkit {

struct DemoStation {
    uint32_t frequencyHz;
    float cnrDb;
    bool stereo;
    bool rds;
    uint16_t pi;
    uint8_t pty;
    const char *name;
    const char *text;
    float leftHz, rightHz;
};

// At least 400 kHz apart, inside the European and American bands.
extern const DemoStation DemoStations[6];

StationSpec demo_spec(const DemoStation &station);
// Adds every demonstration station to the band.
void add_demo_stations(BandGenerator &band);

} // namespace sdrkit
