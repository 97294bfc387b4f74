// The pilot loop's oscillator: cosine of a 32-bit phase (2^32 a turn) from a
// table of 2048 entries, rounded to the nearest (at most 1.5 mrad off).
#pragma once

#include <cstdint>

namespace sdr {

class PhaseTable {
public:
    static constexpr uint32_t QuarterTurn = 0x40000000u;

    PhaseTable();
    virtual ~PhaseTable() = default;

    float Cos(uint32_t phase) const { return values[(phase + Half) >> Shift & (Size - 1)]; }
    float Sin(uint32_t phase) const { return Cos(phase - QuarterTurn); }

private:
    static constexpr int Bits = 11;
    static constexpr uint32_t Size = 1u << Bits;
    static constexpr int Shift = 32 - Bits;
    static constexpr uint32_t Half = 1u << (Shift - 1);
    float values[Size];
};

} // namespace sdr
