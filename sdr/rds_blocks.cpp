#include "rds_blocks.h"

#include <cstring>

namespace sdr {

namespace {

constexpr uint16_t OffsetWords[RdsOffsetCount] = {0x0FC, 0x198, 0x168, 0x350, 0x1B4}; // A, B, C, C', D
constexpr uint32_t Generator = 0x5B9;
constexpr uint32_t BlockMask = (1u << RdsBlockBits) - 1;

// Confirmed by three offsets at the right spacing and in the right order,
// all within six blocks: two can line up by chance in noise.
constexpr int PulsesForSync = 3;
constexpr uint32_t SyncSpanBits = 6 * RdsBlockBits;
// Lost after more than 35 bad blocks among the last 50.
constexpr uint32_t LossWindow = 50;
constexpr uint32_t LossBad = 35;
// The level's window: about a second of blocks (45.7 a second).
constexpr uint32_t LevelWindow = 46;
// A correction must fall on one of the two weakest channel bits of the
// block: the errors a miscorrection would hide lie elsewhere, on weak bits.
constexpr int WeakerBitsAllowed = 2;
// A sure block: no bit weaker than this part of the bits' RMS but one, and
// a level (good blocks in a thousand) of at least this.
constexpr float WeakBit = 0.3f;
constexpr int WeakBitsSure = 1;
constexpr uint32_t LevelSure = 800;

int place_of(RdsOffset offset)
{
    return offset == RdsOffset::D ? 3 : offset == RdsOffset::CPrime ? 2 : static_cast<int>(offset);
}

uint32_t ones_in_last(uint64_t history, uint32_t count)
{
    const uint64_t mask = count >= 64 ? ~0ull : (1ull << count) - 1;
    return static_cast<uint32_t>(__builtin_popcountll(history & mask));
}

} // namespace

uint16_t rds_offset_word(RdsOffset offset)
{
    return OffsetWords[static_cast<int>(offset)];
}

uint16_t rds_syndrome(uint32_t block)
{
    uint32_t remainder = block & BlockMask;
    for (int bit = RdsBlockBits - 1; bit >= 10; --bit)
        if (remainder >> bit & 1)
            remainder ^= Generator << (bit - 10);
    return static_cast<uint16_t>(remainder);
}

RdsBlockSync::RdsBlockSync()
{
    // The bursts of one or two bits: a channel bit's error flips two
    // neighbouring data bits after differential decoding.
    std::memset(errorPatterns, 0, sizeof errorPatterns);
    for (int shift = 0; shift < RdsBlockBits; ++shift) {
        errorPatterns[rds_syndrome(1u << shift)] = 1u << shift;
        if (shift + 1 < RdsBlockBits)
            errorPatterns[rds_syndrome(3u << shift)] = 3u << shift;
    }
    Reset();
}

void RdsBlockSync::Reset()
{
    bits = 0;
    bitCount = 0;
    for (float &weight : weights)
        weight = 1;
    synced = false;
    versionHint = -1;
    pulseCount = 0;
    nextBlockBit = 0;
    sequence = 0;
    lateCheckPending = false;
    errorHistory = 0;
    blocksSinceSync = 0;
    blocksCorrected = 0;
    slips = 0;
}

uint32_t RdsBlockSync::Level() const
{
    if (!synced || blocksSinceSync == 0)
        return 0;
    const uint32_t window = blocksSinceSync < LevelWindow ? blocksSinceSync : LevelWindow;
    return 1000 * (window - ones_in_last(errorHistory, window)) / window;
}

size_t RdsBlockSync::PushBit(int bit, float weight, RdsBlock out[MaxBlocksPerBit])
{
    bits = bits << 1 | (bit ? 1u : 0u);
    weights[bitCount & 63] = weight;
    ++bitCount;
    size_t count = 0;
    if (!synced) {
        if (bitCount >= RdsBlockBits)
            Acquire(out, count);
    } else if (lateCheckPending) {
        CheckLateSlip(out, count);
    } else if (bitCount - 1 == nextBlockBit) {
        CheckBlock(out, count);
    }
    return count;
}

void RdsBlockSync::Acquire(RdsBlock out[], size_t &count)
{
    const uint32_t word = bits & BlockMask;
    const uint16_t syndrome = rds_syndrome(word);
    int found = -1;
    for (int offset = 0; offset < RdsOffsetCount; ++offset)
        if (syndrome == OffsetWords[offset])
            found = offset;
    if (found < 0)
        return;

    const Pulse pulse{bitCount - 1, static_cast<uint8_t>(place_of(static_cast<RdsOffset>(found))),
                      found == static_cast<int>(RdsOffset::CPrime), static_cast<uint16_t>(word >> 10)};
    // The earlier pulses on this one's grid, in the right order.
    const Pulse *agreeing[8];
    int agree = 0;
    for (int i = 0; i < pulseCount; ++i) {
        const Pulse &earlier = pulses[i];
        const uint32_t distance = pulse.bit - earlier.bit;
        if (distance == 0 || distance > SyncSpanBits || distance % RdsBlockBits != 0)
            continue;
        const uint32_t blocks = distance / RdsBlockBits;
        if ((earlier.place + blocks) % 4 == pulse.place)
            agreeing[agree++] = &earlier;
    }

    if (agree + 1 < PulsesForSync) {
        // Keep the latest pulses; older ones are out of reach anyway.
        if (pulseCount == 8) {
            std::memmove(pulses, pulses + 1, sizeof(Pulse) * 7);
            --pulseCount;
        }
        pulses[pulseCount++] = pulse;
        return;
    }

    synced = true;
    errorHistory = 0;
    blocksSinceSync = 0;
    versionHint = -1;
    // The count goes on from the last sync, two groups further, so that no
    // block joins a group from before, and the confirming blocks of this
    // group keep their places.
    const uint32_t pulseSequence = (sequence / 4 + 2) * 4 + pulse.place;
    for (int i = 0; i < agree; ++i) {
        const uint32_t earlierSequence = pulseSequence - (pulse.bit - agreeing[i]->bit) / RdsBlockBits;
        if (earlierSequence / 4 != pulseSequence / 4)
            continue;
        sequence = earlierSequence;
        Judge(true, false, agreeing[i]->data, agreeing[i]->cPrime, out, count);
    }
    sequence = pulseSequence;
    nextBlockBit = pulse.bit + RdsBlockBits;
    pulseCount = 0;
    Judge(true, false, pulse.data, pulse.cPrime, out, count);
}

bool RdsBlockSync::Correctable(uint32_t error, uint32_t blockEndBit) const
{
    // The channel bit whose error explains the burst, counted from the
    // block's first bit: a pair at k, k+1 comes from channel bit k; the
    // block's first bit alone from the bit before the block; its last bit
    // alone from itself; any other single bit from a carrier slip between
    // two weak bits.
    const uint32_t start = blockEndBit - (RdsBlockBits - 1);
    int low = 0;
    while (!(error >> low & 1))
        ++low;
    const bool pair = (error >> (low + 1) & 1) != 0;
    const int first = RdsBlockBits - 1 - (pair ? low + 1 : low); // from the block's start
    float weight;
    if (pair || first == 0)
        weight = weights[(start + static_cast<uint32_t>(first) - (pair ? 0 : 1)) & 63];
    else if (first == RdsBlockBits - 1)
        weight = weights[(start + static_cast<uint32_t>(first)) & 63];
    else {
        const float before = weights[(start + static_cast<uint32_t>(first) - 1) & 63];
        const float at = weights[(start + static_cast<uint32_t>(first)) & 63];
        weight = before < at ? before : at;
    }
    int weaker = 0;
    for (uint32_t i = 0; i <= RdsBlockBits; ++i)
        if (weights[(start - 1 + i) & 63] < weight)
            ++weaker;
    return weaker < WeakerBitsAllowed;
}

bool RdsBlockSync::Check(uint32_t word, RdsOffset offset, bool allowCorrection, uint16_t &data,
                         bool &corrected) const
{
    const uint32_t difference = rds_syndrome(word) ^ OffsetWords[static_cast<int>(offset)];
    corrected = false;
    if (difference != 0) {
        const uint32_t error = allowCorrection ? errorPatterns[difference] : 0;
        if (error == 0 || !Correctable(error, bitCount - 1))
            return false;
        word ^= error;
        corrected = true;
    }
    data = static_cast<uint16_t>(word >> 10);
    return true;
}

void RdsBlockSync::CheckBlock(RdsBlock out[], size_t &count)
{
    const int place = static_cast<int>(sequence % 4);
    const uint32_t word = bits & BlockMask;
    uint16_t data = 0;
    bool corrected = false;
    if (place != 2) {
        const RdsOffset offset = place == 3 ? RdsOffset::D : static_cast<RdsOffset>(place);
        if (Check(word, offset, true, data, corrected)) {
            Judge(true, corrected, data, false, out, count);
            nextBlockBit += RdsBlockBits;
            return;
        }
        if (Check(bits >> 1 & BlockMask, offset, false, data, corrected)) {
            Slipped(bitCount - 2, out, count); // a bit too many came through
            return;
        }
    } else {
        // Block C, or C' in a version B group.
        uint16_t dataC = 0, dataCPrime = 0;
        bool correctedC = false, correctedCPrime = false;
        const bool c = Check(word, RdsOffset::C, versionHint != 1, dataC, correctedC);
        const bool cPrime = Check(word, RdsOffset::CPrime, versionHint != 0, dataCPrime, correctedCPrime);
        const bool exactC = c && !correctedC;
        const bool exactCPrime = cPrime && !correctedCPrime;
        if (exactC || (c && !cPrime)) {
            Judge(true, correctedC, dataC, false, out, count);
            nextBlockBit += RdsBlockBits;
            return;
        }
        if (exactCPrime || (cPrime && !c)) {
            Judge(true, correctedCPrime, dataCPrime, true, out, count);
            nextBlockBit += RdsBlockBits;
            return;
        }
        if (!c && !cPrime) {
            const uint32_t early = bits >> 1 & BlockMask;
            const bool earlyC = Check(early, RdsOffset::C, false, dataC, correctedC);
            const bool earlyCPrime = !earlyC && Check(early, RdsOffset::CPrime, false, dataCPrime, correctedCPrime);
            if (earlyC || earlyCPrime) {
                Slipped(bitCount - 2, out, count);
                return;
            }
        }
    }
    // Maybe a bit went missing: the block ends with the next one.
    lateCheckPending = true;
}

void RdsBlockSync::CheckLateSlip(RdsBlock out[], size_t &count)
{
    lateCheckPending = false;
    const int place = static_cast<int>(sequence % 4);
    const uint32_t word = bits & BlockMask;
    uint16_t data = 0;
    bool corrected = false;
    const bool found = place == 2 ? Check(word, RdsOffset::C, false, data, corrected) ||
                                        Check(word, RdsOffset::CPrime, false, data, corrected)
                                  : Check(word, place == 3 ? RdsOffset::D : static_cast<RdsOffset>(place), false,
                                          data, corrected);
    if (found) {
        Slipped(bitCount - 1, out, count); // a bit went missing
        return;
    }
    nextBlockBit += RdsBlockBits;
    Judge(false, false, 0, false, out, count);
}

void RdsBlockSync::Slipped(uint32_t blockEndBit, RdsBlock out[], size_t &count)
{
    // The grid moves to the block found a bit off. Its data is not used: a
    // shifted window matches by chance one time in 1024, and then it is
    // not a block at all.
    nextBlockBit = blockEndBit + RdsBlockBits;
    ++slips;
    Judge(false, false, 0, false, out, count);
}

void RdsBlockSync::Judge(bool good, bool corrected, uint16_t data, bool cPrime, RdsBlock out[], size_t &count)
{
    RdsBlock &block = out[count++];
    block.sequence = sequence;
    block.data = good ? data : 0;
    block.good = good;
    block.corrected = good && corrected;
    block.cPrime = cPrime;
    // The block's channel bits and the one before it.
    int weak = 0;
    for (uint32_t i = 0; i <= RdsBlockBits; ++i)
        if (weights[(bitCount - 1 - i) & 63] < WeakBit)
            ++weak;
    block.sure = good && !corrected && weak <= WeakBitsSure && Level() >= LevelSure;
    const int place = static_cast<int>(sequence % 4);
    if (place == 0)
        versionHint = -1;
    else if (place == 1 && good)
        versionHint = data >> 11 & 1;
    ++sequence;

    errorHistory = errorHistory << 1 | (good ? 0u : 1u);
    ++blocksSinceSync;
    if (block.corrected)
        ++blocksCorrected;
    const uint32_t window = blocksSinceSync < LossWindow ? blocksSinceSync : LossWindow;
    if (ones_in_last(errorHistory, window) > LossBad) {
        synced = false;
        pulseCount = 0;
        errorHistory = 0;
        blocksSinceSync = 0;
    }
}

} // namespace sdr
