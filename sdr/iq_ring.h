// The dongle's I/Q pairs on their way from the link thread (the one writer)
// to the signal thread (the one reader). Its storage is allocated once, at
// construction; it holds whole pairs only, so a reader always starts on an
// I byte. When it is full, what does not fit is dropped and counted: the
// writer never waits on the reader. The running totals of pairs written and
// read are the ring's positions, 64-bit so they never wrap: the link
// records the position at which it sent a new centre frequency, and the
// reader knows from its own total which pairs came after it.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace sdr {

class IqRing {
public:
    // Half a second at the dongle's 1.2 MS/s: room for the signal thread's
    // hiccups, and the most the sound can lag when it catches up.
    static constexpr size_t DefaultPairs = 600000;

    explicit IqRing(size_t capacityPairs = DefaultPairs);
    virtual ~IqRing();
    IqRing(const IqRing &) = delete;
    IqRing &operator=(const IqRing &) = delete;

    // False when the storage could not be had; the ring then takes nothing.
    bool Valid() const { return storage != nullptr; }
    size_t Capacity() const { return capacity; }

    // The writer: stores as many of `pairs` (I, Q, I, Q... bytes) as fit,
    // drops the rest and counts them. Returns the pairs stored.
    size_t Write(const uint8_t *iq, size_t pairs);

    // The reader: up to `maxPairs` pairs, the oldest first. Returns the pairs taken.
    size_t Read(uint8_t *iq, size_t maxPairs);
    // Lets up to `pairs` pairs go unread (the stretch before a retune took effect).
    size_t Skip(size_t pairs);
    size_t Available() const;

    // Running totals, from either thread.
    uint64_t PairsWritten() const { return written.load(std::memory_order_acquire); }
    uint64_t PairsRead() const { return read.load(std::memory_order_acquire); }
    uint64_t PairsDropped() const { return dropped.load(std::memory_order_relaxed); }

private:
    size_t Take(uint8_t *iq, size_t maxPairs);

    uint8_t *storage;
    size_t capacity; // in pairs
    // Each total has one writer: `written` and `dropped` the link thread, `read` the signal thread.
    std::atomic<uint64_t> written;
    std::atomic<uint64_t> dropped;
    std::atomic<uint64_t> read;
};

static_assert(std::atomic<uint64_t>::is_always_lock_free, "the ring's totals must be lock-free on both targets");

} // namespace sdr
