// The station scan: fills the presets with the stations of the band. From
// the band's lower edge upward it runs the station search's seek steps, at
// the search's pace and following the card's continue word, muted, with the
// read-out following each answer, and records every station a search would
// stop on. It ends at the upper edge (a card that finds nothing stops there,
// so a stop on the edge itself is no station) or once every preset has a
// station. Then the stations, in frequency order, replace all presets (group
// 1 slots 1-6, then groups 2 and 3; the slots left over are emptied) and the
// radio tunes to the first of them. Ended early (a key, a click, the card
// gone), it changes no preset and tunes back to where it was.
#pragma once

#include <cstdint>

#include "band_plan.h"
#include "preset_bank.h"
#include "tune_buttons.h"

class StationScan {
public:
    static constexpr unsigned MaxStations = PresetBank::GroupCount * PresetBank::SlotCount;

    StationScan();
    StationScan(const StationScan &) = delete;
    StationScan &operator=(const StationScan &) = delete;
    virtual ~StationScan() = default;

    // Scans `band`, starting with its first step at once (a running station
    // search ends first). False, with nothing done, while no card answers or
    // a scan already runs.
    bool Start(const Band &band);
    // The scan timer's tick: the next step.
    void Tick();
    // Ends a running scan with the presets unchanged, tuned back to where it
    // started, the sound back unless the user muted it.
    void Abort();
    bool Running() const { return running; }

private:
    void Step(TuneDirection direction);
    void Stop();
    void Finish();
    // Tunes to `frequency` once and turns the sound back on.
    void EndAt(int32_t frequency);

    bool running;
    Band band;
    int32_t startFrequency; // where the radio was tuned before the scan
    int32_t lastStop;       // the last station recorded, or the lower edge
    unsigned found;
    int32_t stations[MaxStations];
};

// The radio program's one scan, defined with its other static objects.
extern StationScan stationScan;
