#include "rds_text_queue.h"

#include <cstring>

namespace sdr {

RdsTextQueue::RdsTextQueue() : slots{}, head(0), tail(0) {}

void RdsTextQueue::Put(const char *text)
{
    size_t length = std::strlen(text);
    while (length > 0 && text[0] == ' ') {
        ++text;
        --length;
    }
    while (length > 0 && text[length - 1] == ' ')
        --length;
    if (length == 0)
        return;
    if (length > MaxLength)
        length = MaxLength;

    const uint32_t at = head.load(std::memory_order_relaxed);
    // Drop the oldest while full. The taker notices: its own step of the tail fails.
    uint32_t oldest = tail.load(std::memory_order_acquire);
    while (at - oldest >= Slots)
        if (tail.compare_exchange_weak(oldest, oldest + 1, std::memory_order_acq_rel))
            ++oldest;
    Slot &slot = slots[at % Slots];
    std::memcpy(slot.text, text, length);
    slot.length = static_cast<uint8_t>(length);
    head.store(at + 1, std::memory_order_release);
}

void RdsTextQueue::Clear()
{
    const uint32_t at = head.load(std::memory_order_relaxed);
    uint32_t oldest = tail.load(std::memory_order_acquire);
    while (oldest != at)
        if (tail.compare_exchange_weak(oldest, at, std::memory_order_acq_rel))
            break;
}

size_t RdsTextQueue::Take(char *out, size_t capacity)
{
    size_t used = 0;
    for (;;) {
        uint32_t oldest = tail.load(std::memory_order_acquire);
        if (oldest == head.load(std::memory_order_acquire))
            break;
        const Slot &slot = slots[oldest % Slots];
        const size_t length = slot.length;
        if (length > MaxLength || used + length + 1 > capacity)
            break;
        std::memcpy(out + used, slot.text, length);
        // Only if the putter did not drop this reception meanwhile (then the copy may be torn).
        if (!tail.compare_exchange_strong(oldest, oldest + 1, std::memory_order_acq_rel))
            continue;
        used += length;
        out[used++] = ' ';
    }
    return used;
}

} // namespace sdr
