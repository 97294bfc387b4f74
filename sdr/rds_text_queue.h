// The complete receptions of the name and the RadioText, oldest first, for
// another thread to take: the signal thread puts, the caller takes, neither
// waits. Bounded: when full, the oldest receptions go.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace sdr {

class RdsTextQueue {
public:
    static constexpr size_t Slots = 32;
    static constexpr size_t MaxLength = 64;

    RdsTextQueue();
    virtual ~RdsTextQueue() = default;

    // The putting side. Leading and trailing spaces are dropped; an empty text is not put.
    void Put(const char *text);
    void Clear();
    // The taking side: whole receptions, each followed by a space, as many as
    // fit in `capacity` bytes; returns the bytes written.
    size_t Take(char *out, size_t capacity);

private:
    struct Slot {
        uint8_t length;
        char text[MaxLength];
    };
    Slot slots[Slots];
    std::atomic<uint32_t> head; // written by the putting side only
    std::atomic<uint32_t> tail; // advanced by the taker, or by the putter dropping the oldest
};

} // namespace sdr
