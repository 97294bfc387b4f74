// How quiet the discriminator is: the power of its output between about 70
// and 100 kHz, where the multiplex carries nothing and only noise is left
// (rising with the frequency, and with every drop of the carrier to noise).
// Stated in dB so that, above FM's threshold, it reads about the carrier to
// noise ratio in 200 kHz; a second of noise alone reads near 0. A band-pass
// FIR evaluated at every eighth sample, averaged over 20 ms and smoothed
// over about 100 ms. It drives the stereo blend and can confirm a search.
#pragma once

#include <cstddef>

#include "simd_dot.h"

namespace sdr {

class QuietingMeter {
public:
    explicit QuietingMeter(double sampleRate);
    virtual ~QuietingMeter();
    QuietingMeter(const QuietingMeter &) = delete;
    QuietingMeter &operator=(const QuietingMeter &) = delete;

    void Reset();
    // The multiplex, any count.
    void Run(const float *mpx, size_t count);
    // 0 until the first 20 ms are in.
    float Db() const { return db; }

private:
    static constexpr size_t Capacity = 512; // samples taken per pass

    size_t length;
    AlignedFloats taps;
    double reference; // the measured power that a carrier to noise ratio of 1 would give
    float *history;
    size_t held;
    size_t skip;      // samples until the next evaluation
    double sum;       // of squares over the current window
    int evaluations;  // in the current window
    double smoothed;  // power; negative before the first window
    float db;
};

} // namespace sdr
