// The sound card through waveOut: 48 kHz, 16-bit stereo, the caller's
// buffers prepared once at Open. Its buffers' return is looked at, not
// waited for (no callback), so the thread that writes never blocks.
#pragma once

#include <cstdint>

#include "wave_device.h"

namespace sdr {

class WaveOutDevice : public WaveDevice {
public:
    static constexpr uint32_t DefaultDevice = 0xFFFFFFFFu; // the wave mapper: the user's choice of output

    explicit WaveOutDevice(uint32_t deviceId = DefaultDevice);
    ~WaveOutDevice() override;
    WaveOutDevice(const WaveOutDevice &) = delete;
    WaveOutDevice &operator=(const WaveOutDevice &) = delete;

    bool Open(int16_t *memory, uint32_t count, uint32_t frames) override;
    void Close() override;
    bool Play(uint32_t buffer) override;
    bool Done(uint32_t buffer) const override;
    uint32_t PlayedFrames() override;

private:
    struct Handles;
    Handles *handles; // windows.h stays out of the receiver's headers
};

} // namespace sdr
