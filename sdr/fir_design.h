// Low-pass taps designed when they are needed, for filters whose cost does
// not matter (the quieting meter's band-pass is two of them): a windowed
// sinc with a Kaiser window, whose one parameter trades the transition's
// width for the stopband's depth (beta 5 gives about 55 dB, Kaiser's rule).
#pragma once

#include <cstddef>

namespace sdr {

// `count` symmetric taps of a low-pass cutting at `cutoff` (cycles per
// sample, the middle of the transition), scaled to a gain of 1 at DC.
void design_low_pass(float *taps, size_t count, double cutoff, double beta);

// The gain of `count` taps at `frequency` (cycles per sample).
double fir_gain(const float *taps, size_t count, double frequency);

} // namespace sdr
