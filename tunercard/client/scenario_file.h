// Reads a card scenario from its text form, one setting or station a line:
//
//   # comment
//   seek_step 5          0.1 MHz units one seek step moves
//   rds_chunk 32         bytes per RDS text answer (1..127)
//   rds_repeat 1         1: a station's text starts over once handed out
//   rds_rise 200         RDS level gained per level exchange on an RDS station
//   rds_fall 250         RDS level lost per exchange elsewhere
//   seek_answers 1090,1 -5,7   the next seek requests' answers (frequency,continue),
//                        as they are, up to 16; then seeks work normally again
//   station 891 stereo rds strength 3 bands usa,europe text Radio Tavolin ...
//
// Numbers are decimal. A station line takes its frequency, then any of: stereo | mono, rds,
// strength N (0..3), bands LIST (usa, europe, japan), and last `text` with the
// rest of the line as its RDS text (\\ for a backslash, \xNN for any byte,
// \x00 included).
#pragma once

#include <string>

#include "../card_control.h"

namespace tunercard {

// Fills `scenario` (defaults first); false with a message naming the line.
bool ParseScenario(const std::string &text, CardScenario *scenario, std::string *error);

// The settings every scenario starts from.
void DefaultScenarioSettings(CardScenario *scenario);

// A whole number in `base` (10 or 16) digits only, a minus sign allowed when
// `lowest` is negative: no blanks, plus sign, prefix or octal, and nothing
// outside lowest..highest.
bool ParseWholeNumber(const std::string &word, long long lowest, long long highest, long long *value, int base = 10);

} // namespace tunercard
