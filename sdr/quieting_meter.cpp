#include "quieting_meter.h"

#include <cmath>
#include <cstring>

#include "angles.h"
#include "fir_design.h"
#include "sdr_rates.h"

namespace sdr {

namespace {

constexpr size_t Taps = 56;
constexpr double Beta = 5.0;   // about 55 dB: the multiplex below 55 kHz is far stronger than the noise
constexpr double LowHz = 62500;  // the edges' middles; each transition is about 15 kHz wide
constexpr double HighHz = 105000;
constexpr size_t Stride = 8;
constexpr int WindowEvaluations = 600; // 20 ms at 240 kS/s
constexpr double Smoothing = 0.2;      // per window
constexpr double NoiseBandwidthHz = 200000;

} // namespace

QuietingMeter::QuietingMeter(double sampleRate)
    : length(dot_floats(Taps)), taps(length), reference(0), history(new float[length - 1 + Capacity]), held(0),
      skip(0), sum(0), evaluations(0), smoothed(-1), db(0)
{
    // A band-pass as the difference of two low-passes with the same window.
    float low[Taps], high[Taps];
    design_low_pass(low, Taps, LowHz / sampleRate, Beta);
    design_low_pass(high, Taps, HighHz / sampleRate, Beta);
    float *t = taps.Data() + (length - Taps);
    for (size_t i = 0; i < Taps; ++i)
        t[i] = high[i] - low[i];

    // White noise at the carrier gives the discriminator a frequency noise
    // of f^2 N0/C per hertz; the discriminator itself averages over a sample.
    const int steps = 2000;
    double integral = 0;
    for (int k = 0; k < steps; ++k) {
        const double f = (k + 0.5) * sampleRate / 2 / steps;
        const double x = Pi * f / sampleRate;
        const double droop = std::sin(x) / x;
        const double gain = fir_gain(t, Taps, f / sampleRate) * droop;
        integral += gain * gain * f * f * (sampleRate / 2 / steps);
    }
    reference = integral / (FmDeviationHz * FmDeviationHz) / NoiseBandwidthHz;
    Reset();
}

QuietingMeter::~QuietingMeter()
{
    delete[] history;
}

void QuietingMeter::Reset()
{
    held = length - 1;
    std::memset(history, 0, held * sizeof(float));
    skip = 0;
    sum = 0;
    evaluations = 0;
    smoothed = -1;
    db = 0;
}

void QuietingMeter::Run(const float *mpx, size_t count)
{
    while (count > 0) {
        const size_t take = count < Capacity ? count : Capacity;
        std::memcpy(history + held, mpx, take * sizeof(float));
        held += take;
        mpx += take;
        count -= take;
        // Window ends at `at`: the newest sample of each evaluation.
        size_t at = length - 1 + skip;
        for (; at < held; at += Stride) {
            float lanes[4];
            _mm_storeu_ps(lanes, dot_lanes(history + at + 1 - length, taps.Data(), length));
            const double y = (lanes[0] + lanes[1]) + (lanes[2] + lanes[3]);
            sum += y * y;
            if (++evaluations == WindowEvaluations) {
                const double power = sum / evaluations + 1e-30;
                smoothed = smoothed < 0 ? power : smoothed + Smoothing * (power - smoothed);
                db = static_cast<float>(10 * std::log10(reference / smoothed));
                sum = 0;
                evaluations = 0;
            }
        }
        skip = at - held;
        std::memmove(history, history + held - (length - 1), (length - 1) * sizeof(float));
        held = length - 1;
    }
}

} // namespace sdr
