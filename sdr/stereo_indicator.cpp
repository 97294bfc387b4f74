#include "stereo_indicator.h"

#include <cmath>

namespace sdr {

namespace {

// A station's pilot is 8 to 10 % of full deviation.
constexpr float LockLevel = 0.04f;
constexpr float DropLevel = 0.025f;
constexpr double LockSeconds = 0.5;
constexpr double DropSeconds = 0.3;

} // namespace

StereoIndicator::StereoIndicator(double updatesPerSecond)
    : lockUpdates(static_cast<int>(LockSeconds * updatesPerSecond)),
      dropUpdates(static_cast<int>(DropSeconds * updatesPerSecond)), stereo(false), changing(0)
{
}

void StereoIndicator::Reset()
{
    stereo = false;
    changing = 0;
}

void StereoIndicator::Update(float inPhase, float quadrature)
{
    // In phase within about 27 degrees, and strong enough.
    const bool pilot = inPhase > (stereo ? DropLevel : LockLevel) && std::fabs(quadrature) < 0.5f * inPhase;
    if (pilot == stereo) {
        changing = 0;
    } else if (++changing >= (stereo ? dropUpdates : lockUpdates)) {
        stereo = pilot;
        changing = 0;
    }
}

} // namespace sdr
