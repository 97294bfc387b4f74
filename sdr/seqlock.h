// A figure handed from one thread to others without a lock: the writer
// (the signal thread) never waits, a reader (the radio's window thread)
// copies the latest whole value out and never sees half of one. A sequence
// number, odd while a write is under way, tells the reader to copy again;
// the value's words are atomics, so no copy is a data race.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace sdr {

template <typename T>
class Seqlock {
    static_assert(std::is_trivially_copyable<T>::value, "copied word by word");

public:
    Seqlock() : sequence(0)
    {
        for (auto &word : words)
            word.store(0, std::memory_order_relaxed);
    }
    virtual ~Seqlock() = default;
    Seqlock(const Seqlock &) = delete;
    Seqlock &operator=(const Seqlock &) = delete;

    // From one thread only.
    void Publish(const T &value)
    {
        uint32_t raw[Words] = {};
        std::memcpy(raw, &value, sizeof(T));
        const uint32_t at = sequence.load(std::memory_order_relaxed);
        sequence.store(at + 1, std::memory_order_relaxed);
        std::atomic_thread_fence(std::memory_order_release);
        for (size_t w = 0; w < Words; ++w)
            words[w].store(raw[w], std::memory_order_relaxed);
        sequence.store(at + 2, std::memory_order_release);
    }

    // From any thread. False, with `out` untouched, before the first
    // Publish, or when writes kept overlapping the copy (a reader gives up
    // rather than wait; the next call finds the value).
    bool Read(T &out) const
    {
        for (int attempt = 0; attempt < MaxAttempts; ++attempt) {
            const uint32_t before = sequence.load(std::memory_order_acquire);
            if (before == 0)
                return false;
            if (before & 1)
                continue;
            uint32_t raw[Words];
            for (size_t w = 0; w < Words; ++w)
                raw[w] = words[w].load(std::memory_order_relaxed);
            std::atomic_thread_fence(std::memory_order_acquire);
            if (sequence.load(std::memory_order_relaxed) == before) {
                std::memcpy(&out, raw, sizeof(T));
                return true;
            }
        }
        return false;
    }

private:
    static constexpr size_t Words = (sizeof(T) + 3) / 4;
    static constexpr int MaxAttempts = 64;
    std::atomic<uint32_t> sequence;
    std::atomic<uint32_t> words[Words];
};

} // namespace sdr
