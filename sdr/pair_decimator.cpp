#include "pair_decimator.h"

#include <cstring>

namespace sdr {

PairDecimator::PairDecimator(const float *source, size_t count, size_t decimationFactor, size_t maxInput)
    : length(dot_floats(2 * count) / 2), decimation(decimationFactor), taps(2 * length),
      buffer(new float[2 * (length - 1 + maxInput)]), held(0), start(0)
{
    // Forward order: the window's oldest sample meets the last tap.
    float *t = taps.Data() + 2 * (length - count);
    for (size_t i = 0; i < count; ++i)
        t[2 * i] = t[2 * i + 1] = source[count - 1 - i];
    Reset();
}

PairDecimator::~PairDecimator()
{
    delete[] buffer;
}

void PairDecimator::Reset()
{
    held = length - 1;
    start = 0;
    std::memset(buffer, 0, 2 * held * sizeof(float));
}

size_t PairDecimator::Run(size_t pairs, float *out)
{
    held += pairs;
    size_t written = 0;
    for (; start + length <= held; start += decimation) {
        const __m128 lanes = dot_lanes(buffer + 2 * start, taps.Data(), 2 * length);
        // Lanes 0 and 2 hold the first part's even and odd taps, 1 and 3 the second's.
        _mm_storel_pi(reinterpret_cast<__m64 *>(out + 2 * written), _mm_add_ps(lanes, _mm_movehl_ps(lanes, lanes)));
        ++written;
    }
    // Keep what the next windows need.
    std::memmove(buffer, buffer + 2 * start, 2 * (held - start) * sizeof(float));
    held -= start;
    start = 0;
    return written;
}

} // namespace sdr
