// A decimating FIR filter on interleaved pairs of floats: the I/Q channel
// (1.2 MS/s to 240 kS/s), or the sum and difference of the stereo channels
// (240 kS/s to 48 kHz), so that both parts of a pair go through exactly the
// same taps. Only the kept outputs are computed. Input of any count: the
// history and the decimation's phase carry over from one run to the next.
// Allocates once, in the constructor.
#pragma once

#include <cstddef>

#include "simd_dot.h"

namespace sdr {

class PairDecimator {
public:
    // `count` taps (copied), keeping one output in `decimation`; at most
    // `maxInput` pairs per run.
    PairDecimator(const float *taps, size_t count, size_t decimation, size_t maxInput);
    virtual ~PairDecimator();
    PairDecimator(const PairDecimator &) = delete;
    PairDecimator &operator=(const PairDecimator &) = delete;

    // Clears the history: the next output is the first input's.
    void Reset();
    // Where the next run's input pairs go (room for `maxInput`).
    float *Input() { return buffer + 2 * held; }
    // Filters `pairs` pairs written at Input(); returns the output pairs written to `out`.
    size_t Run(size_t pairs, float *out);

private:
    size_t length; // taps, padded at the front with zeros to whole dot steps
    size_t decimation;
    AlignedFloats taps; // each tap twice, oldest sample's first
    float *buffer;
    size_t held;  // pairs in the buffer
    size_t start; // the first pair of the next output's window
};

} // namespace sdr
