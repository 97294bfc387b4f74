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
    FmChain(const FmChain &) = delete;
    FmChain &operator=(const FmChain &) = delete;

    // All but the figures below on one thread, the one that calls Process.
    // Takes effect at once; a new station side comes with a retune, so with a Reset.
    void Configure(const ChainSettings &settings);
    // After a retune or a gap in the stream: loops, filters and the stereo state start afresh.
    void Reset();
    void SetMpxListener(MpxListener *listener);

    // Unsigned 8-bit I/Q pairs in, any count (the listener hears the
    // multiplex in blocks of up to MaxBlockPairs / 5); interleaved stereo
    // float frames out, at most maxFrames (more are dropped): 1.0 is 75 kHz of
    // deviation, so a fully modulated channel peaks at 0.9 beside its pilot.
    // Returns the frames written (pairs / 25 on average). How the input is
    // cut into calls changes nothing in the sound.
    size_t Process(const uint8_t *iq, size_t pairs, float *stereo, size_t maxFrames);

    // The figures below may be read from any thread; they change at the end of each Process.
    // Pilot locked for half a second, dropped after 0.3 s without it: what the
    // stereo lamp shows (in forced mono too).
    bool Stereo() const;
    // How much of the stereo part is heard now, 0..1 (the blend; 0 in mono).
    float StereoShare() const;
    // The signal's quality from the discriminator's noise above the
    // multiplex, in dB (higher is cleaner): above FM's threshold about the
    // carrier to noise ratio in 200 kHz, up to 33-36 dB for a clean station
    // at full modulation (47 unmodulated, the 8-bit samples' limit); near 0
    // on noise alone, and 0 until 20 ms after a reset.
    float QuietingDb() const;

private:
    struct State;
    State *state; // allocated once by the constructor
};

} // namespace sdr
