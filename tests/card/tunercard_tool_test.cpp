// The tunercard tool as people and scripts use it: help, exit codes for bad
// arguments, and the commands that drive the card.
#include <doctest.h>

#include <fstream>

#include "device/tuner_discovery.h"
#include "device/tuner_protocol.h"
#include "process_runner.h"
#include "virtual_card.h"

using testing::RunProgram;

namespace {

testing::ProcessResult tool(const std::string &arguments)
{
    return RunProgram("\"" + testing::BinDirectory() + "\\tunercard.exe\" " + arguments);
}

} // namespace

TEST_CASE("help and bad arguments")
{
    testing::ProcessResult help = tool("--help");
    CHECK(help.exitCode == 0);
    for (const char *command : {"install", "uninstall", "pull", "insert", "state", "log", "scenario", "fail-next",
                                "fail-code", "wait"})
        CHECK(help.output.find(command) != std::string::npos);

    const char *bad[] = {"", "frobnicate", "fail-next", "fail-next -3", "fail-next many", "fail-code 0x22002C",
                         "fail-code 0x22002C maybe", "log --all", "pull now", "wait soon", "wait present -1", "wait opened -1",
                         "scenario", "fail-next 99999999999", "fail-next 4294967296", "fail-next \" -3\"",
                         "fail-code 0x122006C00 on", "wait present \" 5\""};
    for (const char *arguments : bad) {
        const std::string words = arguments;
        CAPTURE(words);
        testing::ProcessResult result = tool(arguments);
        CHECK_MESSAGE(result.exitCode == 2, result.output);
        CHECK_MESSAGE(result.output.find("tunercard --help") != std::string::npos, result.output);
    }
}

TEST_CASE("the tool pulls, inserts, scripts and reports the card")
{
    testing::VirtualCard card;
    CHECK(tool("pull").exitCode == 0);
    CHECK(card.State().inserted == 0);
    CHECK(tool("wait absent 5").exitCode == 0);
    CHECK(tool("wait present 0").exitCode == 1);
    CHECK(tool("insert").exitCode == 0);
    CHECK(tool("wait present 10").exitCode == 0);

    testing::ProcessResult state = tool("state");
    CHECK(state.exitCode == 0);
    CHECK(state.output.find("inserted       yes") != std::string::npos);
    CHECK(state.output.find("frequency      88.0 MHz") != std::string::npos);

    std::string path = testing::BinDirectory() + "\\tool-test-scenario.txt";
    std::ofstream(path) << "seek_step 2\nstation 1001 stereo rds text hello\nstation 1002\n";
    testing::ProcessResult loaded = tool("scenario \"" + path + "\"");
    CHECK(loaded.exitCode == 0);
    CHECK(loaded.output.find("loaded 2 stations") != std::string::npos);
    CHECK(card.State().stationCount == 2);
    std::ofstream(path) << "station 1001 sideways\n";
    testing::ProcessResult refused = tool("scenario \"" + path + "\"");
    CHECK(refused.exitCode == 1);
    CHECK(refused.output.find("line 1: unknown station word 'sideways'") != std::string::npos);
    CHECK(tool("scenario no-such-file.txt").exitCode == 1);
    DeleteFileA(path.c_str());

    CHECK(tool("fail-next 3").exitCode == 0);
    CHECK(card.State().failNext == 3);
    CHECK(tool("fail-next 4294967295").exitCode == 0);
    CHECK(card.State().failNext == 4294967295u);
    CHECK(tool("fail-code 0x22006C on").exitCode == 0);
    CHECK(tool("fail-code 0x22006C off").exitCode == 0);
    // A plan the card cannot keep is an error, not a quiet success.
    testing::ProcessResult zero = tool("fail-code 0 on");
    CHECK(zero.exitCode == 1);
    CHECK(zero.output.find("refused") != std::string::npos);
    for (uint32_t code = 1; code <= CARD_MAX_FAIL_CODES; ++code)
        CHECK(tool("fail-code " + std::to_string(code) + " on").exitCode == 0);
    CHECK(tool("fail-code 0x22006C on").exitCode == 1);
    REQUIRE(card.Control().Reset());

    card.ClearLog();
    card.Control().FailNext(0);
    HANDLE handle = open_tuner_interface(TunerInterfaceGuid, 0);
    REQUIRE(handle);
    int32_t frequency = 1001;
    CHECK(testing::SendRequest(handle, TUNER_SET_FREQUENCY, &frequency, 4, nullptr, 0));
    CloseHandle(handle);
    // Opened: power on, then a volume and a frequency; a later power-on
    // starts over.
    uint32_t on = 1;
    CHECK(tool("wait opened 0").exitCode == 1);
    handle = open_tuner_interface(TunerInterfaceGuid, 0);
    REQUIRE(handle);
    CHECK(testing::SendRequest(handle, TUNER_SET_POWER, &on, 4, nullptr, 0));
    uint32_t volume = 5;
    CHECK(testing::SendRequest(handle, TUNER_SET_VOLUME, &volume, 4, nullptr, 0));
    CHECK(tool("wait opened 0").exitCode == 1);
    CHECK(testing::SendRequest(handle, TUNER_SET_FREQUENCY, &frequency, 4, nullptr, 0));
    CHECK(tool("wait opened 0").exitCode == 0);
    CHECK(testing::SendRequest(handle, TUNER_SET_POWER, &on, 4, nullptr, 0));
    testing::ProcessResult reopened = tool("wait opened 0");
    CHECK(reopened.exitCode == 1);
    CHECK(reopened.output.find("no program has opened the card") != std::string::npos);
    CloseHandle(handle);

    testing::ProcessResult log = tool("log --clear");
    CHECK(log.exitCode == 0);
    CHECK(log.output.find("set_frequency") != std::string::npos);
    CHECK(log.output.find("[e9 03 00 00]") != std::string::npos);
    CHECK(card.State().logTotal == 0);
}
