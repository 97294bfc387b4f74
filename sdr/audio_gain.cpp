#include "audio_gain.h"

#include <algorithm>
#include <cmath>

namespace sdr {

namespace {

constexpr float FullScale = 32767.0f;
constexpr float RampStep = 1.0f / AudioGain::RampFrames;

int32_t clamp_volume(int32_t volume)
{
    return std::min(std::max(volume, VolumeMin), VolumeMax);
}

// One sample, already scaled to 16 bits, rounded and clipped.
inline int16_t to_pcm(float value, uint32_t &clips)
{
    if (value > FullScale) {
        ++clips;
        return 32767;
    }
    if (value < -FullScale - 1.0f) {
        ++clips;
        return -32768;
    }
    if (!(value == value)) // not a number: silence rather than a full-scale spike
        return 0;
    return static_cast<int16_t>(value < 0 ? value - 0.5f : value + 0.5f);
}

} // namespace

float volume_gain_db(int32_t volume)
{
    return static_cast<float>(clamp_volume(volume) - VolumeMax) * VolumeStepDb;
}

AudioGain::AudioGain() : volume(VolumeMax), muted(false), clipped(0), gain(0.0f)
{
    for (int32_t v = VolumeMin; v <= VolumeMax; ++v)
        volumeGains[v - VolumeMin] = std::pow(10.0f, volume_gain_db(v) / 20.0f);
}

void AudioGain::SetVolume(int32_t wish)
{
    volume.store(clamp_volume(wish), std::memory_order_relaxed);
}

void AudioGain::SetMute(bool mute)
{
    muted.store(mute, std::memory_order_relaxed);
}

float AudioGain::Target() const
{
    if (muted.load(std::memory_order_relaxed))
        return 0.0f;
    return volumeGains[clamp_volume(volume.load(std::memory_order_relaxed)) - VolumeMin];
}

void AudioGain::Process(const float *stereo, size_t frames, int16_t *out)
{
    const float target = Target();
    uint32_t clips = 0;
    size_t i = 0;
    // The ramp, a frame at a time, until the gain has reached the wish.
    for (; i < frames && gain != target; ++i) {
        gain = gain < target ? std::min(gain + RampStep, target) : std::max(gain - RampStep, target);
        out[2 * i] = to_pcm(stereo[2 * i] * gain * FullScale, clips);
        out[2 * i + 1] = to_pcm(stereo[2 * i + 1] * gain * FullScale, clips);
    }
    if (gain == 0.0f) {
        std::fill(out + 2 * i, out + 2 * frames, int16_t(0));
    } else {
        const float scale = gain * FullScale;
        for (size_t k = 2 * i; k < 2 * frames; ++k)
            out[k] = to_pcm(stereo[k] * scale, clips);
    }
    if (clips)
        clipped.fetch_add(clips, std::memory_order_relaxed);
}

} // namespace sdr
