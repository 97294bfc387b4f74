// The chain's audio low-pass, symmetric (linear phase: every frequency is
// delayed alike), designed offline as an equiripple filter by Lawson's
// method: least squares whose weights are raised where the error is largest
// until the ripples are even, the stopband weighted 10 times the passband.
// A Kaiser window needs 40 % more taps for the same figures. (The channel
// filter, which must be steep more than flat, is a Kaiser design made with
// the chain.)
#pragma once

#include <cstddef>

namespace sdr {

struct SymmetricTaps {
    static constexpr size_t MaxCount = 160;
    const float *firstHalf; // the middle tap last (an even count has two)
    size_t count;
    // All `count` taps into `taps`.
    void Expand(float *taps) const;
};

// 240 kS/s, before the step to 48 kHz, the same for the sum and the
// difference: 160 taps, flat to 15 kHz within +-0.08 dB, 61 dB down from
// 19 kHz (the pilot, and all that would fold into the audio band).
extern const SymmetricTaps AudioLowPass;

} // namespace sdr
