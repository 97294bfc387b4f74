#include "fm_discriminator.h"

#include <emmintrin.h>

#include <cmath>
#include <cstring>

#include "angles.h"
#include "sdr_rates.h"

namespace sdr {

namespace {

// atan(t) = t (c0 + c1 t^2 + c2 t^4 + c3 t^6 + c4 t^8) on [0, 1], a minimax fit.
constexpr float AtanC0 = 0.999866329f;
constexpr float AtanC1 = -0.330304771f;
constexpr float AtanC2 = 0.180159228f;
constexpr float AtanC3 = -0.0851562452f;
constexpr float AtanC4 = 0.0208450601f;

// The angle of (re, im), four at a time, in (-pi, pi]; (0, 0) gives 0.
__m128 angle(__m128 re, __m128 im)
{
    const __m128 signBit = _mm_set1_ps(-0.0f);
    const __m128 ax = _mm_andnot_ps(signBit, re);
    const __m128 ay = _mm_andnot_ps(signBit, im);
    const __m128 small = _mm_min_ps(ax, ay);
    const __m128 large = _mm_max_ps(_mm_max_ps(ax, ay), _mm_set1_ps(1e-30f));
    const __m128 t = _mm_div_ps(small, large);
    const __m128 t2 = _mm_mul_ps(t, t);
    __m128 p = _mm_set1_ps(AtanC4);
    p = _mm_add_ps(_mm_mul_ps(p, t2), _mm_set1_ps(AtanC3));
    p = _mm_add_ps(_mm_mul_ps(p, t2), _mm_set1_ps(AtanC2));
    p = _mm_add_ps(_mm_mul_ps(p, t2), _mm_set1_ps(AtanC1));
    p = _mm_add_ps(_mm_mul_ps(p, t2), _mm_set1_ps(AtanC0));
    __m128 a = _mm_mul_ps(p, t);
    // Above the diagonal: pi/2 - a. Left half: pi - a. Lower half: -a.
    const __m128 steep = _mm_cmpgt_ps(ay, ax);
    a = _mm_or_ps(_mm_and_ps(steep, _mm_sub_ps(_mm_set1_ps(static_cast<float>(Pi / 2)), a)), _mm_andnot_ps(steep, a));
    const __m128 left = _mm_cmplt_ps(re, _mm_setzero_ps());
    a = _mm_or_ps(_mm_and_ps(left, _mm_sub_ps(_mm_set1_ps(static_cast<float>(Pi)), a)), _mm_andnot_ps(left, a));
    return _mm_or_ps(a, _mm_and_ps(signBit, im));
}

} // namespace

FmDiscriminator::FmDiscriminator(double sampleRate)
    : scale(static_cast<float>(sampleRate / (2 * Pi * FmDeviationHz)))
{
}

void FmDiscriminator::Run(const float *iq, size_t count, float *mpx) const
{
    const __m128 gain = _mm_set1_ps(scale);
    // Four samples at a time; the last few through a padded copy, so that
    // every sample takes the same arithmetic however the blocks fall.
    for (size_t n = 0; n < count; n += 4) {
        const float *at = iq + 2 * n;
        float padded[10];
        size_t here = count - n < 4 ? count - n : 4;
        if (here < 4) {
            std::memset(padded, 0, sizeof(padded));
            std::memcpy(padded, at - 2, 2 * (here + 1) * sizeof(float));
            at = padded + 2;
        }
        const __m128 a = _mm_loadu_ps(at), b = _mm_loadu_ps(at + 4);
        const __m128 pa = _mm_loadu_ps(at - 2), pb = _mm_loadu_ps(at + 2);
        const __m128 i = _mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0));
        const __m128 q = _mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1));
        const __m128 pi = _mm_shuffle_ps(pa, pb, _MM_SHUFFLE(2, 0, 2, 0));
        const __m128 pq = _mm_shuffle_ps(pa, pb, _MM_SHUFFLE(3, 1, 3, 1));
        // z conj(previous)
        const __m128 re = _mm_add_ps(_mm_mul_ps(i, pi), _mm_mul_ps(q, pq));
        const __m128 im = _mm_sub_ps(_mm_mul_ps(q, pi), _mm_mul_ps(i, pq));
        const __m128 out = _mm_mul_ps(angle(re, im), gain);
        if (here == 4) {
            _mm_storeu_ps(mpx + n, out);
        } else {
            float rest[4];
            _mm_storeu_ps(rest, out);
            std::memcpy(mpx + n, rest, here * sizeof(float));
        }
    }
}

} // namespace sdr
