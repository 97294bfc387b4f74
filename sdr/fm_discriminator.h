// The FM discriminator: the phase turned from one channel sample to the
// next, arg(z[n] conj(z[n-1])), scaled so that 75 kHz of deviation is 1.0.
// The angle comes from a polynomial (error below 1.2e-5 rad, some 100 dB
// under full deviation), four samples at a time in SSE.
#pragma once

#include <cstddef>

namespace sdr {

class FmDiscriminator {
public:
    explicit FmDiscriminator(double sampleRate);
    virtual ~FmDiscriminator() = default;

    // `count` I/Q pairs at `iq` into `mpx`; iq[-2] and iq[-1] must hold the
    // pair before the first (the caller keeps it across blocks).
    void Run(const float *iq, size_t count, float *mpx) const;

private:
    float scale; // radians per sample to the multiplex's units
};

} // namespace sdr
