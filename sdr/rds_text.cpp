#include "rds_text.h"

#include <cstring>

#include "rds_charset.h"

namespace sdr {

RdsSegments::RdsSegments(int segmentSize, int segmentCount, bool ends)
    : size(segmentSize), count(segmentCount), endMark(ends)
{
    Clear();
}

void RdsSegments::Clear()
{
    std::memset(characters, ' ', sizeof characters);
    std::memset(doubtful, 0, sizeof doubtful);
    waiting = 0;
    stored = 0;
    fresh = 0;
}

int RdsSegments::Add(int segment, const uint8_t *received, bool sure)
{
    if (segment < 0 || segment >= count)
        return -1;
    uint8_t *at = characters + segment * size;
    const uint32_t bit = 1u << segment;
    if (!sure && !((stored & bit) && std::memcmp(at, received, size) == 0)) {
        uint8_t *before = doubtful + segment * size;
        const bool agrees = (waiting & bit) && std::memcmp(before, received, size) == 0;
        if (!agrees) {
            std::memcpy(before, received, size);
            waiting |= bit;
            return -1;
        }
    }
    waiting &= ~bit;
    if ((stored & bit) && std::memcmp(at, received, size) != 0)
        stored = fresh = 0; // the text changed: start again from this segment
    std::memcpy(at, received, size);
    stored |= bit;
    fresh |= bit;

    // Complete when every segment up to the end mark, or every segment, is here.
    for (int s = 0; s < count; ++s) {
        if (!(stored & fresh & (1u << s)))
            return -1;
        if (endMark)
            for (int i = s * size; i < (s + 1) * size; ++i)
                if (characters[i] == EndMark) {
                    fresh = 0;
                    return i;
                }
    }
    fresh = 0;
    return count * size;
}

RdsNameCollector::RdsNameCollector() : segments(2, Length / 2, false)
{
    Clear();
}

void RdsNameCollector::Clear()
{
    segments.Clear();
    std::memset(candidate, 0, sizeof candidate);
    receptions = 0;
    shown[0] = '\0';
}

bool RdsNameCollector::Add(int segment, uint8_t first, uint8_t second)
{
    const uint8_t pair[2] = {first, second};
    if (segments.Add(segment, pair, true) < 0)
        return false;
    if (receptions > 0 && std::memcmp(candidate, segments.Characters(), Length) == 0) {
        ++receptions;
    } else {
        std::memcpy(candidate, segments.Characters(), Length);
        receptions = 1;
    }
    if (receptions < 2)
        return false;
    rds_text(candidate, Length, shown);
    return true;
}

RdsRadioTextCollector::RdsRadioTextCollector() : groupsA(4, 16, true), groupsB(2, 16, true)
{
    Clear();
}

void RdsRadioTextCollector::Clear()
{
    groupsA.Clear();
    groupsB.Clear();
    collectingB = false;
    flag = -1;
    flipsSeen = 0;
    shown[0] = '\0';
}

bool RdsRadioTextCollector::Add(bool versionB, bool flagB, int segment, const uint8_t *characters, bool sure)
{
    // A flipped A/B flag announces a new text: the old one goes at once.
    // From a doubtful block, only when the next group says so too.
    if (flag >= 0 && flag != (flagB ? 1 : 0)) {
        if (!sure && ++flipsSeen < 2)
            return false;
        Clear();
    }
    flag = flagB ? 1 : 0;
    flipsSeen = 0;
    // 2A and 2B texts are never mixed.
    if (versionB != collectingB) {
        groupsA.Clear();
        groupsB.Clear();
        collectingB = versionB;
    }
    RdsSegments &segments = versionB ? groupsB : groupsA;
    const int length = segments.Add(segment, characters, sure);
    if (length < 0)
        return false;
    size_t end = rds_text(segments.Characters(), static_cast<size_t>(length), shown);
    while (end > 0 && shown[end - 1] == ' ')
        shown[--end] = '\0';
    return true;
}

} // namespace sdr
