#include "scenario_file.h"

#include <cstring>
#include <sstream>

#include "../../device/tuner_protocol.h"

namespace tunercard {

bool ParseWholeNumber(const std::string &word, long long lowest, long long highest, long long *value, int base)
{
    const bool negative = !word.empty() && word[0] == '-' && lowest < 0;
    const size_t first = negative ? 1 : 0;
    // Up to 15 digits: far past every range asked for, and no overflow.
    if (word.size() <= first || word.size() - first > 15)
        return false;
    long long parsed = 0;
    for (size_t i = first; i < word.size(); ++i) {
        const char c = word[i];
        const int digit = c >= '0' && c <= '9' ? c - '0'
                        : base == 16 && c >= 'a' && c <= 'f' ? c - 'a' + 10
                        : base == 16 && c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
        if (digit < 0)
            return false;
        parsed = parsed * base + digit;
    }
    if (negative)
        parsed = -parsed;
    if (parsed < lowest || parsed > highest)
        return false;
    *value = parsed;
    return true;
}

namespace {

bool parse_number(const std::string &word, long lowest, long highest, long *value)
{
    long long parsed = 0;
    if (!ParseWholeNumber(word, lowest, highest, &parsed))
        return false;
    *value = static_cast<long>(parsed);
    return true;
}

bool parse_bands(const std::string &list, uint32_t *bands)
{
    *bands = 0;
    std::stringstream items(list);
    std::string item;
    while (std::getline(items, item, ',')) {
        if (item == "usa")
            *bands |= CARD_BAND_BIT(TUNER_BAND_USA);
        else if (item == "europe")
            *bands |= CARD_BAND_BIT(TUNER_BAND_EUROPE);
        else if (item == "japan")
            *bands |= CARD_BAND_BIT(TUNER_BAND_JAPAN);
        else
            return false;
    }
    return *bands != 0;
}

// Decodes \\ and \xNN; false on a malformed escape.
bool decode_text(const std::string &raw, std::string *text)
{
    text->clear();
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != '\\') {
            text->push_back(raw[i]);
            continue;
        }
        if (i + 1 < raw.size() && raw[i + 1] == '\\') {
            text->push_back('\\');
            ++i;
            continue;
        }
        long long value = 0;
        if (i + 3 >= raw.size() || raw[i + 1] != 'x' || !ParseWholeNumber(raw.substr(i + 2, 2), 0, 255, &value, 16))
            return false;
        text->push_back(static_cast<char>(value));
        i += 3;
    }
    return true;
}

bool parse_station(std::istringstream &words, CardStation *station, std::string *problem)
{
    std::string word;
    long value = 0;
    words >> word;
    if (!parse_number(word, 1, 100000, &value)) {
        *problem = "station needs a frequency in 0.1 MHz units";
        return false;
    }
    station->frequency = static_cast<int32_t>(value);
    station->strength = 3;
    while (words >> word) {
        if (word == "stereo") {
            station->stereo = 1;
        } else if (word == "mono") {
            station->stereo = 0;
        } else if (word == "rds") {
            station->rds = 1;
        } else if (word == "strength") {
            words >> word;
            if (!parse_number(word, 0, 3, &value)) {
                *problem = "strength takes 0..3";
                return false;
            }
            station->strength = static_cast<uint32_t>(value);
        } else if (word == "bands") {
            words >> word;
            if (!parse_bands(word, &station->bands)) {
                *problem = "bands takes a list of usa, europe, japan";
                return false;
            }
        } else if (word == "text") {
            std::string rest;
            std::getline(words, rest);
            if (!rest.empty() && rest[0] == ' ')
                rest.erase(0, 1);
            std::string text;
            if (!decode_text(rest, &text)) {
                *problem = "text has a bad escape (use \\\\ or \\xNN)";
                return false;
            }
            if (text.size() >= sizeof(station->text)) {
                *problem = "text longer than " + std::to_string(sizeof(station->text) - 1) + " bytes";
                return false;
            }
            std::memcpy(station->text, text.c_str(), text.size() + 1);
            station->textLength = static_cast<uint32_t>(text.size());
        } else {
            *problem = "unknown station word '" + word + "'";
            return false;
        }
    }
    return true;
}

// "F,C F,C ...": frequency and continue word of each scripted seek answer.
bool parse_seek_answers(std::istringstream &words, CardScenario *scenario, std::string *problem)
{
    std::string pair;
    while (words >> pair) {
        const size_t comma = pair.find(',');
        long frequency = 0, continues = 0;
        if (scenario->seekAnswerCount >= CARD_MAX_SEEK_ANSWERS) {
            *problem = "more than " + std::to_string(CARD_MAX_SEEK_ANSWERS) + " seek answers";
            return false;
        }
        if (comma == std::string::npos || !parse_number(pair.substr(0, comma), -1000000, 1000000, &frequency) ||
            !parse_number(pair.substr(comma + 1), -1000000, 1000000, &continues)) {
            *problem = "seek_answers takes frequency,continue pairs";
            return false;
        }
        CardSeekAnswer &answer = scenario->seekAnswers[scenario->seekAnswerCount++];
        answer.frequency = static_cast<int32_t>(frequency);
        answer.searchContinues = static_cast<int32_t>(continues);
    }
    return true;
}

} // namespace

void DefaultScenarioSettings(CardScenario *scenario)
{
    std::memset(scenario, 0, sizeof(*scenario));
    scenario->seekStep = 5;
    scenario->rdsChunk = 32;
    scenario->rdsRepeat = 0;
    scenario->rdsRise = 200;
    scenario->rdsFall = 250;
}

bool ParseScenario(const std::string &text, CardScenario *scenario, std::string *error)
{
    DefaultScenarioSettings(scenario);
    std::istringstream lines(text);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::istringstream words(line);
        std::string key, word;
        if (!(words >> key) || key[0] == '#')
            continue;
        std::string problem;
        long value = 0;
        if (key == "station") {
            if (scenario->stationCount >= CARD_MAX_STATIONS)
                problem = "more than " + std::to_string(CARD_MAX_STATIONS) + " stations";
            else if (parse_station(words, &scenario->stations[scenario->stationCount], &problem))
                ++scenario->stationCount;
        } else if (key == "seek_answers") {
            parse_seek_answers(words, scenario, &problem);
        } else if (key == "seek_step" || key == "rds_chunk" || key == "rds_repeat" || key == "rds_rise" ||
                   key == "rds_fall") {
            words >> word;
            long highest = key == "rds_chunk" ? TUNER_RDS_TEXT_BYTES : key == "rds_repeat" ? 1 : 1000;
            if (!parse_number(word, key == "rds_repeat" ? 0 : 1, highest, &value))
                problem = key + " takes a number up to " + std::to_string(highest);
            else if (key == "seek_step")
                scenario->seekStep = static_cast<int32_t>(value);
            else if (key == "rds_chunk")
                scenario->rdsChunk = static_cast<uint32_t>(value);
            else if (key == "rds_repeat")
                scenario->rdsRepeat = static_cast<uint32_t>(value);
            else if (key == "rds_rise")
                scenario->rdsRise = static_cast<uint32_t>(value);
            else
                scenario->rdsFall = static_cast<uint32_t>(value);
        } else {
            problem = "unknown setting '" + key + "'";
        }
        if (!problem.empty()) {
            *error = "line " + std::to_string(number) + ": " + problem;
            return false;
        }
    }
    return true;
}

} // namespace tunercard
