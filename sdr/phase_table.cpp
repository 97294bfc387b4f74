#include "phase_table.h"

#include <cmath>

#include "angles.h"

namespace sdr {

PhaseTable::PhaseTable()
{
    for (uint32_t i = 0; i < Size; ++i)
        values[i] = static_cast<float>(std::cos(2 * Pi * i / Size));
}

} // namespace sdr
