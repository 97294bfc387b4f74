// The radio's volume and mute, applied to the receiver's sound on its way
// out: float stereo frames in, 16-bit interleaved stereo out, clipped.
//
// The volume scale is the card's, 40..79, on a decibel law: 79 is unity
// gain and each step down takes 1.25 dB off, so 40 is -48.75 dB. A step of
// 1.25 dB is just above the smallest change of loudness a listener notices
// (about 1 dB), and 39 of them span full loudness down to a quiet
// background, the range a radio's volume is used over; 40 is still heard
// (mute is a wish of its own).
//
// Gain changes never click: the gain moves towards the wished one by at
// most 1/960 of full scale a sample, so a full swing (mute, unmute, 40 to
// 79) takes 20 ms and one step at the top about 3 ms. The sound starts from
// silence too, the same way.
//
// The wishes (volume, mute) come from another thread (the radio's window)
// and are single words the signal thread picks up at its next block: no
// lock, no waiting on either side.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace sdr {

constexpr int32_t VolumeMin = 40;
constexpr int32_t VolumeMax = 79;
constexpr float VolumeStepDb = 1.25f;

// The gain of a volume on the scale, in dB (0 at VolumeMax); clamped to the scale.
float volume_gain_db(int32_t volume);

class AudioGain {
public:
    // Frames a full swing of the gain (0 to 1) takes: 20 ms at 48 kHz.
    static constexpr uint32_t RampFrames = 960;

    AudioGain();
    virtual ~AudioGain() = default;
    AudioGain(const AudioGain &) = delete;
    AudioGain &operator=(const AudioGain &) = delete;

    // Any thread. Taken at the signal thread's next block; out-of-scale volumes are clamped.
    void SetVolume(int32_t volume);
    void SetMute(bool mute);

    // The signal thread: `frames` stereo frames (+-1.0 full scale, left
    // first) to as many interleaved 16-bit frames. What lies beyond full
    // scale is clipped; a sample that is not a number becomes silence.
    void Process(const float *stereo, size_t frames, int16_t *out);

    // The gain applied to the last sample, 0..1 (signal thread).
    float Gain() const { return gain; }
    // Samples clipped since construction (any thread).
    uint32_t ClippedSamples() const { return clipped.load(std::memory_order_relaxed); }

private:
    float Target() const;

    std::atomic<int32_t> volume;
    std::atomic<bool> muted;
    std::atomic<uint32_t> clipped;
    float gain; // where the ramp is, signal thread only
    float volumeGains[VolumeMax - VolumeMin + 1];
};

} // namespace sdr
