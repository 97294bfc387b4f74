// A complex FFT of a fixed power-of-two size, radix 2, in place, on split
// real and imaginary arrays (so the butterflies vectorise). Its tables are
// members, built once by the constructor: no allocation.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sdr {

class Fft {
public:
    static constexpr unsigned Bits = 11;
    static constexpr size_t Size = size_t(1) << Bits; // 2048

    Fft();
    virtual ~Fft() = default;

    // The forward transform, X[k] = sum x[n] e^(-2 pi i k n / Size), in natural order.
    void Forward(float *re, float *im) const;

private:
    uint16_t reversed[Size];
    // Each stage's twiddles one after the other: stage with half-length h
    // starts at h - 1 and holds e^(-i pi j / h) for j < h.
    float twiddleRe[Size - 1];
    float twiddleIm[Size - 1];
};

} // namespace sdr
