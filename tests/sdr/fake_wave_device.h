// A sound card for the sink's tests, on a clock the test turns: Advance
// plays the buffers given to it, in order, and silence when it has none,
// and keeps everything that came out. It reads a buffer when it plays it,
// as a card does, and notices a buffer changed while it was in its hands.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "wave_device.h"

namespace testing {

class FakeWaveDevice : public sdr::WaveDevice {
public:
    bool refuseOpen = false;

    bool Open(int16_t *memory, uint32_t count, uint32_t frames) override;
    void Close() override;
    bool Play(uint32_t buffer) override;
    bool Done(uint32_t buffer) const override;
    uint32_t PlayedFrames() override { return played; }

    // `frames` more frames out of the speaker.
    void Advance(size_t frames);
    // From now on (true) the card also plays on by the wall clock, 48 frames
    // a millisecond, whenever the sink asks whether a buffer is done: as a
    // card plays on while the sink waits for it.
    void PlayInRealTime(bool on);
    // Everything that came out since the test began (across opens), interleaved stereo.
    const std::vector<int16_t> &Output() const { return output; }
    size_t OutputFrames() const { return output.size() / 2; }
    bool IsOpen() const { return memory != nullptr; }
    // Buffers the sink changed while they were with the card.
    uint32_t Overwritten() const { return overwritten; }

private:
    const int16_t *Buffer(uint32_t index) const { return memory + 2 * size_t(frames) * index; }

    int16_t *memory = nullptr;
    uint32_t count = 0;
    uint32_t frames = 0;
    std::deque<uint32_t> queue;
    size_t offset = 0; // frames of the first queued buffer played
    std::vector<bool> done;
    std::vector<std::vector<int16_t>> given; // each buffer as it was handed over
    uint32_t played = 0;
    uint32_t overwritten = 0;
    bool realTime = false;
    double playedUpTo = 0; // seconds, when the card last played by the clock
    std::vector<int16_t> output;
};

} // namespace testing
