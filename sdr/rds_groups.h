// RDS groups from their blocks: the station's PI (a new one only after it
// repeats), its programme type, its name (0A/0B) and its RadioText (2A/2B).
// A new PI clears what the old station sent; complete receptions go to the
// text queue.
#pragma once

#include <cstdint>

#include "rds_blocks.h"
#include "rds_text.h"
#include "rds_text_queue.h"

namespace sdr {

class RdsGroupDecoder {
public:
    explicit RdsGroupDecoder(RdsTextQueue &queue);
    virtual ~RdsGroupDecoder() = default;

    void Reset();
    void OnBlock(const RdsBlock &block);

    uint16_t Pi() const { return pi; } // 0 until confirmed
    uint8_t Pty() const { return pty; }
    const char *Name() const { return name.Name(); }
    const char *RadioText() const { return radioText.Text(); }
    uint32_t GroupsDecoded() const { return groupsDecoded; }

private:
    void Decode();
    void TakePi(uint16_t code);
    bool SameStation(bool havePi, uint16_t groupPi) const;

    RdsTextQueue &queue;
    RdsNameCollector name;
    RdsRadioTextCollector radioText;

    // The group being gathered.
    uint32_t group;  // its number (the blocks' sequence / 4)
    uint16_t words[4];
    uint8_t received; // bit i: block i is good
    uint8_t sure;     // bit i: block i is sure
    bool cPrime;

    uint16_t pi;
    uint16_t piCandidate;
    int piRepeats;
    uint8_t pty;
    uint8_t ptyCandidate;
    uint32_t groupsDecoded;
};

} // namespace sdr
