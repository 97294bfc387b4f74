#include "fft.h"

#include <cmath>
#include <utility>

#include "angles.h"

namespace sdr {

Fft::Fft() : reversed{}, twiddleRe{}, twiddleIm{}
{
    for (size_t n = 0; n < Size; ++n) {
        size_t r = 0;
        for (unsigned b = 0; b < Bits; ++b)
            r |= ((n >> b) & 1u) << (Bits - 1 - b);
        reversed[n] = static_cast<uint16_t>(r);
    }
    for (size_t half = 1; half < Size; half *= 2)
        for (size_t j = 0; j < half; ++j) {
            const double angle = -Pi * static_cast<double>(j) / static_cast<double>(half);
            twiddleRe[half - 1 + j] = static_cast<float>(std::cos(angle));
            twiddleIm[half - 1 + j] = static_cast<float>(std::sin(angle));
        }
}

void Fft::Forward(float *re, float *im) const
{
    for (size_t n = 0; n < Size; ++n) {
        const size_t r = reversed[n];
        if (r > n) {
            std::swap(re[n], re[r]);
            std::swap(im[n], im[r]);
        }
    }
    // The first stage needs no multiplication.
    for (size_t i = 0; i < Size; i += 2) {
        const float ar = re[i], ai = im[i];
        re[i] = ar + re[i + 1];
        im[i] = ai + im[i + 1];
        re[i + 1] = ar - re[i + 1];
        im[i + 1] = ai - im[i + 1];
    }
    for (size_t half = 2; half < Size; half *= 2) {
        const float *wr = twiddleRe + half - 1;
        const float *wi = twiddleIm + half - 1;
        for (size_t block = 0; block < Size; block += 2 * half) {
            float *ar = re + block, *ai = im + block;
            float *br = ar + half, *bi = ai + half;
            for (size_t j = 0; j < half; ++j) {
                const float tr = br[j] * wr[j] - bi[j] * wi[j];
                const float ti = br[j] * wi[j] + bi[j] * wr[j];
                br[j] = ar[j] - tr;
                bi[j] = ai[j] - ti;
                ar[j] += tr;
                ai[j] += ti;
            }
        }
    }
}

} // namespace sdr
