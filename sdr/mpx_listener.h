// What the FM chain hands on at the channel rate (240 kS/s), block by block:
// the multiplex signal, 1.0 at 75 kHz deviation, and for each sample the
// pilot loop's phase, 2^32 a turn, such that a locked pilot is cos(phase).
// RDS takes its 57 kHz as three times that phase.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sdr {

class MpxListener {
public:
    virtual ~MpxListener() = default;
    virtual void OnMpx(const float *mpx, const uint32_t *pilotPhase, size_t count) = 0;
};

} // namespace sdr
