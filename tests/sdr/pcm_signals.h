// Generated sound and what a listener would notice in 16-bit PCM, shared by
// the audio tests.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace testing {

constexpr double Pi = 3.14159265358979323846;
constexpr double AudioHz = 48000.0;

// Frames of a tone in both channels (+-1.0 full scale), from frame `first` of an endless one.
inline std::vector<float> tone_frames(double hz, double amplitude, size_t frames, size_t first = 0)
{
    std::vector<float> stereo(2 * frames);
    for (size_t i = 0; i < frames; ++i)
        stereo[2 * i] = stereo[2 * i + 1] =
            static_cast<float>(amplitude * std::sin(2 * Pi * hz * double(first + i) / AudioHz));
    return stereo;
}

// The largest step from one sample to the next of one channel (0 left, 1
// right) over frames [from, to): a click is a step the sound does not make.
inline int max_step(const std::vector<int16_t> &pcm, int channel, size_t from = 0, size_t to = SIZE_MAX)
{
    int most = 0;
    to = to < pcm.size() / 2 ? to : pcm.size() / 2;
    for (size_t i = from + 1; i < to; ++i)
        most = std::max(most, std::abs(pcm[2 * i + channel] - pcm[2 * (i - 1) + channel]));
    return most;
}

// The largest step of a full-period tone of `amplitude` (in LSB) at `hz`.
inline double tone_step(double hz, double amplitude)
{
    return 2 * amplitude * std::sin(Pi * hz / AudioHz);
}

// The level of one channel over frames [from, to), in dB of a full-scale tone.
inline double level_db(const std::vector<int16_t> &pcm, int channel, size_t from, size_t to)
{
    double sum = 0;
    for (size_t i = from; i < to; ++i)
        sum += double(pcm[2 * i + channel]) * pcm[2 * i + channel];
    const double rms = std::sqrt(sum / double(to - from));
    return 20 * std::log10(rms / (32767.0 / std::sqrt(2.0)) + 1e-30);
}

} // namespace testing
