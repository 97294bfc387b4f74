#include "fake_wave_device.h"

#include <algorithm>

#include "thread_time.h"

namespace testing {

bool FakeWaveDevice::Open(int16_t *buffers, uint32_t bufferCount, uint32_t bufferFrames)
{
    if (refuseOpen || bufferCount > sdr::MaxWaveBuffers)
        return false;
    memory = buffers;
    count = bufferCount;
    frames = bufferFrames;
    done.assign(count, true);
    given.assign(count, std::vector<int16_t>());
    queue.clear();
    offset = 0;
    played = 0;
    return true;
}

void FakeWaveDevice::Close()
{
    memory = nullptr;
    queue.clear();
    done.assign(count, true);
}

bool FakeWaveDevice::Play(uint32_t buffer)
{
    if (!memory || buffer >= count || !done[buffer])
        return false;
    done[buffer] = false;
    given[buffer].assign(Buffer(buffer), Buffer(buffer) + 2 * size_t(frames));
    queue.push_back(buffer);
    return true;
}

void FakeWaveDevice::PlayInRealTime(bool on)
{
    realTime = on;
    playedUpTo = sdrtest::seconds_now();
}

bool FakeWaveDevice::Done(uint32_t buffer) const
{
    if (realTime) {
        // The card is asked from a const call, but plays all the same.
        FakeWaveDevice &self = *const_cast<FakeWaveDevice *>(this);
        const double now = sdrtest::seconds_now();
        const size_t due = static_cast<size_t>((now - playedUpTo) * 48000);
        if (due > 0) {
            self.playedUpTo += static_cast<double>(due) / 48000;
            self.Advance(due);
        }
    }
    return buffer >= count || done[buffer];
}

void FakeWaveDevice::Advance(size_t wanted)
{
    while (wanted > 0) {
        if (!memory || queue.empty()) {
            output.insert(output.end(), 2 * wanted, int16_t(0));
            return;
        }
        const uint32_t buffer = queue.front();
        const size_t n = std::min(wanted, frames - offset);
        const int16_t *from = Buffer(buffer) + 2 * offset;
        if (!std::equal(from, from + 2 * n, given[buffer].begin() + 2 * offset))
            ++overwritten;
        output.insert(output.end(), from, from + 2 * n);
        offset += n;
        played += static_cast<uint32_t>(n);
        wanted -= n;
        if (offset == frames) {
            done[buffer] = true;
            queue.pop_front();
            offset = 0;
        }
    }
}

} // namespace testing
