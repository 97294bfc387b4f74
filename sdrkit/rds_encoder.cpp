#include "rds_encoder.h"

#include <cmath>
#include <cstring>

namespace sdrkit {

namespace {

constexpr uint16_t Offsets[] = {0x0FC, 0x198, 0x168, 0x350, 0x1B4}; // A, B, C, C', D
constexpr uint32_t Generator = 0x5B9;                               // x^10+x^8+x^7+x^5+x^4+x^3+1
constexpr int BlockBits = 26;
constexpr int GroupBits = 4 * BlockBits;
constexpr uint16_t NoAlternativeFrequencies = 0xE0CD; // "no AF" (224) and the filler code (205)

// Block B's common head: group type, version, traffic programme, programme type.
uint16_t block_b_head(int type, bool versionB, const RdsProgramme &programme)
{
    return static_cast<uint16_t>(type << 12 | (versionB ? 1 : 0) << 11 | (programme.trafficProgramme ? 1 : 0) << 10 |
                                 (programme.pty & 0x1F) << 5);
}

// The shaped odd impulse pair of one bit, in bit periods u from the bit's start.
// The standard's shaping filter is cos(pi f td / 4) up to 2/td; its impulse response
// h(u) = (pi/2) cos(4 pi u) / ((pi/4)^2 - (2 pi u)^2), with the limit 2 pi at u = 1/8.
double shaped_impulse(double u)
{
    const double denominator = (M_PI / 4) * (M_PI / 4) - (2 * M_PI * u) * (2 * M_PI * u);
    if (std::fabs(denominator) < 1e-9)
        return 2 * M_PI;
    return (M_PI / 2) * std::cos(4 * M_PI * u) / denominator;
}

constexpr double TableFrom = -2.5; // bit periods
constexpr int TableSteps = 1024;   // per bit period
constexpr int TableSize = static_cast<int>(5.5 * TableSteps) + 2;

const float *pulse_table()
{
    static float table[TableSize];
    static bool built = false;
    if (!built) {
        double peak = 0;
        for (int i = 0; i < TableSize; ++i) {
            const double u = TableFrom + static_cast<double>(i) / TableSteps;
            const double value = shaped_impulse(u) - shaped_impulse(u - 0.5);
            table[i] = static_cast<float>(value);
            peak = std::fmax(peak, std::fabs(value));
        }
        for (float &value : table)
            value = static_cast<float>(value / peak);
        built = true;
    }
    return table;
}

float pulse(double u)
{
    const double position = (u - TableFrom) * TableSteps;
    if (position < 0 || position >= TableSize - 1)
        return 0;
    const int index = static_cast<int>(position);
    const float fraction = static_cast<float>(position - index);
    const float *table = pulse_table();
    return table[index] + (table[index + 1] - table[index]) * fraction;
}

} // namespace

uint16_t rds_offset_word(RdsOffset offset)
{
    return Offsets[static_cast<int>(offset)];
}

uint16_t rds_checkword(uint16_t data)
{
    // The remainder of data * x^10 divided by the generator, bit by bit.
    uint32_t remainder = static_cast<uint32_t>(data) << 10;
    for (int bit = 25; bit >= 10; --bit)
        if (remainder & (1u << bit))
            remainder ^= Generator << (bit - 10);
    return static_cast<uint16_t>(remainder & 0x3FF);
}

uint32_t rds_block(uint16_t data, RdsOffset offset)
{
    return static_cast<uint32_t>(data) << 10 | static_cast<uint32_t>(rds_checkword(data) ^ rds_offset_word(offset));
}

RdsEncoder::RdsEncoder()
    : programme(), nameSegment(0), textSegment(0), textTurn(false), group{}, bitInGroup(GroupBits), lastChannelBit(0)
{
    std::memset(programme.name, ' ', 8);
}

void RdsEncoder::SetProgramme(const RdsProgramme &next)
{
    programme = next;
    // Names are always 8 characters on the air.
    size_t length = std::strlen(programme.name);
    for (size_t i = length; i < 8; ++i)
        programme.name[i] = ' ';
    programme.name[8] = '\0';
    if (textSegment >= TextSegments())
        textSegment = 0;
}

int RdsEncoder::TextSegments() const
{
    const int perSegment = programme.textGroupsB ? 2 : 4;
    const int capacity = programme.textGroupsB ? 32 : 64;
    const int length = static_cast<int>(std::strlen(programme.radioText));
    if (length == 0)
        return 0;
    if (programme.padText || length >= capacity)
        return capacity / perSegment;
    // The text and its end mark.
    return (length + 1 + perSegment - 1) / perSegment;
}

char RdsEncoder::TextCharacter(int at) const
{
    const int length = static_cast<int>(std::strlen(programme.radioText));
    if (at < length)
        return programme.radioText[at];
    if (at == length && !programme.padText)
        return '\r';
    return ' ';
}

void RdsEncoder::NameGroup(uint16_t words[4], RdsOffset &third)
{
    const bool versionB = programme.nameGroupsB;
    words[1] = static_cast<uint16_t>(block_b_head(0, versionB, programme) | nameSegment);
    words[2] = versionB ? programme.pi : NoAlternativeFrequencies;
    third = versionB ? RdsOffset::CPrime : RdsOffset::C;
    const auto first = static_cast<unsigned char>(programme.name[2 * nameSegment]);
    const auto second = static_cast<unsigned char>(programme.name[2 * nameSegment + 1]);
    words[3] = static_cast<uint16_t>(first << 8 | second);
    nameSegment = (nameSegment + 1) % 4;
}

void RdsEncoder::TextGroup(uint16_t words[4], RdsOffset &third)
{
    const bool versionB = programme.textGroupsB;
    words[1] = static_cast<uint16_t>(block_b_head(2, versionB, programme) | (programme.textFlagB ? 1 : 0) << 4 |
                                     textSegment);
    auto character = [this](int at) { return static_cast<unsigned char>(TextCharacter(at)); };
    if (versionB) {
        words[2] = programme.pi;
        third = RdsOffset::CPrime;
        words[3] = static_cast<uint16_t>(character(2 * textSegment) << 8 | character(2 * textSegment + 1));
    } else {
        third = RdsOffset::C;
        words[2] = static_cast<uint16_t>(character(4 * textSegment) << 8 | character(4 * textSegment + 1));
        words[3] = static_cast<uint16_t>(character(4 * textSegment + 2) << 8 | character(4 * textSegment + 3));
    }
    textSegment = (textSegment + 1) % TextSegments();
}

void RdsEncoder::NextGroup(uint32_t blocks[4])
{
    uint16_t words[4] = {programme.pi, 0, 0, 0};
    RdsOffset third = RdsOffset::C;
    if (textTurn && TextSegments() > 0)
        TextGroup(words, third);
    else
        NameGroup(words, third);
    textTurn = !textTurn;
    blocks[0] = rds_block(words[0], RdsOffset::A);
    blocks[1] = rds_block(words[1], RdsOffset::B);
    blocks[2] = rds_block(words[2], third);
    blocks[3] = rds_block(words[3], RdsOffset::D);
}

int RdsEncoder::NextChannelBit()
{
    if (bitInGroup == GroupBits) {
        NextGroup(group);
        bitInGroup = 0;
    }
    const int block = bitInGroup / BlockBits;
    const int bit = BlockBits - 1 - bitInGroup % BlockBits;
    ++bitInGroup;
    const int data = static_cast<int>(group[block] >> bit & 1);
    lastChannelBit ^= data; // differential coding: a 1 changes the level
    return lastChannelBit;
}

RdsWaveform::RdsWaveform(RdsEncoder &source) : encoder(source), symbols{}, firstBit(-Span / 2), started(false)
{
    pulse_table();
}

float RdsWaveform::At(double bits)
{
    if (!started) {
        // Bits before the first are silence; the encoder's programme is set by now.
        for (int i = 0; i < Span; ++i)
            symbols[i] = firstBit + i >= 0 ? (encoder.NextChannelBit() ? 1 : -1) : 0;
        started = true;
    }
    // Keep the window of symbols centred on the current bit.
    const long long current = static_cast<long long>(std::floor(bits));
    while (firstBit + Span / 2 < current) {
        for (int i = 0; i + 1 < Span; ++i)
            symbols[i] = symbols[i + 1];
        ++firstBit;
        const long long newest = firstBit + Span - 1;
        symbols[Span - 1] = newest >= 0 ? (encoder.NextChannelBit() ? 1 : -1) : 0;
    }
    float value = 0;
    for (int i = 0; i < Span; ++i)
        if (symbols[i])
            value += static_cast<float>(symbols[i]) * pulse(bits - static_cast<double>(firstBit + i));
    return value;
}

} // namespace sdrkit
