// The texts RDS sends in numbered segments, collected so that only whole
// and consistent ones come out: the programme service name (four segments
// of two characters, shown once a second reception agrees) and the
// RadioText (up to sixteen segments of four characters in 2A groups or of
// two in 2B, complete at its 0x0D end mark or when full).
#pragma once

#include <cstddef>
#include <cstdint>

namespace sdr {

// The segments of one text. A segment that arrives changed restarts the
// collection, so a reception never mixes an old text with a new one. A
// reception is complete when every segment it needs has arrived since the
// last one was complete. A segment that is not sure (from a corrected or
// weak block) counts only once a second reception agrees with it.
class RdsSegments {
public:
    static constexpr int MaxCharacters = 64;
    static constexpr uint8_t EndMark = 0x0D;

    RdsSegments(int segmentSize, int segmentCount, bool endMark);
    virtual ~RdsSegments() = default;

    void Clear();
    // Returns the length of the reception this segment completes (up to
    // the end mark, or all of it), else -1.
    int Add(int segment, const uint8_t *characters, bool sure);
    const uint8_t *Characters() const { return characters; }

private:
    int size;
    int count;
    bool endMark;
    uint8_t characters[MaxCharacters];
    uint8_t doubtful[MaxCharacters]; // segments that were not sure, waiting for a second reception
    uint32_t waiting;
    uint32_t stored; // segments of the current text
    uint32_t fresh;  // of those, the ones received since the last complete reception
};

class RdsNameCollector {
public:
    static constexpr int Length = 8;

    RdsNameCollector();
    virtual ~RdsNameCollector() = default;

    void Clear();
    // One segment (0..3) of the name; true when it completes a reception
    // that agrees with the one before, which is then the name. (That
    // agreement covers doubtful segments too.)
    bool Add(int segment, uint8_t first, uint8_t second);
    // The confirmed name in Windows-1252, empty when none.
    const char *Name() const { return shown; }

private:
    RdsSegments segments;
    uint8_t candidate[Length];
    int receptions; // of the candidate, in a row
    char shown[Length + 1];
};

class RdsRadioTextCollector {
public:
    RdsRadioTextCollector();
    virtual ~RdsRadioTextCollector() = default;

    void Clear();
    // One segment (0..15) from a 2A group (four characters) or a 2B group
    // (two); true when it completes a reception, which is then the text.
    bool Add(bool versionB, bool flagB, int segment, const uint8_t *characters, bool sure);
    // The last complete text in Windows-1252, without trailing spaces; empty when none.
    const char *Text() const { return shown; }

private:
    RdsSegments groupsA;
    RdsSegments groupsB;
    bool collectingB;
    int flag;      // the A/B flag of the current text, -1 before the first
    int flipsSeen; // doubtful groups in a row with the other flag
    char shown[RdsSegments::MaxCharacters + 1];
};

} // namespace sdr
