// The few calls the sound sink makes of waveOut, behind a seam so that
// tests can play its buffers on a clock of their own (WaveOutDevice is the
// real one). 48 kHz, 16-bit stereo.
#pragma once

#include <cstdint>

namespace sdr {

constexpr uint32_t MaxWaveBuffers = 32;

class WaveDevice {
public:
    virtual ~WaveDevice() = default;
    // `count` (at most MaxWaveBuffers) buffers of `frames` interleaved stereo
    // frames each, one after the other at `memory`, which stays the caller's
    // and lives until Close.
    virtual bool Open(int16_t *memory, uint32_t count, uint32_t frames) = 0;
    // Stops at once; every buffer comes back.
    virtual void Close() = 0;
    // Plays a whole buffer after those already playing. False when the device refused it.
    virtual bool Play(uint32_t buffer) = 0;
    // The buffer has been played (or was never given to the device).
    virtual bool Done(uint32_t buffer) const = 0;
    // Frames played since Open, wrapping at 2^32.
    virtual uint32_t PlayedFrames() = 0;
};

} // namespace sdr
