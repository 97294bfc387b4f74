// RDS blocks from the bit stream: the 26-bit blocks found by their
// syndromes and offset words (A, B, C, C', D), synchronisation acquired bit
// by bit and then held block by block, correction of short error bursts,
// and the block error rate.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sdr {

// The offset words added to each block's checkword, in the order of the group.
enum class RdsOffset : uint8_t { A, B, C, CPrime, D };
constexpr int RdsOffsetCount = 5;
constexpr int RdsBlockBits = 26;

uint16_t rds_offset_word(RdsOffset offset);
// The remainder of a 26-bit block divided by the code's generator
// x^10+x^8+x^7+x^5+x^4+x^3+1: a block without errors leaves its offset word.
uint16_t rds_syndrome(uint32_t block);

struct RdsBlock {
    uint32_t sequence = 0; // counts the blocks (on across syncs); % 4 is the place in the group: A, B, C or C', D
    uint16_t data = 0;
    bool good = false;     // received, or corrected
    bool corrected = false;
    bool cPrime = false;   // the third block came with offset C' (a version B group)
    // Received whole, with at most one weak bit, while few blocks fail: an
    // error that the checkword misses needs several weak bits, and comes
    // with many failing blocks.
    bool sure = false;
};

class RdsBlockSync {
public:
    static constexpr size_t MaxBlocksPerBit = 4; // a sync releases the blocks that confirmed it

    RdsBlockSync();
    virtual ~RdsBlockSync() = default;

    void Reset();
    // One data bit (after differential decoding) and the confidence of the
    // channel bit it ended with (the matched filter's magnitude, any scale;
    // equal weights when there is none). Returns the blocks this bit
    // completes, written to `out`.
    size_t PushBit(int bit, float weight, RdsBlock out[MaxBlocksPerBit]);
    bool Synced() const { return synced; }
    // 0 without sync; else 1000 x (1 - block error rate) over the last second.
    uint32_t Level() const;
    uint32_t BlocksCorrected() const { return blocksCorrected; }
    uint32_t Slips() const { return slips; } // the grid moved by a bit

private:
    struct Pulse {
        uint32_t bit;
        uint8_t place; // 0..3
        bool cPrime;
        uint16_t data;
    };

    void Acquire(RdsBlock out[], size_t &count);
    bool Check(uint32_t word, RdsOffset offset, bool allowCorrection, uint16_t &data, bool &corrected) const;
    bool Correctable(uint32_t error, uint32_t blockEndBit) const;
    void Judge(bool good, bool corrected, uint16_t data, bool cPrime, RdsBlock out[], size_t &count);
    void CheckBlock(RdsBlock out[], size_t &count);
    void CheckLateSlip(RdsBlock out[], size_t &count);
    void Slipped(uint32_t blockEndBit, RdsBlock out[], size_t &count);

    uint32_t bits;       // the latest bits received, newest in bit 0
    uint32_t bitCount;
    float weights[64];   // the channel bits' weights, by bitCount % 64
    uint32_t errorPatterns[1024]; // syndrome difference -> the correctable burst that makes it (0: none)

    bool synced;
    int versionHint;     // the group's version from its block B (1: B, C' expected), -1 when unknown
    Pulse pulses[8];
    int pulseCount;
    uint32_t nextBlockBit; // bitCount at which the next block ends
    uint32_t sequence;     // of the next block
    bool lateCheckPending;
    uint64_t errorHistory; // bit i set: the block i blocks ago was bad
    uint32_t blocksSinceSync;
    uint32_t blocksCorrected;
    uint32_t slips;
};

} // namespace sdr
