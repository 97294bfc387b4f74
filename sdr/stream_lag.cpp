#include "stream_lag.h"

#include <algorithm>

namespace sdr {

void StreamLag::Restart(double now, uint32_t pairsPerSecond)
{
    start = now;
    rate = pairsPerSecond;
    arrived = 0;
    seen = false;
}

double StreamLag::Lag(double now) const
{
    return rate * (now - start) - static_cast<double>(arrived);
}

void StreamLag::Arrived(uint64_t pairs, double now)
{
    arrived += pairs;
    const double lag = Lag(now);
    if (!seen) {
        seen = true;
        leastBefore = leastNow = lag;
        windowStart = now;
    } else if (now - windowStart >= WindowSeconds) {
        leastBefore = leastNow;
        leastNow = lag;
        windowStart = now;
    } else {
        leastNow = std::min(leastNow, lag);
    }
}

uint64_t StreamLag::PairsBehind(double now) const
{
    if (!seen)
        return 0;
    const double behind = Lag(now) - std::min(leastBefore, leastNow);
    const double most = MostSeconds * rate;
    return behind <= 0 ? 0 : static_cast<uint64_t>(std::min(behind, most));
}

} // namespace sdr
