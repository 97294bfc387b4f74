#include "fir_design.h"

#include <cmath>

#include "angles.h"

namespace sdr {

namespace {

// The modified Bessel function of the first kind, order 0, by its series.
double bessel_i0(double x)
{
    double sum = 1, term = 1;
    for (int k = 1; k < 60 && term > sum * 1e-17; ++k) {
        term *= (x / (2 * k)) * (x / (2 * k));
        sum += term;
    }
    return sum;
}

} // namespace

void design_low_pass(float *taps, size_t count, double cutoff, double beta)
{
    const double middle = (static_cast<double>(count) - 1) / 2;
    const double norm = bessel_i0(beta);
    auto tap = [&](size_t i) {
        const double m = static_cast<double>(i) - middle;
        const double sinc = m == 0 ? 2 * cutoff : std::sin(2 * Pi * cutoff * m) / (Pi * m);
        const double r = middle > 0 ? m / middle : 0;
        return sinc * bessel_i0(beta * std::sqrt(std::fmax(0.0, 1 - r * r))) / norm;
    };
    double sum = 0;
    for (size_t i = 0; i < count; ++i)
        sum += tap(i);
    for (size_t i = 0; i < count; ++i)
        taps[i] = static_cast<float>(tap(i) / sum);
}

double fir_gain(const float *taps, size_t count, double frequency)
{
    double re = 0, im = 0;
    for (size_t i = 0; i < count; ++i) {
        re += taps[i] * std::cos(2 * Pi * frequency * static_cast<double>(i));
        im -= taps[i] * std::sin(2 * Pi * frequency * static_cast<double>(i));
    }
    return std::hypot(re, im);
}

} // namespace sdr
