#include "rds_groups.h"

namespace sdr {

namespace {

// A PI is the station's: a new one counts once it came this many times in a row.
constexpr int PiRepeats = 3;
constexpr int GroupName = 0;
constexpr int GroupRadioText = 2;

} // namespace

RdsGroupDecoder::RdsGroupDecoder(RdsTextQueue &textQueue) : queue(textQueue)
{
    Reset();
}

void RdsGroupDecoder::Reset()
{
    name.Clear();
    radioText.Clear();
    group = ~0u;
    received = 0;
    sure = 0;
    cPrime = false;
    pi = 0;
    piCandidate = 0;
    piRepeats = 0;
    pty = 0;
    ptyCandidate = 0xFF;
    groupsDecoded = 0;
}

void RdsGroupDecoder::OnBlock(const RdsBlock &block)
{
    const uint32_t number = block.sequence / 4;
    if (number != group) {
        if (received)
            Decode();
        group = number;
        received = 0;
        sure = 0;
        cPrime = false;
    }
    const int place = static_cast<int>(block.sequence % 4);
    if (block.good) {
        words[place] = block.data;
        received |= static_cast<uint8_t>(1 << place);
        if (block.sure)
            sure |= static_cast<uint8_t>(1 << place);
        if (place == 2)
            cPrime = block.cPrime;
    }
    if (place == 3) {
        if (received)
            Decode();
        received = 0;
        sure = 0;
    }
}

void RdsGroupDecoder::TakePi(uint16_t code)
{
    if (code == 0)
        return; // never a station's; broken encoders send it
    if (code == piCandidate) {
        ++piRepeats;
    } else {
        piCandidate = code;
        piRepeats = 1;
    }
    if (piRepeats < PiRepeats || code == pi)
        return;
    if (pi != 0) {
        // Another station: nothing the old one sent stays.
        name.Clear();
        radioText.Clear();
        pty = 0;
        ptyCandidate = 0xFF;
    }
    pi = code;
}

bool RdsGroupDecoder::SameStation(bool havePi, uint16_t groupPi) const
{
    if (!havePi)
        return true;
    return groupPi == (pi != 0 ? pi : piCandidate);
}

void RdsGroupDecoder::Decode()
{
    if (received == 0xF)
        ++groupsDecoded;
    const bool haveA = received & 1;
    const bool haveB = received & 2;
    const bool haveC = received & 4;
    const bool haveD = received & 8;
    // Version B groups repeat the PI in block C, with offset C'.
    const bool piInC = haveC && cPrime;
    const bool havePi = haveA || piInC;
    const uint16_t groupPi = haveA ? words[0] : words[2];
    if (haveA)
        TakePi(words[0]);
    if (piInC && !(haveA && words[0] == words[2]))
        TakePi(words[2]);
    if (!haveB || !SameStation(havePi, groupPi))
        return;

    const uint16_t b = words[1];
    const int type = b >> 12;
    const bool versionB = (b >> 11 & 1) != 0;
    // Block C's offset must agree with block B's version, or one of them is wrong.
    if (haveC && cPrime != versionB)
        return;
    const uint8_t programmeType = static_cast<uint8_t>(b >> 5 & 0x1F);
    if (programmeType == ptyCandidate)
        pty = programmeType; // seen twice in a row
    ptyCandidate = programmeType;

    if (type == GroupName && haveD) {
        if (name.Add(b & 3, static_cast<uint8_t>(words[3] >> 8), static_cast<uint8_t>(words[3])))
            queue.Put(name.Name());
    } else if (type == GroupRadioText && haveD && (versionB || haveC)) {
        uint8_t characters[4];
        const uint16_t *from = versionB ? &words[3] : &words[2];
        for (int i = 0; i < (versionB ? 2 : 4); i += 2) {
            characters[i] = static_cast<uint8_t>(from[i / 2] >> 8);
            characters[i + 1] = static_cast<uint8_t>(from[i / 2]);
        }
        const uint8_t used = versionB ? 0xA : 0xE; // B and D, or B, C and D
        if (radioText.Add(versionB, (b >> 4 & 1) != 0, b & 0xF, characters, (sure & used) == used))
            queue.Put(radioText.Text());
    }
}

} // namespace sdr
