#include "quarter_rate_input.h"

#include <emmintrin.h>

namespace sdr {

namespace {

constexpr float Zero = 127.5f;

// The sign bits that finish a quarter turn after the swap of the odd pairs:
// for 4 pairs from turn 0, forwards (x j^n): (I,Q) (-Q,I) (-I,-Q) (Q,-I);
// backwards (x (-j)^n): (I,Q) (Q,-I) (-I,-Q) (-Q,I).
__m128 sign_mask(bool set0, bool set1, bool set2, bool set3)
{
    const float minus = -0.0f;
    return _mm_setr_ps(set0 ? minus : 0.0f, set1 ? minus : 0.0f, set2 ? minus : 0.0f, set3 ? minus : 0.0f);
}

} // namespace

QuarterRateInput::QuarterRateInput() : side(+1), turn(0)
{
}

void QuarterRateInput::SetStationSide(int stationSide)
{
    side = stationSide < 0 ? -1 : +1;
}

void QuarterRateInput::ConvertOne(const uint8_t *iq, float *out)
{
    const float i = iq[0] - Zero, q = iq[1] - Zero;
    const unsigned t = side > 0 ? turn : (4 - turn) & 3; // backwards is forwards by three quarters each
    const float turned[4][2] = {{i, q}, {-q, i}, {-i, -q}, {q, -i}};
    out[0] = turned[t][0];
    out[1] = turned[t][1];
    turn = (turn + 1) & 3;
}

void QuarterRateInput::Convert(const uint8_t *iq, size_t pairs, float *out)
{
    size_t n = 0;
    for (; n < pairs && turn != 0; ++n)
        ConvertOne(iq + 2 * n, out + 2 * n);

    const bool forwards = side > 0;
    const __m128 firstHalf = sign_mask(false, false, forwards, !forwards);
    const __m128 secondHalf = sign_mask(true, true, !forwards, forwards);
    const __m128 zero = _mm_set1_ps(Zero);
    const __m128i nothing = _mm_setzero_si128();
    // Eight pairs (16 bytes) at a time, two whole turns.
    for (; n + 8 <= pairs; n += 8) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(iq + 2 * n));
        const __m128i low = _mm_unpacklo_epi8(bytes, nothing);
        const __m128i high = _mm_unpackhi_epi8(bytes, nothing);
        const __m128i words[4] = {_mm_unpacklo_epi16(low, nothing), _mm_unpackhi_epi16(low, nothing),
                                  _mm_unpacklo_epi16(high, nothing), _mm_unpackhi_epi16(high, nothing)};
        for (int k = 0; k < 4; ++k) {
            const __m128 values = _mm_sub_ps(_mm_cvtepi32_ps(words[k]), zero);
            // The second pair of each two swaps I and Q; the signs finish the turn.
            const __m128 swapped = _mm_shuffle_ps(values, values, _MM_SHUFFLE(2, 3, 1, 0));
            _mm_storeu_ps(out + 2 * n + 4 * k, _mm_xor_ps(swapped, (k & 1) ? secondHalf : firstHalf));
        }
    }
    for (; n < pairs; ++n)
        ConvertOne(iq + 2 * n, out + 2 * n);
}

} // namespace sdr
