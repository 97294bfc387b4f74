// The 19 kHz pilot loop: an oscillator from a table, a phase detector that
// mixes the multiplex down and sums it over a millisecond (the double
// frequency cancels in whole cycles), and a second-order loop (10 Hz
// natural frequency, critically damped) updated once per millisecond, so
// the per-sample work is a table look-up and two multiply-adds. It pulls in
// a pilot several hertz off; without a pilot it runs on at 19 kHz. Each
// sample's phase (2^32 a turn, a locked pilot is cos(phase)) goes to the
// stereo decoder and to RDS. The stereo lamp watches its level.
#pragma once

#include <cstddef>
#include <cstdint>

#include "phase_table.h"
#include "stereo_indicator.h"

namespace sdr {

class PilotLoop {
public:
    PilotLoop(const PhaseTable &table, double sampleRate);
    virtual ~PilotLoop() = default;

    void Reset();
    // Follows the pilot through `count` samples of the multiplex, writing each one's phase.
    void Run(const float *mpx, size_t count, uint32_t *phase);

    bool Stereo() const { return indicator.Stereo(); }
    // The pilot's level (1.0 = 75 kHz deviation) and the loop's frequency offset from 19 kHz.
    float Level() const;
    float OffsetHz() const { return offsetHz; }

private:
    void Update();

    const PhaseTable &table;
    double rate;
    int updateSamples;
    uint32_t nominalStep;
    uint32_t phase;
    uint32_t step;
    float offsetHz;
    float sumInPhase, sumQuadrature; // over the current update
    int left;                        // samples until the next update
    float inPhase, quadrature;       // smoothed over updates
    StereoIndicator indicator;
};

} // namespace sdr
