// The dongle's bytes into the channel filter: unsigned 8-bit I/Q around
// 127.5 to floats, turned by a right angle per sample to bring the station,
// a quarter of the rate off the dongle's centre, to zero. A quarter turn
// swaps and negates, so there is no multiplication. The dongle's DC spike
// lands a quarter of the rate away, in the channel filter's stopband.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sdr {

class QuarterRateInput {
public:
    QuarterRateInput();
    virtual ~QuarterRateInput() = default;

    // +1: the centre lies above the station (turn forwards); -1: below it.
    void SetStationSide(int side);
    // The next pair starts a turn afresh.
    void Reset() { turn = 0; }
    // `pairs` pairs from `iq` into `out` (2 floats each); the turn carries over.
    void Convert(const uint8_t *iq, size_t pairs, float *out);

private:
    void ConvertOne(const uint8_t *iq, float *out);

    int side;
    unsigned turn; // quarter turns of the next pair, 0..3
};

} // namespace sdr
