#include "phase_table.h"

#include <cmath>

namespace sdr {

PhaseTable::PhaseTable()
{
    for (uint32_t i = 0; i < Size; ++i)
        values[i] = static_cast<float>(std::cos(2 * M_PI * i / Size));
}

} // namespace sdr
