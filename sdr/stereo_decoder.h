// The stereo decoder's demodulation: the multiplex as it is (the sum of the
// channels, M) beside the multiplex times the 38 kHz carrier from twice the
// pilot loop's phase (their difference, S), as pairs for the audio filter, so
// both go through the same taps with the same delay. S is raised by the
// discriminator's droop at 38 kHz (a one-sample phase difference averages
// the frequency over a sample: sinc(38/240), 4 %), which would otherwise
// cost the separation.
#pragma once

#include <cstddef>
#include <cstdint>

#include "phase_table.h"

namespace sdr {

class StereoDecoder {
public:
    StereoDecoder(const PhaseTable &table, double sampleRate);
    virtual ~StereoDecoder() = default;

    // `count` samples and their pilot phases into `count` (M, S) pairs.
    void Run(const float *mpx, const uint32_t *phase, size_t count, float *pairs) const;

private:
    const PhaseTable &table;
    float gain;
};

} // namespace sdr
