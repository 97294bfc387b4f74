// The card model on its own: seek steps, search level, stereo, RDS level
// and text, the failure plan and the request log.
#include <doctest.h>

#include <windows.h>

#include <cstring>
#include <memory>
#include <string>

#include "card_model.h"
#include "device/tuner_protocol.h"
#include "scenario_file.h"

namespace {

struct Card {
    std::unique_ptr<CardModel> model{new CardModel};
    Card() { card_model_reset(model.get()); }
    explicit Card(const std::string &scenarioText) : Card()
    {
        static CardScenario scenario;
        std::string error;
        REQUIRE_MESSAGE(tunercard::ParseScenario(scenarioText, &scenario, &error), error);
        REQUIRE(card_model_load_scenario(model.get(), &scenario));
    }
    bool Send(uint32_t code, const void *in, uint32_t inSize, void *out, uint32_t outSize, uint32_t *returned = nullptr)
    {
        uint32_t ignored = 0;
        return card_model_request(model.get(), code, in, inSize, out, outSize, returned ? returned : &ignored, 0, 1) != 0;
    }
    bool Word(uint32_t code, uint32_t value) { return Send(code, &value, 4, nullptr, 0); }
    bool Half(uint32_t code, uint16_t value) { return Send(code, &value, 2, nullptr, 0); }
    uint32_t Exchange(uint32_t code, uint32_t value)
    {
        REQUIRE(Send(code, &value, 4, &value, 4));
        return value;
    }
    TunerSeekAnswer Seek(uint32_t direction)
    {
        TunerSeekRequest request = {direction, direction};
        TunerSeekAnswer answer = {};
        REQUIRE(Send(TUNER_SEEK, &request, sizeof(request), &answer, sizeof(answer)));
        return answer;
    }
    std::string ReadText(uint32_t *count = nullptr)
    {
        char buffer[TUNER_RDS_TEXT_BYTES];
        std::memset(buffer, 0, sizeof(buffer));
        uint32_t returned = 0;
        REQUIRE(Send(TUNER_READ_RDS_TEXT, buffer, sizeof(buffer), buffer, sizeof(buffer), &returned));
        if (count)
            *count = returned;
        return std::string(buffer, returned);
    }
};

} // namespace

TEST_CASE("seek steps move a set distance and stop on a strong enough station or the band edge")
{
    Card card("seek_step 10\nstation 901 strength 1\nstation 955 strength 3\n");
    REQUIRE(card.Word(TUNER_SET_POWER, 1));
    REQUIRE(card.Word(TUNER_SET_FREQUENCY, 880));

    SUBCASE("search level 1 stops on the weak station")
    {
        REQUIRE(card.Half(TUNER_SET_SEARCH_LEVEL, 1));
        CHECK(card.Seek(1).frequency == 890);
        CHECK(card.Seek(1).frequency == 900);
        TunerSeekAnswer answer = card.Seek(1);
        CHECK(answer.frequency == 901);
        CHECK(answer.searchContinues == TUNER_SEEK_DONE);
    }
    SUBCASE("search level 3 passes the weak station by")
    {
        REQUIRE(card.Half(TUNER_SET_SEARCH_LEVEL, 3));
        TunerSeekAnswer answer{};
        int steps = 0;
        do {
            answer = card.Seek(1);
            ++steps;
        } while (answer.searchContinues != TUNER_SEEK_DONE && steps < 100);
        CHECK(answer.frequency == 955);
        CHECK(steps == 8);
    }
    SUBCASE("the band edge ends a search with nothing found")
    {
        REQUIRE(card.Word(TUNER_SET_FREQUENCY, 1075));
        TunerSeekAnswer answer = card.Seek(1);
        CHECK(answer.frequency == 1080);
        CHECK(answer.searchContinues == TUNER_SEEK_DONE);
        REQUIRE(card.Word(TUNER_SET_FREQUENCY, 885));
        answer = card.Seek(0);
        CHECK(answer.frequency == 880);
        CHECK(answer.searchContinues == TUNER_SEEK_DONE);
    }
    SUBCASE("a seek starting on a station leaves it")
    {
        REQUIRE(card.Word(TUNER_SET_FREQUENCY, 901));
        TunerSeekAnswer answer = card.Seek(1);
        CHECK(answer.frequency == 911);
        CHECK(answer.searchContinues == TUNER_SEEK_CONTINUE_UP);
    }
    SUBCASE("mismatched direction words are refused")
    {
        TunerSeekRequest request = {1, 0};
        TunerSeekAnswer answer = {};
        CHECK_FALSE(card.Send(TUNER_SEEK, &request, sizeof(request), &answer, sizeof(answer)));
    }
}

TEST_CASE("scripted seek answers go out as they are, in order, then seeks work normally")
{
    Card card("seek_step 10\nstation 901\nseek_answers 1200,1 -5,7 -1000000,2\n");
    REQUIRE(card.Word(TUNER_SET_POWER, 1));
    REQUIRE(card.Word(TUNER_SET_FREQUENCY, 880));
    const int32_t expected[3][2] = {{1200, 1}, {-5, 7}, {-1000000, 2}};
    for (const auto &pair : expected) {
        const TunerSeekAnswer answer = card.Seek(1);
        CHECK(answer.frequency == pair[0]);
        CHECK(answer.searchContinues == pair[1]);
    }
    CHECK(card.model->frequency == 880); // the card itself did not move
    const TunerSeekAnswer normal = card.Seek(1);
    CHECK(normal.frequency == 890);
    CHECK(normal.searchContinues == TUNER_SEEK_CONTINUE_UP);

    static CardScenario scenario;
    std::string error;
    CHECK_FALSE(tunercard::ParseScenario("seek_answers 900\n", &scenario, &error));
    CHECK_FALSE(tunercard::ParseScenario("seek_answers 900,x\n", &scenario, &error));
    CHECK_FALSE(tunercard::ParseScenario("seek_answers 9999999,1\n", &scenario, &error));
    std::string many = "seek_answers";
    for (int i = 0; i <= CARD_MAX_SEEK_ANSWERS; ++i)
        many += " 900,0";
    CHECK_FALSE(tunercard::ParseScenario(many, &scenario, &error));
    CHECK(error.find("more than") != std::string::npos);
    scenario.seekAnswerCount = CARD_MAX_SEEK_ANSWERS + 1;
    CHECK_FALSE(card_model_load_scenario(card.model.get(), &scenario));
}

TEST_CASE("bands limit tuning and choose the stations")
{
    Card card("station 780 bands japan\nstation 1000 bands usa,europe\n");
    REQUIRE(card.Word(TUNER_SET_POWER, 1));
    REQUIRE(card.Half(TUNER_SET_BAND, TUNER_BAND_JAPAN));
    CHECK(card.model->frequency == 880);
    REQUIRE(card.Word(TUNER_SET_FREQUENCY, 1000));
    REQUIRE(card.Half(TUNER_SET_BAND, TUNER_BAND_JAPAN)); // out of band: clamped on the band change
    CHECK(card.model->frequency == 910);
    REQUIRE(card.Word(TUNER_SET_FREQUENCY, 770));
    CHECK(card.Seek(1).frequency == 775);
    CHECK(card.Seek(1).frequency == 780);
    REQUIRE(card.Half(TUNER_SET_BAND, TUNER_BAND_EUROPE));
    CHECK(card.model->frequency == 875);
    CHECK_FALSE(card.Half(TUNER_SET_BAND, 0));
    CHECK_FALSE(card.Half(TUNER_SET_BAND, 4));
    CHECK(card.model->band == TUNER_BAND_EUROPE);
}

TEST_CASE("RDS level and text follow the tuned station")
{
    Card card("rds_chunk 127\nrds_rise 200\nrds_fall 250\nstation 900 rds text " + std::string(200, 'x') +
              "\nstation 910 stereo\n");
    REQUIRE(card.Word(TUNER_SET_POWER, 1));
    REQUIRE(card.Send(TUNER_START_RDS, nullptr, 0, nullptr, 0));
    REQUIRE(card.Word(TUNER_SET_FREQUENCY, 900));
    CHECK(card.Exchange(TUNER_RDS_LEVEL_TICK, 0) == 200);
    CHECK(card.Exchange(TUNER_RDS_LEVEL_TICK, 0) == 400);
    CHECK(card.Exchange(TUNER_RDS_LEVEL_TICK, 0) == 600);
    for (int i = 0; i < 10; ++i)
        card.Exchange(TUNER_RDS_LEVEL_TICK, 0);
    CHECK(card.model->rdsLevel == 1000);

    uint32_t count = 0;
    CHECK(card.ReadText(&count) == std::string(127, 'x'));
    CHECK(count == 127);
    CHECK(card.ReadText() == std::string(73, 'x'));
    CHECK(card.ReadText().empty()); // each piece once

    REQUIRE(card.Word(TUNER_SET_FREQUENCY, 910));
    CHECK(card.ReadText().empty());
    CHECK(card.Exchange(TUNER_RDS_LEVEL_TICK, 0) == 750);
    CHECK(card.Exchange(TUNER_RDS_LEVEL_TICK, 0) == 500);
    CHECK(card.Exchange(TUNER_RDS_LEVEL_TICK, 0) == 250);

    REQUIRE(card.Word(TUNER_SET_FREQUENCY, 900)); // retuning starts the text again
    CHECK(card.ReadText().size() == 127);
    REQUIRE(card.Send(TUNER_STOP_RDS, nullptr, 0, nullptr, 0));
    CHECK(card.ReadText().empty());
}

TEST_CASE("a repeating station starts its text over")
{
    Card card("rds_chunk 4\nrds_repeat 1\nstation 900 rds text abcdef\n");
    REQUIRE(card.Word(TUNER_SET_POWER, 1));
    REQUIRE(card.Send(TUNER_START_RDS, nullptr, 0, nullptr, 0));
    REQUIRE(card.Word(TUNER_SET_FREQUENCY, 900));
    CHECK(card.ReadText() == "abcd");
    CHECK(card.ReadText() == "ef");
    CHECK(card.ReadText() == "abcd");
}

TEST_CASE("stereo needs power, a stereo station and no forced mono")
{
    Card card("station 900 stereo\nstation 910 mono\n");
    REQUIRE(card.Word(TUNER_SET_FREQUENCY, 900));
    CHECK(card.Exchange(TUNER_IS_STEREO, 0) == 0);
    REQUIRE(card.Word(TUNER_SET_POWER, 1));
    CHECK(card.Exchange(TUNER_IS_STEREO, 0) == 1);
    REQUIRE(card.Word(TUNER_SET_MONO, 1));
    CHECK(card.Exchange(TUNER_IS_STEREO, 0) == 0);
    REQUIRE(card.Word(TUNER_SET_MONO, 0));
    REQUIRE(card.Word(TUNER_SET_FREQUENCY, 910));
    CHECK(card.Exchange(TUNER_IS_STEREO, 0) == 0);
    REQUIRE(card.Word(TUNER_SET_FREQUENCY, 901));
    CHECK(card.Exchange(TUNER_IS_STEREO, 0) == 0);
}

TEST_CASE("the failure plan fails the next requests or every request of one code")
{
    Card card;
    card.model->failNext = 2;
    CHECK_FALSE(card.Word(TUNER_SET_VOLUME, 50));
    CHECK_FALSE(card.Word(TUNER_SET_VOLUME, 51));
    CHECK(card.Word(TUNER_SET_VOLUME, 52));
    CHECK(card.model->volume == 52);

    CHECK(card_model_set_fail_code(card.model.get(), TUNER_IS_STEREO, 1));
    uint32_t word = 7;
    CHECK_FALSE(card.Send(TUNER_IS_STEREO, &word, 4, &word, 4));
    CHECK_FALSE(card.Send(TUNER_IS_STEREO, &word, 4, &word, 4));
    CHECK(card.Word(TUNER_SET_VOLUME, 53));
    CHECK(card_model_set_fail_code(card.model.get(), TUNER_IS_STEREO, 0));
    CHECK(card.Send(TUNER_IS_STEREO, &word, 4, &word, 4));

    // A plan that cannot be kept says so: code 0, and a ninth code.
    CHECK_FALSE(card_model_set_fail_code(card.model.get(), 0, 1));
    for (uint32_t code = 1; code <= CARD_MAX_FAIL_CODES; ++code)
        CHECK(card_model_set_fail_code(card.model.get(), code, 1));
    CHECK_FALSE(card_model_set_fail_code(card.model.get(), TUNER_IS_STEREO, 1));
    CHECK(card.Send(TUNER_IS_STEREO, &word, 4, &word, 4));
}

TEST_CASE("the log keeps the newest requests when it overflows")
{
    Card card;
    for (uint32_t i = 0; i < CARD_LOG_CAPACITY + 10; ++i)
        card.Word(TUNER_SET_VOLUME, i);
    static CardLogPage page;
    card_model_read_log(card.model.get(), 0, &page);
    CHECK(page.total == CARD_LOG_CAPACITY + 10);
    CHECK(page.first == 10);
    REQUIRE(page.count == CARD_LOG_PAGE_ENTRIES);
    CHECK(page.entries[0].sequence == 10);
    uint32_t volume = 0;
    std::memcpy(&volume, page.entries[0].input, 4);
    CHECK(volume == 10);
    card_model_read_log(card.model.get(), page.total, &page);
    CHECK(page.count == 0);
}

TEST_CASE("a malformed scenario is refused and the old one kept")
{
    Card card("station 900\n");
    static CardScenario bad;
    std::memset(&bad, 0, sizeof(bad));
    bad.stationCount = CARD_MAX_STATIONS + 1;
    bad.seekStep = 5;
    bad.rdsChunk = 10;
    CHECK_FALSE(card_model_load_scenario(card.model.get(), &bad));
    bad.stationCount = 0;
    bad.rdsChunk = 128;
    CHECK_FALSE(card_model_load_scenario(card.model.get(), &bad));
    bad.rdsChunk = 10;
    bad.seekStep = 0;
    CHECK_FALSE(card_model_load_scenario(card.model.get(), &bad));
    bad.seekStep = 5;
    bad.rdsRise = 0xFFFFFFFFu; // the level would wrap
    CHECK_FALSE(card_model_load_scenario(card.model.get(), &bad));
    bad.rdsRise = CARD_RDS_LEVEL_MAX;
    bad.rdsFall = CARD_RDS_LEVEL_MAX + 1;
    CHECK_FALSE(card_model_load_scenario(card.model.get(), &bad));
    CHECK(card.model->scenario.stationCount == 1);
}
