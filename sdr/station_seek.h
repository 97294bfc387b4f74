// The station search, one step at a time as the radio asks for one (every
// 100 ms), from the spectrum's channel figures. Pure logic: the receiver's
// glue hands in the latest snapshot and tunes the dongle where the answer
// says; nothing here waits or keeps time.
//
// A search looks ahead: the dongle is tuned half a channel off the raster,
// so its DC spike falls between two channels, and each look decides the six
// channels next in the search's direction (those whose neighbours it also
// measures). A channel is a stop when its carrier-to-noise ratio reaches
// the level's threshold and it is a local maximum of the peak figure (a
// station's sidebands make its neighbours strong too). A stop is confirmed
// by a fresh look from the listening position (the station 300 kHz off the
// centre) before the search ends there. The scale moves steadily: never
// past the channels already decided, and by about as many channels a step
// as the looks decide.
#pragma once

#include <cstdint>

#include "band_rules.h"
#include "spectrum.h"

namespace sdr {

// The continue word of a search step, as the card's seek answers it.
enum SeekContinue : int32_t { SeekStopped = 0, SeekGoesUp = 1, SeekGoesDown = 2 };

class StationSeek {
public:
    static constexpr int32_t Levels = 4;
    // A look's centre lies this far beyond the last channel decided...
    static constexpr uint32_t LookOffsetHz = MeasuredHalfSpanHz;
    // ...and it decides these many channels: those within one channel of
    // its measured rim, so their neighbours are measured too.
    static constexpr int32_t LookChannels = static_cast<int32_t>(2 * (MeasuredHalfSpanHz - RasterHz) / RasterHz + 1);
    // A look that has not come after this many steps is asked for again
    // (the receiver may have dropped it), and the search gives up (stops
    // where it is) after GiveUpSteps: a lost link must not search forever.
    static constexpr int AskAgainSteps = 10;
    static constexpr int GiveUpSteps = 30;

    struct Request {
        int32_t direction; // > 0 upward, otherwise downward
        int32_t tuned;     // the frequency now tuned, 0.1 MHz
        int32_t level;     // 0..3: a higher level stops only on stronger stations
    };
    struct Answer {
        int32_t frequency; // to report, 0.1 MHz
        int32_t continues; // SeekContinue
        uint32_t centreHz; // where the dongle is wanted now
        // The look the centre is wanted for: a new serial asks for fresh
        // samples. The glue hands centre and serial to Spectrum::NewCentre
        // at the first sample taken there, and the snapshot comes back tagged.
        uint32_t serial;
        bool listening; // the centre is the listening position for `frequency`
    };

    // stationSide: +1 when the dongle listens from 300 kHz above the
    // station, -1 from below (ChainSettings::stationSide).
    explicit StationSeek(int stationSide = +1);
    virtual ~StationSeek() = default;

    // One step. A new search begins when none runs, when the direction
    // changes, or when `tuned` is not where the last step left the scale;
    // otherwise the running search goes on. `latest` is the receiver's
    // latest snapshot, copied out (any serial; others than the one awaited
    // are passed over).
    Answer Step(const Request &request, const BandRules &band, const SpectrumSnapshot &latest);
    // Forgets a search (one the radio abandoned).
    void Reset();

    // The carrier-to-noise ratio in 200 kHz a stop needs at each level, dB.
    static float ThresholdDb(int32_t level);

private:
    enum class Phase { Idle, Scanning, Confirming, Confirmed };

    void Begin(int32_t direction, int32_t tuned, const BandRules &band);
    void Look(uint32_t centreHz);
    void Decide(const SpectrumSnapshot &look);
    bool Stops(const SpectrumSnapshot &look, int32_t channel, bool bothSides) const;
    uint32_t ListeningCentre(int32_t frequency) const;
    int32_t Edge() const { return direction > 0 ? high : low; }
    Answer Finish(int32_t frequency);

    int stationSide;
    Phase phase;
    int32_t direction;
    int32_t low, high;
    int32_t level;
    int32_t shown;     // the frequency the last step reported
    int32_t frontier;  // every channel from the start through this one is no stop
    int32_t candidate; // the channel being confirmed
    bool waiting;      // for the look below
    uint32_t lookCentre;
    uint32_t lookSerial;
    uint32_t serials; // the last serial handed out
    int waited;       // steps since the look was asked for
    int stepsPerLook; // how long the last look took, to pace the scale
};

} // namespace sdr
