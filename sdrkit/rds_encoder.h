// The RDS side of a generated station, written from the RDS standard
// (IEC 62106) on its own, apart from the receiver's decoder, so that the two
// cannot share a mistake: the groups a station sends (0A or 0B for its name,
// 2A or 2B for its RadioText), the blocks with their checkwords and offset
// words, the differential coding, and the shaped biphase baseband signal.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sdrkit {

struct RdsProgramme {
    uint16_t pi = 0;
    uint8_t pty = 0;
    bool trafficProgramme = false;
    char name[9] = {};         // the programme service name, padded to 8 with spaces
    char radioText[65] = {};   // up to 64 characters; shorter ones end with 0x0D on the air
    bool textFlagB = false;    // the RadioText A/B flag
    bool nameGroupsB = false;  // 0B instead of 0A
    bool textGroupsB = false;  // 2B (32 characters at most) instead of 2A
    bool padText = false;      // pad a short text with spaces to the full length instead of ending it with 0x0D
};

// The offset words of the RDS standard, added to each block's checkword.
enum class RdsOffset : uint8_t { A, B, C, CPrime, D };
uint16_t rds_offset_word(RdsOffset offset);
// The 10-bit checkword of 16 data bits (generator x^10+x^8+x^7+x^5+x^4+x^3+1).
uint16_t rds_checkword(uint16_t data);
// A 26-bit block: the data above the checkword plus the offset word.
uint32_t rds_block(uint16_t data, RdsOffset offset);

class RdsEncoder {
public:
    RdsEncoder();
    virtual ~RdsEncoder() = default;

    // Takes effect at the next group.
    void SetProgramme(const RdsProgramme &programme);
    const RdsProgramme &Programme() const { return programme; }

    // The station's next group as four 26-bit blocks, in its order: a name
    // group and a text group by turns (name groups only without a text).
    void NextGroup(uint32_t blocks[4]);
    // The next bit on the air, differentially coded, first bit of each block first.
    int NextChannelBit();

private:
    void NameGroup(uint16_t words[4], RdsOffset &third);
    void TextGroup(uint16_t words[4], RdsOffset &third);
    int TextSegments() const;
    char TextCharacter(int at) const;

    RdsProgramme programme;
    int nameSegment;
    int textSegment;
    bool textTurn;
    uint32_t group[4];
    int bitInGroup; // 104 when a new group is due
    int lastChannelBit;
};

// The baseband RDS signal, +-1 at its peaks: each channel bit an odd impulse
// pair shaped by the standard's cosine filter, so its spectrum ends at
// 2.4 kHz. Its clock is given in bits, so a station can lock it to its pilot
// (a bit is 48 cycles of 57 kHz).
class RdsWaveform {
public:
    explicit RdsWaveform(RdsEncoder &encoder);
    virtual ~RdsWaveform() = default;
    // The signal at `bits` bit times from the start; calls must not go back in time.
    float At(double bits);

private:
    RdsEncoder &encoder;
    static constexpr int Span = 5; // bits a shaped symbol reaches over
    int symbols[Span];             // +-1 for the bits around the current one
    long long firstBit;            // the bit symbols[0] belongs to
    bool started;
};

} // namespace sdrkit
