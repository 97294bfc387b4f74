#include "stereo_decoder.h"

#include <cmath>

#include "angles.h"
#include "sdr_rates.h"

namespace sdr {

StereoDecoder::StereoDecoder(const PhaseTable &phaseTable, double sampleRate) : table(phaseTable), gain(0)
{
    const double x = Pi * 2 * PilotHz / sampleRate;
    // The carrier is sin(2 x pilot) while the pilot is sin(pilot): with a
    // locked pilot at cos(phase), that is -sin(2 phase). Times 2 for the
    // product's half.
    gain = static_cast<float>(-2 / (std::sin(x) / x));
}

void StereoDecoder::Run(const float *mpx, const uint32_t *phase, size_t count, float *pairs) const
{
    const float g = gain; // a local: the pairs written could be the member, for all the compiler knows
    for (size_t n = 0; n < count; ++n) {
        pairs[2 * n] = mpx[n];
        pairs[2 * n + 1] = mpx[n] * g * table.Sin(2 * phase[n]);
    }
}

} // namespace sdr
