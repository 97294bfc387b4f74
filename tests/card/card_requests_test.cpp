// The card as the radio meets it: found through SetupAPI, opened twice at
// once, and each of the fifteen requests answered as the card models it.
#include <doctest.h>

#include <windows.h>
#include <setupapi.h>

#include <cstring>
#include <string>

#include "device/tuner_discovery.h"
#include "device/tuner_protocol.h"
#include "virtual_card.h"

using testing::LoggedWord;
using testing::SendRequest;
using testing::VirtualCard;

namespace {

const char kStations[] =
    "seek_step 5\n"
    "rds_chunk 16\n"
    "station 891 stereo rds text Tavolin FM news at nine\n"
    "station 953 mono\n";

uint32_t word_request(HANDLE handle, uint32_t code, uint32_t value)
{
    uint32_t word = value;
    DWORD returned = 0;
    REQUIRE(SendRequest(handle, code, &word, 4, &word, 4, &returned));
    CHECK(returned == 4);
    return word;
}

void send_word(HANDLE handle, uint32_t code, uint32_t value)
{
    CHECK(SendRequest(handle, code, &value, 4, nullptr, 0));
}

void send_half(HANDLE handle, uint32_t code, uint16_t value)
{
    CHECK(SendRequest(handle, code, &value, 2, nullptr, 0));
}

TunerSeekAnswer seek(HANDLE handle, uint32_t direction)
{
    TunerSeekRequest request = {direction, direction};
    TunerSeekAnswer answer = {-1, -1};
    DWORD returned = 0;
    REQUIRE(SendRequest(handle, TUNER_SEEK, &request, sizeof(request), &answer, sizeof(answer), &returned));
    CHECK(returned == sizeof(answer));
    return answer;
}

} // namespace

TEST_CASE("discovery finds the card's interface and opens it twice at once")
{
    VirtualCard card;

    // The device path names the interface class, as SetupAPI reports it.
    HDEVINFO set = SetupDiGetClassDevsA(&TunerInterfaceGuid, nullptr, nullptr, 0x12);
    REQUIRE(set != INVALID_HANDLE_VALUE);
    SP_DEVICE_INTERFACE_DATA iface = {};
    iface.cbSize = sizeof(iface);
    REQUIRE(SetupDiEnumDeviceInterfaces(set, nullptr, &TunerInterfaceGuid, 0, &iface));
    CHECK_FALSE(SetupDiEnumDeviceInterfaces(set, nullptr, &TunerInterfaceGuid, 1, &iface));
    SetupDiDestroyDeviceInfoList(set);

    HANDLE radio = open_tuner_interface(TunerInterfaceGuid, 0);
    HANDLE agent = open_tuner_interface(TunerInterfaceGuid, 0);
    REQUIRE(radio);
    REQUIRE(agent);
    CHECK(open_tuner_interface(TunerInterfaceGuid, 1) == nullptr);

    word_request(radio, TUNER_POLL_CARD, 0);
    word_request(agent, TUNER_POLL_CARD, 0);
    CHECK(card.State().openHandles == 2);
    auto polls = card.LogOf(TUNER_POLL_CARD);
    REQUIRE(polls.size() == 2);
    CHECK(polls[0].handleId != polls[1].handleId);

    CloseHandle(agent);
    word_request(radio, TUNER_POLL_CARD, 0); // the other opener is unaffected
    for (int i = 0; i < 100 && card.State().openHandles != 1; ++i)
        Sleep(10);
    CHECK(card.State().openHandles == 1);
    CloseHandle(radio);
}

TEST_CASE("each of the fifteen requests is answered as the card models it")
{
    VirtualCard card;
    card.LoadScenario(kStations);
    HANDLE handle = open_tuner_interface(TunerInterfaceGuid, 0);
    REQUIRE(handle);

    SUBCASE("power, band, tuning and audio settings reach the card")
    {
        send_word(handle, TUNER_SET_POWER, 1);
        send_half(handle, TUNER_SET_BAND, TUNER_BAND_EUROPE);
        send_word(handle, TUNER_SET_FREQUENCY, 891);
        send_half(handle, TUNER_SET_SEARCH_LEVEL, 2);
        send_word(handle, TUNER_SET_NOISE_CANCEL, 1);
        send_word(handle, TUNER_SET_MUTE, 1);
        send_word(handle, TUNER_SET_VOLUME, 55);
        CardState state = card.State();
        CHECK(state.power == 1);
        CHECK(state.band == TUNER_BAND_EUROPE);
        CHECK(state.frequency == 891);
        CHECK(state.searchLevel == 2);
        CHECK(state.noiseCancel == 1);
        CHECK(state.mute == 1);
        CHECK(state.volume == 55);

        CHECK(word_request(handle, TUNER_POLL_CARD, 0) == 1);
        send_word(handle, TUNER_SET_POWER, 0);
        CHECK(card.State().power == 0);
    }

    SUBCASE("stereo is reported on a stereo station unless mono is forced")
    {
        send_word(handle, TUNER_SET_POWER, 1);
        send_word(handle, TUNER_SET_FREQUENCY, 891);
        CHECK(word_request(handle, TUNER_IS_STEREO, 0) == 1);
        send_word(handle, TUNER_SET_MONO, 1);
        CHECK(word_request(handle, TUNER_IS_STEREO, 0) == 0);
        send_word(handle, TUNER_SET_MONO, 0);
        CHECK(word_request(handle, TUNER_IS_STEREO, 0) == 1);
        send_word(handle, TUNER_SET_FREQUENCY, 953);
        CHECK(word_request(handle, TUNER_IS_STEREO, 0) == 0);
    }

    SUBCASE("RDS: the level rises above 500 within a few ticks and the text comes in pieces")
    {
        send_word(handle, TUNER_SET_POWER, 1);
        CHECK(SendRequest(handle, TUNER_START_RDS, nullptr, 0, nullptr, 0));
        send_word(handle, TUNER_SET_FREQUENCY, 891);
        uint32_t level = 0;
        int ticks = 0;
        while (level <= TUNER_RDS_LEVEL_PRESENT && ticks < 10) {
            level = word_request(handle, TUNER_RDS_LEVEL_TICK, level);
            ++ticks;
        }
        CHECK(level > TUNER_RDS_LEVEL_PRESENT);
        CHECK(ticks <= 4);

        std::string text;
        for (int i = 0; i < 4; ++i) {
            char buffer[TUNER_RDS_TEXT_BYTES] = {};
            DWORD returned = 0;
            REQUIRE(SendRequest(handle, TUNER_READ_RDS_TEXT, buffer, sizeof(buffer), buffer, sizeof(buffer), &returned));
            CHECK(returned <= 16);
            text.append(buffer, returned);
        }
        CHECK(text == "Tavolin FM news at nine"); // each piece once, then nothing

        send_word(handle, TUNER_SET_FREQUENCY, 953); // no RDS here: the level falls
        for (int i = 0; i < 5; ++i)
            level = word_request(handle, TUNER_RDS_LEVEL_TICK, level);
        CHECK(level <= TUNER_RDS_LEVEL_PRESENT);
        CHECK(SendRequest(handle, TUNER_STOP_RDS, nullptr, 0, nullptr, 0));
        CHECK(card.State().rdsRunning == 0);
    }

    SUBCASE("a seek step answers the tuned frequency and the continue word")
    {
        send_word(handle, TUNER_SET_POWER, 1);
        send_word(handle, TUNER_SET_FREQUENCY, 950);
        TunerSeekAnswer up = seek(handle, 1);
        CHECK(up.frequency == 953);
        CHECK(up.searchContinues == TUNER_SEEK_DONE);
        TunerSeekAnswer down = seek(handle, 0);
        CHECK(down.frequency == 948);
        CHECK(down.searchContinues == TUNER_SEEK_CONTINUE_DOWN);
    }

    SUBCASE("a powered-off card answers but receives nothing")
    {
        send_word(handle, TUNER_SET_FREQUENCY, 891);
        CHECK(SendRequest(handle, TUNER_START_RDS, nullptr, 0, nullptr, 0));
        CHECK(word_request(handle, TUNER_IS_STEREO, 0) == 0);
        CHECK(word_request(handle, TUNER_RDS_LEVEL_TICK, 0) == 0);
        char buffer[TUNER_RDS_TEXT_BYTES] = {};
        DWORD returned = 99;
        CHECK(SendRequest(handle, TUNER_READ_RDS_TEXT, buffer, sizeof(buffer), buffer, sizeof(buffer), &returned));
        CHECK(returned == 0);
        TunerSeekAnswer answer = seek(handle, 1);
        CHECK(answer.frequency == 891);
        CHECK(answer.searchContinues == TUNER_SEEK_DONE);
    }

    CloseHandle(handle);
}

TEST_CASE("the log holds every request with its bytes, sizes, result and time")
{
    VirtualCard card;
    HANDLE handle = open_tuner_interface(TunerInterfaceGuid, 0);
    REQUIRE(handle);
    LARGE_INTEGER before, after;
    QueryPerformanceCounter(&before);
    send_word(handle, TUNER_SET_FREQUENCY, 0x01020304);
    uint16_t notABand = 0x0102;
    CHECK_FALSE(SendRequest(handle, TUNER_SET_BAND, &notABand, 2, nullptr, 0));
    char zeros[TUNER_RDS_TEXT_BYTES] = {};
    CHECK(SendRequest(handle, TUNER_READ_RDS_TEXT, zeros, sizeof(zeros), zeros, sizeof(zeros)));
    QueryPerformanceCounter(&after);
    CloseHandle(handle);

    auto log = card.Log();
    REQUIRE(log.size() == 3);
    CHECK(log[0].code == TUNER_SET_FREQUENCY);
    CHECK(log[0].inputSize == 4);
    CHECK(log[0].outputSize == 0);
    CHECK(LoggedWord(log[0]) == 0x01020304);
    CHECK(log[0].success == 1);
    CHECK(log[1].code == TUNER_SET_BAND);
    CHECK(log[1].inputSize == 2);
    CHECK(log[1].input[0] == 0x02);
    CHECK(log[1].input[1] == 0x01);
    CHECK(log[1].success == 0);
    CHECK(log[2].inputSize == TUNER_RDS_TEXT_BYTES);
    CHECK(log[2].outputSize == TUNER_RDS_TEXT_BYTES);
    // Time stamps use the same clock as QueryPerformanceCounter.
    for (const CardLogEntry &entry : log) {
        CHECK(entry.timestamp >= before.QuadPart);
        CHECK(entry.timestamp <= after.QuadPart);
    }
    CHECK(log[0].timestamp <= log[1].timestamp);
    CHECK(log[1].sequence == log[0].sequence + 1);

    card.ClearLog();
    CHECK(card.Log().empty());
}

TEST_CASE("a seek from 88.0 MHz upward continues until it lands on 89.1 MHz")
{
    VirtualCard card;
    card.LoadScenario("seek_step 5\nstation 891 stereo\nstation 953 stereo\n");
    HANDLE handle = open_tuner_interface(TunerInterfaceGuid, 0);
    REQUIRE(handle);
    send_word(handle, TUNER_SET_POWER, 1);
    send_word(handle, TUNER_SET_FREQUENCY, 880);

    int32_t previous = 880;
    TunerSeekAnswer answer = {};
    int steps = 0;
    for (; steps < 50; ++steps) {
        answer = seek(handle, 1);
        if (answer.searchContinues == TUNER_SEEK_DONE)
            break;
        CHECK(answer.searchContinues == TUNER_SEEK_CONTINUE_UP);
        CHECK(answer.frequency > previous);
        CHECK(answer.frequency < 891);
        previous = answer.frequency;
    }
    CHECK(steps == 2); // 88.5, 89.0, then 89.1
    CHECK(answer.frequency == 891);
    CHECK(answer.searchContinues == TUNER_SEEK_DONE);
    CHECK(card.State().frequency == 891);

    auto seeks = card.LogOf(TUNER_SEEK);
    CHECK(seeks.size() == 3);
    for (const CardLogEntry &entry : seeks) {
        CHECK(LoggedWord(entry, 0) == 1);
        CHECK(LoggedWord(entry, 4) == 1);
    }
    CloseHandle(handle);
}
