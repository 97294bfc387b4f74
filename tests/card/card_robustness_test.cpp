// Requests the card must refuse: wrong sizes, unknown codes, control codes on
// the tuner handle. Then thousands of random requests: the driver's host
// process survives and the card still answers.
#include <doctest.h>

#include <windows.h>
#include <tlhelp32.h>

#include <cstring>
#include <random>
#include <set>
#include <vector>

#include "device/tuner_discovery.h"
#include "device/tuner_protocol.h"
#include "virtual_card.h"

using testing::SendRequest;
using testing::VirtualCard;

namespace {

// The card answers a plain exchange correctly.
void check_card_answers(VirtualCard &card, HANDLE handle)
{
    uint32_t word = 0;
    DWORD returned = 0;
    CHECK(SendRequest(handle, TUNER_POLL_CARD, &word, 4, &word, 4, &returned));
    CHECK(returned == 4);
    int32_t frequency = 953;
    CHECK(SendRequest(handle, TUNER_SET_FREQUENCY, &frequency, 4, nullptr, 0));
    CHECK(card.State().frequency == 953);
}

std::set<DWORD> driver_hosts()
{
    std::set<DWORD> hosts;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
        if (lstrcmpiA(entry.szExeFile, "winedevice.exe") == 0)
            hosts.insert(entry.th32ProcessID);
    CloseHandle(snapshot);
    return hosts;
}

} // namespace

TEST_CASE("requests with sizes other than the table's are refused")
{
    VirtualCard card;
    HANDLE handle = open_tuner_interface(TunerInterfaceGuid, 0);
    REQUIRE(handle);
    std::vector<uint8_t> in(256), out(256);
    struct Sent {
        uint32_t code;
        DWORD inputSize, outputSize;
    };
    std::vector<Sent> refused;
    for (const TunerRequestLayout &layout : TunerRequestLayouts) {
        const DWORD sizes[][2] = {
            {layout.inputSize + 1, layout.outputSize},
            {layout.inputSize, layout.outputSize + 1},
            {layout.inputSize ? layout.inputSize - 1 : 8, layout.outputSize},
            {layout.inputSize, layout.outputSize ? layout.outputSize - 1 : 4},
            {0, 0},
            {200, 200},
        };
        for (const auto &size : sizes) {
            if (size[0] == layout.inputSize && size[1] == layout.outputSize)
                continue; // {0,0} is right for the RDS start and stop
            CAPTURE(layout.name);
            CAPTURE(size[0]);
            CAPTURE(size[1]);
            CHECK_FALSE(SendRequest(handle, layout.code, in.data(), size[0], out.data(), size[1]));
            refused.push_back({layout.code, size[0], size[1]});
        }
    }
    CardState state = card.State();
    CHECK(state.power == 0); // no refused request changed anything
    CHECK(state.frequency == 880);
    // Each one reached the card as sent and the card refused it, rather
    // than something on the way.
    std::vector<CardLogEntry> log = card.Log();
    REQUIRE(log.size() == refused.size());
    for (size_t i = 0; i < log.size(); ++i) {
        CAPTURE(i);
        CHECK(log[i].code == refused[i].code);
        CHECK(log[i].inputSize == refused[i].inputSize);
        CHECK(log[i].outputSize == refused[i].outputSize);
        CHECK(log[i].success == 0);
    }
    check_card_answers(card, handle);
    CloseHandle(handle);
}

TEST_CASE("unknown codes and control codes on the tuner handle are refused")
{
    VirtualCard card;
    HANDLE handle = open_tuner_interface(TunerInterfaceGuid, 0);
    REQUIRE(handle);
    uint8_t buffer[64] = {};
    const uint32_t unknown[] = {
        0x220000, 0x220028, 0x220058, 0x22007C, 0x2200DC, 0x22002D, 0x22002F /* method neither */,
        CARD_CTL_PULL, CARD_CTL_RESET, CARD_CTL_CLEAR_LOG, CARD_CTL_GET_STATE, 0xFFFFFFFF, 0,
    };
    for (uint32_t code : unknown) {
        CAPTURE(code);
        CHECK_FALSE(SendRequest(handle, code, buffer, 4, buffer, 4));
        CHECK_FALSE(SendRequest(handle, code, nullptr, 0, nullptr, 0));
    }
    CardState state = card.State();
    CHECK(state.inserted == 1); // the pull code did nothing through this handle
    CHECK(state.logTotal == 2 * (sizeof(unknown) / sizeof(unknown[0])));

    // Control requests carrying buffers they do not take are refused and do nothing.
    uint32_t junk[4] = {1, 2, 3, 4};
    for (uint32_t code : {CARD_CTL_PULL, CARD_CTL_INSERT, CARD_CTL_RESET, CARD_CTL_CLEAR_LOG})
        CHECK_FALSE(card.Control().RawRequest(code, junk, sizeof(junk), nullptr, 0, nullptr));
    CHECK(card.State().inserted == 1);
    CHECK(card.State().logTotal == 2 * (sizeof(unknown) / sizeof(unknown[0])));

    // And the tuner codes mean nothing to the control device.
    uint32_t word = 1;
    CHECK_FALSE(card.Control().RawRequest(TUNER_SET_POWER, &word, 4, nullptr, 0, nullptr));
    CHECK(card.State().power == 0);
    check_card_answers(card, handle);
    CloseHandle(handle);
}

TEST_CASE("random scenarios are refused or played safely")
{
    std::set<DWORD> hostsBefore = driver_hosts();
    VirtualCard card;
    HANDLE handle = open_tuner_interface(TunerInterfaceGuid, 0);
    REQUIRE(handle);
    uint32_t on = 1;
    REQUIRE(SendRequest(handle, TUNER_SET_POWER, &on, 4, nullptr, 0));
    REQUIRE(SendRequest(handle, TUNER_START_RDS, nullptr, 0, nullptr, 0));
    std::mt19937 random(7);
    static CardScenario scenario;
    int accepted = 0;
    for (int i = 0; i < 300; ++i) {
        auto *bytes = reinterpret_cast<uint8_t *>(&scenario);
        for (size_t b = 0; b < sizeof(scenario); ++b)
            bytes[b] = static_cast<uint8_t>(random());
        if (i % 2) { // half of them pass the header checks, with garbage stations
            scenario.stationCount = random() % (CARD_MAX_STATIONS + 1);
            scenario.seekStep = static_cast<int32_t>(1 + random() % 1000);
            scenario.rdsChunk = 1 + random() % TUNER_RDS_TEXT_BYTES;
            scenario.seekAnswerCount = random() % (CARD_MAX_SEEK_ANSWERS + 1);
            scenario.rdsRise = random() % 1001;
            scenario.rdsFall = random() % 1001;
            for (uint32_t s = 0; s < scenario.stationCount; ++s)
                scenario.stations[s].frequency = static_cast<int32_t>(760 + random() % 330);
        }
        if (!card.Control().LoadScenario(scenario))
            continue;
        ++accepted;
        for (int step = 0; step < 5; ++step) {
            int32_t frequency = static_cast<int32_t>(760 + random() % 330);
            CHECK(SendRequest(handle, TUNER_SET_FREQUENCY, &frequency, 4, nullptr, 0));
            TunerSeekRequest seek = {step % 2u, step % 2u};
            TunerSeekAnswer answer = {};
            CHECK(SendRequest(handle, TUNER_SEEK, &seek, sizeof(seek), &answer, sizeof(answer)));
            uint32_t level = 0;
            CHECK(SendRequest(handle, TUNER_RDS_LEVEL_TICK, &level, 4, &level, 4));
            CHECK(level <= 1000);
            char text[TUNER_RDS_TEXT_BYTES] = {};
            DWORD returned = 0;
            CHECK(SendRequest(handle, TUNER_READ_RDS_TEXT, text, sizeof(text), text, sizeof(text), &returned));
            CHECK(returned <= scenario.rdsChunk);
        }
    }
    MESSAGE("random scenarios accepted: " << accepted << " of 300");
    CHECK(accepted >= 100);
    check_card_answers(card, handle);
    CloseHandle(handle);
    CHECK(driver_hosts() == hostsBefore);
}

TEST_CASE("thousands of random requests leave the driver's host alive and the card answering")
{
    std::set<DWORD> hostsBefore = driver_hosts();
    REQUIRE_FALSE(hostsBefore.empty());
    std::mt19937 random(20261207);
    std::vector<uint8_t> in(512), out(512);
    int sent = 0, succeeded = 0;
    {
        VirtualCard card;
        HANDLE handle = open_tuner_interface(TunerInterfaceGuid, 0);
        REQUIRE(handle);
        std::vector<uint32_t> codes;
        for (const TunerRequestLayout &layout : TunerRequestLayouts)
            codes.push_back(layout.code);
        const uint32_t controlCodes[] = {CARD_CTL_GET_STATE, CARD_CTL_READ_LOG, CARD_CTL_CLEAR_LOG,
                                         CARD_CTL_LOAD_SCENARIO, CARD_CTL_FAIL_NEXT, CARD_CTL_FAIL_CODE,
                                         CARD_CONTROL_CODE(9), CARD_CONTROL_CODE(200)};
        for (int i = 0; i < 6000; ++i) {
            for (uint8_t &byte : in)
                byte = static_cast<uint8_t>(random());
            DWORD inputSize = random() % 3 == 0 ? random() % 300 : random() % 10;
            DWORD outputSize = random() % 3 == 0 ? random() % 300 : random() % 10;
            bool toControl = random() % 4 == 0;
            uint32_t code;
            if (toControl)
                code = controlCodes[random() % (sizeof(controlCodes) / sizeof(controlCodes[0]))];
            else if (random() % 5 == 0)
                code = static_cast<uint32_t>(random());
            else
                code = codes[random() % codes.size()];
            if (random() % 4 == 0 && !toControl) { // often exactly the right sizes
                for (const TunerRequestLayout &layout : TunerRequestLayouts)
                    if (layout.code == code) {
                        inputSize = layout.inputSize;
                        outputSize = layout.outputSize;
                    }
            }
            bool ok = toControl ? card.Control().RawRequest(code, in.data(), inputSize, out.data(), outputSize, nullptr)
                                : SendRequest(handle, code, in.data(), inputSize, out.data(), outputSize);
            ++sent;
            succeeded += ok ? 1 : 0;
        }
        MESSAGE("random requests: " << sent << " sent, " << succeeded << " accepted");
        CHECK(succeeded > 100); // the right-sized ones went through
        REQUIRE(card.Control().FailNext(0));
        check_card_answers(card, handle);
        CloseHandle(handle);
    }
    CHECK(driver_hosts() == hostsBefore);
    VirtualCard card;
    HANDLE handle = open_tuner_interface(TunerInterfaceGuid, 0);
    REQUIRE(handle);
    check_card_answers(card, handle);
    CloseHandle(handle);
}
