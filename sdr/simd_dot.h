// The inner loop of every FIR filter in the chain: a dot product of samples
// and taps in SSE, four lanes kept apart, so that a filter on interleaved
// pairs (I/Q, or the sum and difference of the channels) gets each part's
// sum from two lanes and a filter on one signal adds all four. Four
// accumulators keep the additions independent of each other.
#pragma once

#include <emmintrin.h>

#include <cstddef>

namespace sdr {

// `floats` a multiple of DotStep; `taps` 16-byte aligned, `samples` any.
constexpr size_t DotStep = 16;

inline __m128 dot_lanes(const float *samples, const float *taps, size_t floats)
{
    __m128 a0 = _mm_setzero_ps(), a1 = _mm_setzero_ps(), a2 = _mm_setzero_ps(), a3 = _mm_setzero_ps();
    for (size_t i = 0; i < floats; i += DotStep) {
        a0 = _mm_add_ps(a0, _mm_mul_ps(_mm_loadu_ps(samples + i), _mm_load_ps(taps + i)));
        a1 = _mm_add_ps(a1, _mm_mul_ps(_mm_loadu_ps(samples + i + 4), _mm_load_ps(taps + i + 4)));
        a2 = _mm_add_ps(a2, _mm_mul_ps(_mm_loadu_ps(samples + i + 8), _mm_load_ps(taps + i + 8)));
        a3 = _mm_add_ps(a3, _mm_mul_ps(_mm_loadu_ps(samples + i + 12), _mm_load_ps(taps + i + 12)));
    }
    return _mm_add_ps(_mm_add_ps(a0, a1), _mm_add_ps(a2, a3));
}

// Rounds a count of floats up to whole steps.
constexpr size_t dot_floats(size_t floats)
{
    return (floats + DotStep - 1) / DotStep * DotStep;
}

// Taps kept 16-byte aligned inside a plain allocation (32-bit Windows' heap
// gives 8 bytes only).
class AlignedFloats {
public:
    explicit AlignedFloats(size_t count) : raw(new float[count + 4]()), data(Align(raw)) {}
    virtual ~AlignedFloats() { delete[] raw; }
    AlignedFloats(const AlignedFloats &) = delete;
    AlignedFloats &operator=(const AlignedFloats &) = delete;
    float *Data() { return data; }
    const float *Data() const { return data; }

private:
    static float *Align(float *p)
    {
        const size_t misplaced = reinterpret_cast<size_t>(p) & 15;
        return misplaced ? p + (16 - misplaced) / sizeof(float) : p;
    }
    float *raw;
    float *data;
};

} // namespace sdr
