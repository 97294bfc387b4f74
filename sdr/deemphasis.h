// De-emphasis of the audio after the stereo matrix, 1/(1 + j w tau) as the
// broadcast was pre-emphasised (50 us in Europe and Japan, 75 us in the
// Americas). At 48 kHz a plain one-pole filter is 1.4 dB off at 15 kHz, so
// the pole and a zero are fitted to the analogue response at DC, 5 kHz and
// 15 kHz (within 0.1 dB from 0 to 16 kHz), taking in the discriminator's
// own small droop on the way.
#pragma once

#include <cstddef>

namespace sdr {

class Deemphasis {
public:
    // `rate`: the audio's; `discriminatorRate`: where the droop comes from.
    Deemphasis(double rate, double discriminatorRate);
    virtual ~Deemphasis() = default;

    // 0 or less: none.
    void SetTime(double seconds);
    void Reset();
    // Interleaved stereo frames, in place.
    void Run(float *frames, size_t count);

private:
    double rate, discriminatorRate;
    float gain, zero, pole;
    float lastIn[2], lastOut[2];
};

} // namespace sdr
