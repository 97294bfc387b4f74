// How far behind its sender a real-time stream has fallen: the pairs the
// sender's clock says it has made by now, less those that have arrived,
// above the least of that difference over the last few seconds, when the
// reader kept up (the sender's blocks, the buffers on the way and the small
// disagreement of two clocks all sit in that least). A reader starved of
// the processor, or a network that held data back, shows as pairs behind:
// all of them were made before anything the reader sends now takes effect.
#pragma once

#include <cstdint>

namespace sdr {

class StreamLag {
public:
    StreamLag() = default;
    virtual ~StreamLag() = default;

    // A new stream (a connect, or a new rate) from `now`, in seconds.
    void Restart(double now, uint32_t pairsPerSecond);
    void Arrived(uint64_t pairs, double now);
    // Never more than MostSeconds of the stream.
    uint64_t PairsBehind(double now) const;

    static constexpr double WindowSeconds = 2.0; // the least is kept over one to two of these
    static constexpr double MostSeconds = 2.0;

private:
    double Lag(double now) const;

    double start = 0;
    uint32_t rate = 0;
    uint64_t arrived = 0;
    bool seen = false;        // a least exists
    double leastBefore = 0;   // the previous window's least
    double leastNow = 0;      // this window's, so far
    double windowStart = 0;
};

} // namespace sdr
