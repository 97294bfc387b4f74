// RDS through the card link: the 100 ms level exchange driven by the
// thread's message loop, the presence threshold, and the text pieces.
#include <doctest.h>

#include <windows.h>

#include <cstring>
#include <string>

#include "device/tuner_device.h"
#include "device/tuner_protocol.h"
#include "virtual_card.h"

using testing::VirtualCard;

namespace {

// Runs this thread's message loop, which dispatches the thread timer.
void pump_messages(DWORD milliseconds)
{
    DWORD start = GetTickCount();
    while (GetTickCount() - start < milliseconds) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&message);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

} // namespace

TEST_CASE("the level exchange runs every 100 ms while open and stops at close")
{
    VirtualCard card;
    card.LoadScenario("rds_rise 200\nstation 900 rds text hello\n");
    TunerDevice tuner;
    tuner.open();
    REQUIRE(tuner.IsOpen());
    tuner.set_frequency(900);
    card.ClearLog();

    pump_messages(1000);
    auto ticks = card.LogOf(TUNER_RDS_LEVEL_TICK);
    MESSAGE("level exchanges in one second: " << ticks.size());
    CHECK(ticks.size() >= 8);
    CHECK(ticks.size() <= 12);
    CHECK(ticks[0].inputSize == 4);
    CHECK(ticks[0].outputSize == 4);
    CHECK(testing::LoggedWord(ticks[1]) == 200); // each exchange sends the level the last one answered
    CHECK(tuner.rdsLevel == 1000);
    CHECK(tuner.rds_present());

    tuner.close();
    card.ClearLog();
    pump_messages(400);
    CHECK(card.LogOf(TUNER_RDS_LEVEL_TICK).empty());
    CHECK(tuner.rds_present()); // the last level stays until the next open

    tuner.open();
    CHECK(tuner.rdsLevel == 0);
    CHECK_FALSE(tuner.rds_present());
    tuner.close();
}

TEST_CASE("RDS counts as present only above a level of 500")
{
    TunerDevice tuner;
    tuner.rdsLevel = 500;
    CHECK_FALSE(tuner.rds_present());
    tuner.rdsLevel = 501;
    CHECK(tuner.rds_present());
    tuner.rdsLevel = 0xFFFFFFFFu;
    CHECK(tuner.rds_present());
    tuner.rdsLevel = 0;
    CHECK_FALSE(tuner.rds_present());
}

TEST_CASE("a failed level exchange keeps the level")
{
    VirtualCard card;
    card.LoadScenario("station 900 rds\n");
    TunerDevice tuner;
    tuner.open();
    tuner.set_frequency(900);
    tuner.rds_level_tick();
    tuner.rds_level_tick();
    CHECK(tuner.rdsLevel == 400);
    REQUIRE(card.Control().FailCode(TUNER_RDS_LEVEL_TICK, true));
    tuner.rds_level_tick();
    CHECK(tuner.rdsLevel == 400);
    tuner.close();
}

TEST_CASE("RDS text comes as the card hands it out")
{
    VirtualCard card;
    TunerDevice tuner;

    SUBCASE("a 127-byte answer gives 127 characters")
    {
        card.LoadScenario("rds_chunk 127\nstation 900 rds text " + std::string(200, 'R') + "\n");
        tuner.open();
        tuner.set_frequency(900);
        tuner.read_rds_text();
        CHECK(std::string(tuner.rdsText) == std::string(127, 'R'));
        tuner.read_rds_text();
        CHECK(std::string(tuner.rdsText) == std::string(73, 'R'));
        tuner.read_rds_text();
        CHECK(std::string(tuner.rdsText).empty()); // an empty answer
        auto reads = card.LogOf(TUNER_READ_RDS_TEXT);
        REQUIRE(reads.size() == 3);
        CHECK(reads[0].inputSize == 127);
        CHECK(reads[0].outputSize == 127);
        for (uint32_t i = 0; i < 127; ++i)
            CHECK(reads[0].input[i] == 0);
    }
    SUBCASE("an answer with a NUL inside is cut at the NUL")
    {
        card.LoadScenario("rds_chunk 20\nstation 900 rds text abc\\x00def\n");
        tuner.open();
        tuner.set_frequency(900);
        tuner.read_rds_text();
        CHECK(std::string(tuner.rdsText) == "abc");
        CHECK(card.LogOf(TUNER_READ_RDS_TEXT).back().returnedSize == 7);
    }
    SUBCASE("a failed read gives an empty text")
    {
        card.LoadScenario("station 900 rds text news\n");
        tuner.open();
        tuner.set_frequency(900);
        std::strcpy(tuner.rdsText, "old");
        REQUIRE(card.Control().FailCode(TUNER_READ_RDS_TEXT, true));
        tuner.read_rds_text();
        CHECK(std::string(tuner.rdsText).empty());
    }
    SUBCASE("without a card the text is empty")
    {
        std::strcpy(tuner.rdsText, "old");
        tuner.read_rds_text();
        CHECK(std::string(tuner.rdsText).empty());
        CHECK(card.Log().empty());
    }
    tuner.close();
}
