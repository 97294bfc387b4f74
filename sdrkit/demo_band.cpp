#include "demo_band.h"

#include <cstdio>

namespace sdrkit {

const DemoStation DemoStations[6] = {
    {88500000, 35, true, true, 0xD201, 10, "AURORA", "Aurora 88.5 - pop around the clock", 440, 660},
    {91300000, 30, true, true, 0xD202, 14, "CLASSIC", "Classic 91.3: J. S. Bach, Goldberg Variations", 523, 784},
    {95800000, 30, false, true, 0xD203, 1, "NEWS 958", "News on the hour, every hour", 1000, 1000},
    {98300000, 40, true, true, 0xD204, 10, "TAVOLIN", "Tavolin FM 98.3 - the demonstration band", 330, 990},
    {101700000, 30, true, false, 0, 0, "", "", 700, 350},
    {104900000, 12, true, true, 0xD205, 15, "FARAWAY", "Faraway 104.9 - heard only at the edge", 600, 900},
};

StationSpec demo_spec(const DemoStation &station)
{
    StationSpec spec;
    spec.frequencyHz = station.frequencyHz;
    spec.left.toneHz = station.leftHz;
    spec.left.amplitude = 0.3f;
    spec.right.toneHz = station.rightHz;
    spec.right.amplitude = 0.3f;
    spec.stereo = station.stereo;
    spec.preemphasisSeconds = 50e-6f;
    spec.cnrDb = station.cnrDb;
    spec.rds = station.rds;
    if (station.rds) {
        spec.programme.pi = station.pi;
        spec.programme.pty = station.pty;
        std::snprintf(spec.programme.name, sizeof spec.programme.name, "%-8s", station.name);
        std::snprintf(spec.programme.radioText, sizeof spec.programme.radioText, "%s", station.text);
    }
    return spec;
}

void add_demo_stations(BandGenerator &band)
{
    for (const DemoStation &station : DemoStations)
        band.AddStation(demo_spec(station));
}

} // namespace sdrkit
