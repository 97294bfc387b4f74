// The chain's two low-pass filters, both symmetric (linear phase: every
// frequency is delayed alike), designed offline as equiripple filters by
// Lawson's method: least squares whose weights are raised where the error
// is largest until the ripples are even. The audio filter's stopband is
// weighted 10 times its passband, the channel filter's only twice: a
// ripple across the channel acts as echoes of the signal, which distort FM
// and cost separation, so it must be very flat. A Kaiser window needs 15
// and 40 % more taps for the same figures; these filters are most of the
// chain's work.
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

// 1.2 MS/s, before the step to 240 kS/s: 112 taps, flat to 105 kHz within
// +-0.015 dB (a station's sidebands reach past 100 kHz at full deviation,
// and cutting them costs separation), 61 dB down from 140 kHz, where the
// neighbours 200 kHz away start to fold into the channel.
extern const SymmetricTaps ChannelLowPass;
// 240 kS/s, before the step to 48 kHz, the same for the sum and the
// difference: 160 taps, flat to 15 kHz within +-0.08 dB, 61 dB down from
// 19 kHz (the pilot, and all that would fold into the audio band).
extern const SymmetricTaps AudioLowPass;

} // namespace sdr
