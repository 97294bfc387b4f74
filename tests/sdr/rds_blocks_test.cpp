// RDS blocks from bits: checkwords against the standard's parity-check
// matrix, block synchronisation (acquired, held, lost, moved by a bit slip),
// correction of one- and two-bit bursts and of nothing more, and the level.
#include <doctest.h>

#include <cstring>
#include <vector>

#include "rds_vectors.h"
#include "sdr/rds_blocks.h"
#include "sdr/rds_groups.h"
#include "sdrkit/rds_encoder.h"

using namespace rds_vectors;

namespace {

// Data bits as the demodulator hands them on, each with its channel bit's weight.
struct BitStream {
    std::vector<int> bits;
    std::vector<float> weights;

    void Add(int bit)
    {
        bits.push_back(bit);
        weights.push_back(1.0f);
    }
    void Add(const char *ascii)
    {
        for (const char *c = ascii; *c; ++c)
            Add(*c == '1');
    }
    void AddBlock(uint16_t data, int offset)
    {
        const uint32_t block = standard_block(data, offset);
        for (int i = 25; i >= 0; --i)
            Add(block >> i & 1);
    }
    void AddGroup(const Group &group)
    {
        const bool versionB = (group.b >> 11 & 1) != 0;
        AddBlock(group.a, A);
        AddBlock(group.b, B);
        AddBlock(group.c, versionB ? CPrime : C);
        AddBlock(group.d, D);
    }
    // An error in the channel bit that ended data bit `at`: after differential
    // decoding, it flips that data bit and the next. The demodulator saw it weak.
    void ChannelError(size_t at)
    {
        bits[at] ^= 1;
        if (at + 1 < bits.size())
            bits[at + 1] ^= 1;
        weights[at] = 0.05f;
    }
};

struct Decoded {
    std::vector<sdr::RdsBlock> blocks;
    std::vector<size_t> endBits; // the bit each block was reported at
};

Decoded feed(sdr::RdsBlockSync &sync, const BitStream &stream, size_t from = 0, size_t to = ~size_t(0))
{
    Decoded decoded;
    sdr::RdsBlock out[sdr::RdsBlockSync::MaxBlocksPerBit];
    for (size_t i = from; i < stream.bits.size() && i < to; ++i) {
        const size_t count = sync.PushBit(stream.bits[i], stream.weights[i], out);
        for (size_t k = 0; k < count; ++k) {
            decoded.blocks.push_back(out[k]);
            decoded.endBits.push_back(i);
        }
    }
    return decoded;
}

// The data of the station's blocks, by place in the group.
const uint16_t YleWords[4][4] = {
    {0x6204, 0x0130, 0x966B, 0x594C},
    {0x6204, 0x0131, 0x93CD, 0x4520},
    {0x6204, 0x0132, 0xE472, 0x5833},
    {0x6204, 0x0137, 0x966B, 0x4D20},
};

BitStream yle_groups(int count, int leadingBits)
{
    BitStream stream;
    uint32_t noise = 12345;
    for (int i = 0; i < leadingBits; ++i) {
        noise = noise * 1103515245u + 12345u;
        stream.Add(noise >> 16 & 1);
    }
    for (int g = 0; g < count; ++g)
        stream.AddGroup(YleX3m[g % 4]);
    return stream;
}

bool right_data(const sdr::RdsBlock &block, uint32_t group)
{
    return block.data == YleWords[group % 4][block.sequence % 4];
}

} // namespace

TEST_CASE("blocks: checkwords follow the standard's parity-check matrix")
{
    const uint16_t samples[] = {0x0000, 0xFFFF, 0x6204, 0x0130, 0x4D20, 0x8001, 0x1234, 0xBEEF};
    for (int offset = 0; offset < 5; ++offset) {
        CAPTURE(Offsets[offset].name);
        // The matrix's syndrome of the bare offset word is the standard's table.
        CHECK(standard_syndrome(Offsets[offset].word) == Offsets[offset].syndrome);
        for (uint16_t data : samples) {
            CAPTURE(data);
            const uint32_t block = standard_block(data, offset);
            // The receiver's remainder of a right block is its offset word,
            CHECK(sdr::rds_syndrome(block) == Offsets[offset].word);
            CHECK(sdr::rds_offset_word(static_cast<sdr::RdsOffset>(offset)) == Offsets[offset].word);
            // and the test kit's encoder builds the same block.
            CHECK(sdrkit::rds_block(data, static_cast<sdrkit::RdsOffset>(offset)) == block);
        }
    }
}

TEST_CASE("blocks: sync is found from any bit, after three offsets in order, and then holds")
{
    for (int leading : {0, 1, 7, 13, 25, 40, 77}) {
        CAPTURE(leading);
        sdr::RdsBlockSync sync;
        const BitStream stream = yle_groups(12, leading);
        const Decoded decoded = feed(sync, stream);
        REQUIRE(decoded.blocks.size() >= 40);
        CHECK(sync.Synced());
        CHECK(sync.Level() == 1000);
        // Not before the third block has ended; the first group's earlier blocks come with it.
        CHECK(decoded.endBits[0] >= static_cast<size_t>(leading) + 3 * 26 - 1);
        CHECK(decoded.blocks[0].sequence % 4 == 0);
        for (size_t i = 0; i < decoded.blocks.size(); ++i) {
            const sdr::RdsBlock &block = decoded.blocks[i];
            CHECK(block.good);
            CHECK_FALSE(block.corrected);
            CHECK(block.sequence == decoded.blocks[0].sequence + i);
            CHECK(right_data(block, static_cast<uint32_t>(i / 4)));
        }
    }
}

TEST_CASE("blocks: sync holds through some bad blocks and is lost after more than 35 of 50")
{
    sdr::RdsBlockSync sync;
    BitStream stream = yle_groups(40, 5);
    // Ruin one block in four after the tenth group: seven flipped bits each.
    for (size_t block = 40; block < 160; block += 4)
        for (size_t bit : {2, 5, 9, 13, 17, 20, 23})
            stream.bits[5 + block * 26 + bit] ^= 1;
    Decoded decoded = feed(sync, stream);
    CHECK(sync.Synced());
    const uint32_t level = sync.Level();
    MESSAGE("level with one block in four bad: " << level);
    CHECK(level > 700);
    CHECK(level < 800);
    size_t bad = 0;
    for (const sdr::RdsBlock &block : decoded.blocks)
        bad += block.good ? 0 : 1;
    CHECK(bad == 30);

    // Then nothing but noise: lost once more than 35 of the last 50 blocks are bad.
    BitStream noise;
    uint32_t random = 99;
    for (int i = 0; i < 60 * 26; ++i) {
        random = random * 1103515245u + 12345u;
        noise.Add(random >> 16 & 1);
    }
    sdr::RdsBlock out[sdr::RdsBlockSync::MaxBlocksPerBit];
    size_t blocksUntilLost = 0;
    uint32_t levelAfterTen = 0;
    for (size_t i = 0; i < noise.bits.size() && sync.Synced(); ++i) {
        blocksUntilLost += sync.PushBit(noise.bits[i], 1.0f, out);
        if (blocksUntilLost == 10)
            levelAfterTen = sync.Level();
    }
    MESSAGE("noise blocks until sync was lost: " << blocksUntilLost);
    CHECK_FALSE(sync.Synced());
    CHECK(sync.Level() == 0);
    CHECK(levelAfterTen < level - 150);
    // A quarter of the 50 were bad before: about 31 blocks of noise make more than 35.
    CHECK(blocksUntilLost >= 28);
    CHECK(blocksUntilLost <= 40);

    // Found again: the new blocks never join a group from before the loss.
    const uint32_t lastGroup = decoded.blocks.back().sequence / 4;
    const Decoded again = feed(sync, yle_groups(4, 11));
    CHECK(sync.Synced());
    REQUIRE_FALSE(again.blocks.empty());
    CHECK(again.blocks[0].sequence / 4 > lastGroup + 1);
}

TEST_CASE("blocks: a bit slip moves the grid without losing sync")
{
    for (int slip : {-1, +1}) {
        CAPTURE(slip);
        sdr::RdsBlockSync sync;
        BitStream stream = yle_groups(12, 3);
        // Half way through block 21 (group 5, block B), a bit is lost or doubled.
        const size_t at = 3 + 21 * 26 + 13;
        if (slip < 0) {
            stream.bits.erase(stream.bits.begin() + static_cast<long>(at));
            stream.weights.erase(stream.weights.begin() + static_cast<long>(at));
        } else {
            stream.bits.insert(stream.bits.begin() + static_cast<long>(at), 1);
            stream.weights.insert(stream.weights.begin() + static_cast<long>(at), 1.0f);
        }
        const Decoded decoded = feed(sync, stream);
        CHECK(sync.Synced());
        CHECK(sync.Slips() == 1);
        REQUIRE(decoded.blocks.size() == 48);
        for (size_t i = 0; i < decoded.blocks.size(); ++i) {
            CAPTURE(i);
            // The block with the slip is lost, and the one that shows the new
            // grid; every other one is right.
            const bool lost = i == 21 || i == 22;
            CHECK(decoded.blocks[i].good == !lost);
            if (!lost)
                CHECK(right_data(decoded.blocks[i], static_cast<uint32_t>(i / 4)));
        }
    }
}

TEST_CASE("blocks: recorded bit streams sync to the right PI, and noise that mimics blocks does not")
{
    sdr::RdsBlockSync sync;
    sdr::RdsTextQueue queue;
    sdr::RdsGroupDecoder decoder(queue);
    BitStream stream;
    stream.Add(VikerraadioBits);
    for (const sdr::RdsBlock &block : feed(sync, stream).blocks)
        decoder.OnBlock(block);
    CHECK(sync.Synced());
    CHECK(decoder.Pi() == VikerraadioPi);

    sdr::RdsBlockSync phantomSync;
    BitStream phantom;
    phantom.Add(PhantomBits);
    CHECK(feed(phantomSync, phantom).blocks.empty());
    CHECK_FALSE(phantomSync.Synced());
    CHECK(phantomSync.Level() == 0);
}

TEST_CASE("blocks: one bad channel bit anywhere is corrected, with or without weights")
{
    for (bool weighted : {true, false}) {
        CAPTURE(weighted);
        // Block 13 of each test (group 3, block B) takes the error; the channel
        // bit before it (-1) flips only its first data bit, its last only its last.
        for (int bit = -1; bit < 26; ++bit) {
            CAPTURE(bit);
            sdr::RdsBlockSync sync;
            BitStream stream = yle_groups(6, 0);
            const size_t at = static_cast<size_t>(13 * 26 + bit);
            stream.ChannelError(at);
            if (!weighted)
                stream.weights[at] = 1.0f;
            const Decoded decoded = feed(sync, stream);
            REQUIRE(decoded.blocks.size() == 24);
            for (size_t i = 0; i < decoded.blocks.size(); ++i) {
                CAPTURE(i);
                CHECK(decoded.blocks[i].good);
                CHECK(right_data(decoded.blocks[i], static_cast<uint32_t>(i / 4)));
            }
            // The bit before the block also ends block 12; the last one also starts block 14.
            CHECK(decoded.blocks[12].corrected == (bit == -1));
            CHECK(decoded.blocks[13].corrected);
            CHECK(decoded.blocks[14].corrected == (bit == 25));
            CHECK(sync.BlocksCorrected() == (bit == -1 || bit == 25 ? 2 : 1));
        }
    }
}

TEST_CASE("blocks: three or more bad bits are never corrected into a wrong block")
{
    // Every burst of three data bits; then every pair and every triple of bad
    // channel bits (two to six bad data bits), which a plain corrector of
    // short bursts would take for a burst elsewhere 35 and 125 times. Each
    // errored block sits among seven good ones.
    BitStream stream;
    std::vector<size_t> errored;
    auto next_errored_block = [&]() {
        for (int g = 0; g < 2; ++g)
            stream.AddGroup(YleX3m[g]);
        errored.push_back(stream.bits.size() + 26); // block B of the next group
        stream.AddGroup(YleX3m[2]);
        stream.AddGroup(YleX3m[3]);
        return errored.back();
    };
    for (int i = 0; i < 4; ++i)
        stream.AddGroup(YleX3m[i]);
    for (uint32_t burst : {0x7u, 0x5u})
        for (int shift = 0; shift + 3 <= 26; ++shift) {
            const size_t start = next_errored_block();
            for (int bit = 0; bit < 3; ++bit)
                if (burst >> bit & 1)
                    stream.bits[start + 25 - static_cast<size_t>(shift + bit)] ^= 1;
        }
    int pairs = 0, triples = 0;
    for (int a = -1; a < 26; ++a)
        for (int b = a + 1; b < 26; ++b) {
            const size_t start = next_errored_block();
            stream.ChannelError(start + static_cast<size_t>(a));
            stream.ChannelError(start + static_cast<size_t>(b));
            ++pairs;
            // Every third pair also takes a third bad bit.
            if (pairs % 3 == 0)
                for (int c = b + 1; c < 26; c += 9) {
                    const size_t third = next_errored_block();
                    stream.ChannelError(third + static_cast<size_t>(a));
                    stream.ChannelError(third + static_cast<size_t>(b));
                    stream.ChannelError(third + static_cast<size_t>(c));
                    ++triples;
                }
        }
    MESSAGE("errored blocks: " << errored.size() << " (" << pairs << " pairs, " << triples << " triples)");

    sdr::RdsBlockSync sync;
    const Decoded decoded = feed(sync, stream);
    CHECK(sync.Synced());
    size_t checked = 0, rejected = 0, undetected = 0;
    for (size_t i = 0; i < decoded.blocks.size(); ++i) {
        const sdr::RdsBlock &block = decoded.blocks[i];
        if (block.sequence % 4 != 1 || !block.good || block.data == YleWords[(i / 4) % 4][1]) {
            rejected += block.good ? 0 : 1;
            ++checked;
            continue;
        }
        // A wrong block: never from a correction, never passed on as sure.
        ++checked;
        ++undetected;
        CHECK_FALSE(block.corrected);
        CHECK_FALSE(block.sure);
    }
    MESSAGE("rejected " << rejected << ", undetectable by the checkword " << undetected);
    CHECK(checked == decoded.blocks.size());
    CHECK(rejected + undetected >= errored.size());
}
