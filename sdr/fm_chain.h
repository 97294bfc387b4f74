// Wideband FM with stereo, from the dongle's bytes to 48 kHz sound: the
// quarter-rate shift that brings the station (300 kHz off the dongle's
// centre) to zero, one decimating channel filter to 240 kS/s, the phase
// difference discriminator, the 19 kHz pilot loop (giving 38 kHz for
// stereo and 57 kHz for RDS), the stereo matrix, the stereo blend, the
// de-emphasis after the matrix, and the step down to 48 kHz.
// No allocation: every buffer is a member, sized for MaxBlockPairs.
#pragma once

#include <cstddef>
#include <cstdint>

#include "mpx_listener.h"

namespace sdr {

struct ChainSettings {
    // +1: the dongle's centre lies 300 kHz above the station; -1: below it.
    int stationSide = +1;
    float deemphasisSeconds = 50e-6f;
    bool forcedMono = false;
    bool blend = true; // "stereo noise cancelling": the stereo part fades with the signal's quality
};

class FmChain {
public:
    static constexpr size_t MaxBlockPairs = 12000; // 10 ms at 1.2 MS/s

    FmChain();
    virtual ~FmChain();

    void Configure(const ChainSettings &settings);
    // After a retune or a gap in the stream: loops, filters and the stereo state start afresh.
    void Reset();
    void SetMpxListener(MpxListener *listener);

    // Unsigned 8-bit I/Q pairs in, any count; interleaved stereo float
    // frames (+-1.0 full scale) out, at most maxFrames. Returns the frames written
    // (pairs / 25 on average).
    size_t Process(const uint8_t *iq, size_t pairs, float *stereo, size_t maxFrames);

    // Pilot locked for a moment, with hysteresis: what the stereo lamp shows.
    bool Stereo() const;
    // How much of the stereo part is heard now, 0..1 (the blend; 0 in mono).
    float StereoShare() const;
    // The signal's quality from the discriminator's noise above the multiplex, in dB (higher is cleaner).
    float QuietingDb() const;

private:
    struct State;
    State *state; // allocated once by the constructor
};

} // namespace sdr
