#include "station_scan.h"

#include "control_state.h"
#include "radio_controls.h"
#include "station_search.h"
#include "timers.h"
#include "tuner_device.h"
#include "tuner_protocol.h"

StationScan::StationScan() : running(false), band{0, 0}, startFrequency(0), lastStop(0), found(0), stations{} {}

bool StationScan::Start(const Band &scanBand)
{
    if (running || !tunerDevice.IsOpen() || !tuningScale.IsEnabled())
        return false;
    if (search_running())
        abort_search();
    running = true;
    band = scanBand;
    startFrequency = tuningScale.GetValue();
    lastStop = band.low;
    found = 0;
    // Muted before the card moves: the jump to the edge is not heard either.
    tunerDevice.set_mute(1);
    tunerDevice.set_frequency(band.low);
    Step(TuneDirection::Up);
    return true;
}

void StationScan::Tick()
{
    if (!running)
        return;
    // Between stations the card names the way on; after a station, upward.
    Step(tunerDevice.searchContinues == TUNER_SEEK_CONTINUE_DOWN ? TuneDirection::Down : TuneDirection::Up);
}

void StationScan::Step(TuneDirection direction)
{
    if (!tunerDevice.IsOpen()) {
        Abort(); // the card went: its answers would be no stations
        return;
    }
    int32_t reached = seek_and_show(direction);
    reached = reached < band.low ? band.low : reached > band.high ? band.high : reached;
    if (search_running()) {
        schedule_next_step(ScanTimer);
        return;
    }
    // The card stopped: on a station, or on the upper edge having found none.
    // A stop that is no further than the last one means the card went no
    // further either.
    if (reached >= band.high || reached <= lastStop) {
        Finish();
        return;
    }
    stations[found++] = reached;
    lastStop = reached;
    if (found == MaxStations) {
        Finish();
        return;
    }
    schedule_next_step(ScanTimer);
}

void StationScan::Stop()
{
    running = false;
    tunerDevice.searchContinues = TUNER_SEEK_DONE;
    KillTimer(mainWindow, ScanTimer);
}

void StationScan::Finish()
{
    Stop();
    // A failed seek answers "stopped where the card was": stations found by
    // a card that has gone meanwhile are none.
    if (tunerDevice.poll_card() != 1) {
        EndAt(startFrequency);
        return;
    }
    // Recorded in rising order, each above the one before.
    unsigned index = 0;
    for (unsigned group = 1; group <= PresetBank::GroupCount; ++group)
        for (unsigned slot = 1; slot <= PresetBank::SlotCount; ++slot, ++index)
            presetBank.SetPreset(group, slot, index < found ? stations[index] : 0);
    presetBank.DrawLabels(0);
    EndAt(found > 0 ? stations[0] : startFrequency);
}

void StationScan::Abort()
{
    if (!running)
        return;
    Stop();
    EndAt(startFrequency);
}

void StationScan::EndAt(int32_t frequency)
{
    tuningScale.SetValue(frequency, 0); // its change tunes the card, now that no run is on
    sound_back();
}
