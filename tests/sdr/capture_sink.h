// A sound sink for the receiver's tests: keeps the PCM written, as the
// listener would have heard it with a card that never runs dry. The
// receiver's signal thread writes while the test reads: Snapshot copies
// under a lock, FramesWritten may be polled while waiting for sound.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "audio_sink.h"

namespace testing {

class CaptureSink : public sdr::AudioSink {
public:
    // Keeps at most `capacityFrames` (a minute unless told); what comes after is counted as dropped.
    explicit CaptureSink(size_t capacityFrames = 48000 * 60) : capacity(capacityFrames)
    {
        InitializeCriticalSection(&lock);
        pcm.reserve(2 * capacity);
    }
    ~CaptureSink() override { DeleteCriticalSection(&lock); }
    CaptureSink(const CaptureSink &) = delete;
    CaptureSink &operator=(const CaptureSink &) = delete;

    // False plays a machine without a sound card.
    void SetDevicePresent(bool present) { devicePresent = present; }

    bool Open() override
    {
        open = devicePresent.load();
        return open;
    }
    void Close() override { open = false; }
    void Write(const int16_t *frames, size_t count) override
    {
        EnterCriticalSection(&lock);
        size_t kept = 0;
        if (open) {
            kept = count < capacity - pcm.size() / 2 ? count : capacity - pcm.size() / 2;
            pcm.insert(pcm.end(), frames, frames + 2 * kept);
        }
        LeaveCriticalSection(&lock);
        dropped += count - kept;
        written += kept;
    }

    bool IsOpen() const { return open; }
    size_t FramesWritten() const { return written; }
    size_t DroppedFrames() const { return dropped; }
    // The frames kept so far, interleaved, left first.
    std::vector<int16_t> Snapshot()
    {
        EnterCriticalSection(&lock);
        std::vector<int16_t> copy(pcm);
        LeaveCriticalSection(&lock);
        return copy;
    }
    void Clear()
    {
        EnterCriticalSection(&lock);
        pcm.clear();
        LeaveCriticalSection(&lock);
        written = 0;
        dropped = 0;
    }

private:
    const size_t capacity;
    CRITICAL_SECTION lock;
    std::vector<int16_t> pcm;
    std::atomic<bool> devicePresent{true};
    std::atomic<bool> open{false};
    std::atomic<size_t> written{0};
    std::atomic<size_t> dropped{0};
};

} // namespace testing
