// What the test kit's rtl_tcp server sends: the next stretch of a band as a
// dongle would see it, for the centre and rate the client asked for. Time
// runs on from one call to the next, across new centres and rates.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sdrkit {

class BandSource {
public:
    virtual ~BandSource() = default;
    // `pairs` unsigned 8-bit I/Q pairs (I first) into `iq`.
    virtual void Fill(uint8_t *iq, size_t pairs, uint32_t centreHz, uint32_t rateHz) = 0;
};

} // namespace sdrkit
