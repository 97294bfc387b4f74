// Reading the virtual card's request log as a story: each request as
// "name(value)", the periodic watch traffic filtered out, and the time
// between two requests from the card's own time stamps.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tunercard/card_control.h"

namespace testing {

// "set_frequency(878)", "seek(1,1)", "start_rds()".
std::string Describe(const CardLogEntry &entry);
// The requests the timers send on their own while the card is idle: the
// liveness poll, the stereo query, the RDS level exchange and text reads.
bool IsWatchTraffic(const CardLogEntry &entry);
// Every request but the watch traffic, described.
std::vector<std::string> Commands(const std::vector<CardLogEntry> &entries);
// Every request, described.
std::vector<std::string> AllRequests(const std::vector<CardLogEntry> &entries);
// Only the requests of `code`.
std::vector<CardLogEntry> Only(const std::vector<CardLogEntry> &entries, uint32_t code);
// The requests of `code` whose first input word is `word`.
std::vector<CardLogEntry> Only(const std::vector<CardLogEntry> &entries, uint32_t code, int32_t word);
// Milliseconds from `earlier` to `later` on the card's clock.
double Milliseconds(const CardLogEntry &earlier, const CardLogEntry &later, int64_t counterFrequency);
// The sequence joined with ", " for failure messages.
std::string Join(const std::vector<std::string> &items);

} // namespace testing
