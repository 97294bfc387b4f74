#include "iq_ring.h"

#include <cstring>
#include <new>

namespace sdr {

// The totals are the positions: a pair's place in the storage is its total modulo the capacity.
// The writer publishes `written` (release) after the bytes; the reader loads it (acquire) before
// them, and the same the other way round for `read`, so neither ever sees the other's half-done work.

IqRing::IqRing(size_t capacityPairs)
    : storage(capacityPairs ? new (std::nothrow) uint8_t[2 * capacityPairs] : nullptr),
      capacity(storage ? capacityPairs : 0), written(0), dropped(0), read(0)
{
}

IqRing::~IqRing()
{
    delete[] storage;
}

size_t IqRing::Write(const uint8_t *iq, size_t pairs)
{
    const uint64_t head = written.load(std::memory_order_relaxed);
    const uint64_t room = capacity - (head - read.load(std::memory_order_acquire));
    const size_t count = pairs < room ? pairs : static_cast<size_t>(room);
    if (count < pairs)
        dropped.store(dropped.load(std::memory_order_relaxed) + (pairs - count), std::memory_order_relaxed);
    if (count == 0)
        return 0;
    const size_t at = static_cast<size_t>(head % capacity);
    const size_t first = count < capacity - at ? count : capacity - at;
    std::memcpy(storage + 2 * at, iq, 2 * first);
    std::memcpy(storage, iq + 2 * first, 2 * (count - first));
    written.store(head + count, std::memory_order_release);
    return count;
}

size_t IqRing::Take(uint8_t *iq, size_t maxPairs)
{
    const uint64_t tail = read.load(std::memory_order_relaxed);
    const uint64_t filled = written.load(std::memory_order_acquire) - tail;
    const size_t count = maxPairs < filled ? maxPairs : static_cast<size_t>(filled);
    if (count == 0)
        return 0;
    if (iq) {
        const size_t at = static_cast<size_t>(tail % capacity);
        const size_t first = count < capacity - at ? count : capacity - at;
        std::memcpy(iq, storage + 2 * at, 2 * first);
        std::memcpy(iq + 2 * first, storage, 2 * (count - first));
    }
    read.store(tail + count, std::memory_order_release);
    return count;
}

size_t IqRing::Read(uint8_t *iq, size_t maxPairs)
{
    return iq ? Take(iq, maxPairs) : 0;
}

size_t IqRing::Skip(size_t pairs)
{
    return Take(nullptr, pairs);
}

size_t IqRing::Available() const
{
    // `read` first: it never passes the `written` loaded after it.
    const uint64_t tail = read.load(std::memory_order_acquire);
    return static_cast<size_t>(written.load(std::memory_order_acquire) - tail);
}

} // namespace sdr
