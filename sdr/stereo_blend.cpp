#include "stereo_blend.h"

#include <cmath>

namespace sdr {

namespace {

constexpr float MonoBelowDb = 16;
constexpr float FullAboveDb = 28;
constexpr float PlayDb = 2;
constexpr double SwingSeconds = 0.3;

} // namespace

StereoBlend::StereoBlend(double frameRate)
    : step(static_cast<float>(1 / (SwingSeconds * frameRate))), held(0), target(0), share(0)
{
}

void StereoBlend::Reset()
{
    held = 0;
    target = 0;
    share = 0;
}

void StereoBlend::Steer(bool pilot, float quietingDb, bool blend, bool forcedMono)
{
    if (std::fabs(quietingDb - held) > PlayDb)
        held = quietingDb;
    float quality = (held - MonoBelowDb) / (FullAboveDb - MonoBelowDb);
    quality = quality < 0 ? 0 : quality > 1 ? 1 : quality;
    target = forcedMono || !pilot ? 0 : blend ? quality : 1;
}

} // namespace sdr
