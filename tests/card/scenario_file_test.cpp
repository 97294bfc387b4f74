// The scenario text form: settings, stations, and errors that name the line.
#include <doctest.h>

#include <windows.h>

#include <string>

#include "device/tuner_protocol.h"
#include "scenario_file.h"

TEST_CASE("a scenario file gives settings and stations")
{
    static CardScenario scenario;
    std::string error;
    REQUIRE(tunercard::ParseScenario("# two stations\r\n"
                                     "seek_step 3\n"
                                     "rds_chunk 127\n"
                                     "\n"
                                     "station 891 stereo rds strength 2 bands usa,europe text Radio One: news  \n"
                                     "station 0750 mono\n",
                                     &scenario, &error));
    CHECK(scenario.seekStep == 3);
    CHECK(scenario.rdsChunk == 127);
    REQUIRE(scenario.stationCount == 2);
    const CardStation &first = scenario.stations[0];
    CHECK(first.frequency == 891);
    CHECK(first.stereo == 1);
    CHECK(first.rds == 1);
    CHECK(first.strength == 2);
    CHECK(first.bands == (CARD_BAND_BIT(TUNER_BAND_USA) | CARD_BAND_BIT(TUNER_BAND_EUROPE)));
    CHECK(std::string(first.text) == "Radio One: news  ");
    CHECK(scenario.stations[1].frequency == 750); // decimal, not octal
    CHECK(scenario.stations[1].strength == 3);
    CHECK(scenario.stations[1].stereo == 0);
}

TEST_CASE("scenario errors name the line")
{
    static CardScenario scenario;
    const struct {
        const char *text;
        const char *message;
    } cases[] = {
        {"seek_step 0\n", "line 1: seek_step takes"},
        {"\nrds_chunk 128\n", "line 2: rds_chunk takes"},
        {"station\n", "line 1: station needs a frequency"},
        {"station 900 strength 4\n", "strength takes 0..3"},
        {"station 900 bands mars\n", "bands takes"},
        {"station 900 loud\n", "unknown station word 'loud'"},
        {"volume 3\n", "unknown setting 'volume'"},
        {"station 0x3B9\n", "station needs a frequency"},
        {"station +900\n", "station needs a frequency"},
        {"seek_answers 900,0x1\n", "seek_answers takes"},
    };
    for (const auto &item : cases) {
        std::string error;
        CAPTURE(item.text);
        CHECK_FALSE(tunercard::ParseScenario(item.text, &scenario, &error));
        CHECK(error.find(item.message) != std::string::npos);
    }
    std::string error;
    CHECK_FALSE(tunercard::ParseScenario("station 900 text " + std::string(512, 'x') + "\n", &scenario, &error));
    CHECK(error.find("text longer than 511 bytes") != std::string::npos);
    CHECK(tunercard::ParseScenario("station 900 text " + std::string(511, 'x') + "\n", &scenario, &error));

    std::string many;
    for (int i = 0; i <= CARD_MAX_STATIONS; ++i)
        many += "station " + std::to_string(900 + i) + "\n";
    CHECK_FALSE(tunercard::ParseScenario(many, &scenario, &error));
    CHECK(error.find("line 33: more than 32 stations") != std::string::npos);
}

TEST_CASE("station texts take escapes for any byte")
{
    static CardScenario scenario;
    std::string error;
    REQUIRE(tunercard::ParseScenario("station 900 rds text a\\\\b\\x00c\\x7e\n", &scenario, &error));
    CHECK(scenario.stations[0].textLength == 6);
    CHECK(std::string(scenario.stations[0].text, 6) == std::string("a\\b\0c~", 6));
    CHECK_FALSE(tunercard::ParseScenario("station 900 text a\\q\n", &scenario, &error));
    CHECK(error.find("bad escape") != std::string::npos);
    CHECK_FALSE(tunercard::ParseScenario("station 900 text a\\x4\n", &scenario, &error));
    CHECK_FALSE(tunercard::ParseScenario("station 900 text a\\xZZ\n", &scenario, &error));
}
