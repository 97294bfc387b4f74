#include "card_log.h"

#include <cstring>

#include "device/tuner_protocol.h"

namespace testing {

namespace {

int32_t word_at(const CardLogEntry &entry, size_t offset)
{
    int32_t word = 0;
    std::memcpy(&word, entry.input + offset, sizeof(word));
    return word;
}

} // namespace

std::string Describe(const CardLogEntry &entry)
{
    std::string name = "request 0x";
    char hex[16];
    std::snprintf(hex, sizeof(hex), "%X", entry.code);
    name += hex;
    for (const TunerRequestLayout &layout : TunerRequestLayouts)
        if (layout.code == entry.code)
            name = layout.name;
    std::string text = name + "(";
    if (entry.code == TUNER_READ_RDS_TEXT || entry.code == TUNER_RDS_LEVEL_TICK) {
        // Their input is a buffer, not an argument.
    } else if (entry.inputSize == 2) {
        uint16_t half = 0;
        std::memcpy(&half, entry.input, sizeof(half));
        text += std::to_string(half);
    } else if (entry.inputSize == 4) {
        text += std::to_string(word_at(entry, 0));
    } else if (entry.inputSize == 8) {
        text += std::to_string(word_at(entry, 0)) + "," + std::to_string(word_at(entry, 4));
    }
    text += ")";
    if (!entry.success)
        text += " failed";
    return text;
}

bool IsWatchTraffic(const CardLogEntry &entry)
{
    return entry.code == TUNER_POLL_CARD || entry.code == TUNER_IS_STEREO || entry.code == TUNER_RDS_LEVEL_TICK ||
           entry.code == TUNER_READ_RDS_TEXT;
}

std::vector<std::string> Commands(const std::vector<CardLogEntry> &entries)
{
    std::vector<std::string> commands;
    for (const CardLogEntry &entry : entries)
        if (!IsWatchTraffic(entry))
            commands.push_back(Describe(entry));
    return commands;
}

std::vector<std::string> AllRequests(const std::vector<CardLogEntry> &entries)
{
    std::vector<std::string> requests;
    for (const CardLogEntry &entry : entries)
        requests.push_back(Describe(entry));
    return requests;
}

std::vector<CardLogEntry> Only(const std::vector<CardLogEntry> &entries, uint32_t code)
{
    std::vector<CardLogEntry> matching;
    for (const CardLogEntry &entry : entries)
        if (entry.code == code)
            matching.push_back(entry);
    return matching;
}

std::vector<CardLogEntry> Only(const std::vector<CardLogEntry> &entries, uint32_t code, int32_t word)
{
    std::vector<CardLogEntry> matching;
    for (const CardLogEntry &entry : Only(entries, code))
        if (word_at(entry, 0) == word)
            matching.push_back(entry);
    return matching;
}

double Milliseconds(const CardLogEntry &earlier, const CardLogEntry &later, int64_t counterFrequency)
{
    return static_cast<double>(later.timestamp - earlier.timestamp) * 1000.0 / static_cast<double>(counterFrequency);
}

std::string Join(const std::vector<std::string> &items)
{
    std::string joined;
    for (const std::string &item : items)
        joined += (joined.empty() ? "" : ", ") + item;
    return joined;
}

} // namespace testing
