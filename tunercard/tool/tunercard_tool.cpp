// tunercard: command-line control of the virtual tuner card for people and
// tests. Installs and removes the card, pulls and inserts it, scripts its
// stations and failures, and prints its state and request log.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "../../device/tuner_discovery.h"
#include "../../device/tuner_protocol.h"
#include "../client/card_control_client.h"
#include "../client/card_installer.h"
#include "../client/scenario_file.h"

namespace {

enum ExitCode { ExitOk = 0, ExitFailed = 1, ExitUsage = 2 };

const char kUsage[] =
    "usage: tunercard COMMAND [ARGUMENTS]\n"
    "\n"
    "Controls the virtual tuner card that stands in for the FM card's driver.\n"
    "\n"
    "  install [INF]          create the card's device and install its driver\n"
    "                         (default INF: tavolincard.inf beside this program)\n"
    "  uninstall              remove the card's device and stop its driver\n"
    "  pull                   pull the card out: open handles fail, discovery finds nothing\n"
    "  insert                 put the card back in\n"
    "  state                  print the card's state\n"
    "  log [--clear]          print the requests the card received (and clear them)\n"
    "  clear-log              forget the logged requests\n"
    "  scenario FILE          load stations and timing from a scenario file\n"
    "  fail-next N            make the next N tuner requests fail\n"
    "  fail-code CODE on|off  make every request with CODE (decimal or 0x hex)\n"
    "                         fail, or stop that; up to 8 codes at once\n"
    "  reset                  back to the factory state and built-in stations\n"
    "  wait present|absent|opened [SECONDS]\n"
    "                         wait until discovery finds the card (or no longer does),\n"
    "                         or until a program has opened it: powered it on, then\n"
    "                         sent a volume and a frequency\n"
    "  --help                 show this text\n"
    "\n"
    "Exit codes: 0 done, 1 the card or its driver is missing or refused, 2 bad arguments.\n";

int usage_error(const std::string &message)
{
    std::fprintf(stderr, "tunercard: %s\nTry 'tunercard --help'.\n", message.c_str());
    return ExitUsage;
}

int failure(const std::string &message)
{
    std::fprintf(stderr, "tunercard: %s\n", message.c_str());
    return ExitFailed;
}

const char *request_name(uint32_t code)
{
    for (const TunerRequestLayout &layout : TunerRequestLayouts)
        if (layout.code == code)
            return layout.name;
    return "unknown";
}

bool open_control(tunercard::CardControlClient *control)
{
    if (control->Open())
        return true;
    std::fprintf(stderr, "tunercard: the virtual card's driver is not loaded (install the card first)\n");
    return false;
}

std::string program_directory()
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof(path));
    std::string directory(path, length);
    size_t slash = directory.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".") : directory.substr(0, slash);
}

std::string full_path(const std::string &path)
{
    char buffer[MAX_PATH];
    DWORD length = GetFullPathNameA(path.c_str(), sizeof(buffer), buffer, nullptr);
    return length && length < sizeof(buffer) ? std::string(buffer, length) : path;
}

void print_state(const CardState &state)
{
    std::printf("installed      %s\n", state.installed ? "yes" : "no");
    std::printf("inserted       %s\n", state.inserted ? "yes" : "no");
    std::printf("open handles   %u\n", state.openHandles);
    std::printf("power          %s\n", state.power ? "on" : "off");
    std::printf("band           %u (%s)\n", state.band,
                state.band == TUNER_BAND_USA ? "USA 88-108 MHz" : state.band == TUNER_BAND_EUROPE ? "Europe 87.5-108 MHz"
                                                                : state.band == TUNER_BAND_JAPAN ? "Japan 76-91 MHz" : "?");
    std::printf("frequency      %d.%d MHz\n", state.frequency / 10, std::abs(state.frequency % 10));
    std::printf("volume         %u\n", state.volume);
    std::printf("mute           %s\n", state.mute ? "on" : "off");
    std::printf("mono           %s\n", state.mono ? "forced" : "stereo allowed");
    std::printf("noise cancel   %s\n", state.noiseCancel ? "on" : "off");
    std::printf("search level   %u\n", state.searchLevel);
    std::printf("stereo         %s\n", state.stereo ? "yes" : "no");
    std::printf("rds            %s, level %u\n", state.rdsRunning ? "running" : "stopped", state.rdsLevel);
    std::printf("stations       %u\n", state.stationCount);
    std::printf("fail next      %u\n", state.failNext);
    std::printf("logged         %llu requests\n", static_cast<unsigned long long>(state.logTotal));
}

int print_log(tunercard::CardControlClient &control, bool clear)
{
    CardState state;
    std::vector<CardLogEntry> entries;
    if (!control.GetState(&state) || !control.ReadLog(&entries))
        return failure("the card did not hand out its log");
    for (const CardLogEntry &entry : entries) {
        double ms = state.counterFrequency ? 1000.0 * static_cast<double>(entry.timestamp) /
                                                 static_cast<double>(state.counterFrequency) : 0.0;
        std::printf("%6llu %12.3f ms  handle %-3u %-24s %#08x in %3u [", static_cast<unsigned long long>(entry.sequence),
                    ms, entry.handleId, request_name(entry.code), entry.code, entry.inputSize);
        uint32_t shown = entry.inputSize < 16 ? entry.inputSize : 16;
        for (uint32_t i = 0; i < shown; ++i)
            std::printf(i ? " %02x" : "%02x", entry.input[i]);
        std::printf("%s] out %3u returned %3u %s\n", entry.inputSize > shown ? " ..." : "", entry.outputSize,
                    entry.returnedSize, entry.success ? "ok" : "FAILED");
    }
    if (clear && !control.ClearLog())
        return failure("the card did not clear its log");
    return ExitOk;
}

bool card_discoverable()
{
    HANDLE handle = open_tuner_interface(TunerInterfaceGuid, 0);
    if (!handle)
        return false;
    CloseHandle(handle);
    return true;
}

// Opened as the radio opens it: powered on, and since the last power-on a
// volume and a frequency accepted.
bool card_opened(tunercard::CardControlClient &control)
{
    CardState state;
    std::vector<CardLogEntry> entries;
    if (!control.GetState(&state) || !state.power || !control.ReadLog(&entries))
        return false;
    bool volume = false;
    bool frequency = false;
    for (const CardLogEntry &entry : entries) {
        if (!entry.success)
            continue;
        if (entry.code == TUNER_SET_POWER)
            volume = frequency = false;
        volume = volume || entry.code == TUNER_SET_VOLUME;
        frequency = frequency || entry.code == TUNER_SET_FREQUENCY;
    }
    return volume && frequency;
}

int wait_for(const std::vector<std::string> &args)
{
    if (args.size() < 2 || args.size() > 3 || (args[1] != "present" && args[1] != "absent" && args[1] != "opened"))
        return usage_error("wait takes present, absent or opened, and optionally seconds");
    long long seconds = 20;
    if (args.size() == 3 && !tunercard::ParseWholeNumber(args[2], 0, 3600, &seconds))
        return usage_error("wait takes 0..3600 seconds");
    tunercard::CardControlClient control;
    if (args[1] == "opened" && !open_control(&control))
        return ExitFailed;
    const std::string &wanted = args[1];
    DWORD deadline = GetTickCount() + static_cast<DWORD>(seconds) * 1000;
    for (;;) {
        if (wanted == "opened" ? card_opened(control) : card_discoverable() == (wanted == "present"))
            return ExitOk;
        if (static_cast<LONG>(GetTickCount() - deadline) >= 0)
            return failure(wanted == "opened"    ? "no program has opened the card"
                           : wanted == "present" ? "the card is still absent"
                                                 : "the card is still present");
        Sleep(100);
    }
}

int load_scenario(tunercard::CardControlClient &control, const std::string &path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return failure("cannot read scenario file " + path);
    std::stringstream text;
    text << file.rdbuf();
    static CardScenario scenario;
    std::string error;
    if (!tunercard::ParseScenario(text.str(), &scenario, &error))
        return failure(path + ": " + error);
    if (!control.LoadScenario(scenario))
        return failure("the card refused the scenario");
    std::printf("loaded %u stations\n", scenario.stationCount);
    return ExitOk;
}

// A count in decimal, or a request code in decimal or 0x hex, of 32 bits.
bool parse_unsigned(const std::string &word, uint32_t *value)
{
    const bool hex = word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X');
    long long parsed = 0;
    if (!tunercard::ParseWholeNumber(hex ? word.substr(2) : word, 0, 0xFFFFFFFFll, &parsed, hex ? 16 : 10))
        return false;
    *value = static_cast<uint32_t>(parsed);
    return true;
}

int run(const std::vector<std::string> &args)
{
    if (args.empty())
        return usage_error("no command given");
    const std::string &command = args[0];
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(kUsage, stdout);
        return ExitOk;
    }
    auto arity = [&](size_t lowest, size_t highest) { return args.size() >= lowest && args.size() <= highest; };

    if (command == "install") {
        if (!arity(1, 2))
            return usage_error("install takes at most an INF path");
        std::string inf = args.size() == 2 ? full_path(args[1]) : program_directory() + "\\tavolincard.inf";
        tunercard::InstallResult result = tunercard::CardInstaller().Install(inf);
        if (!result.ok)
            return failure(result.message);
        std::printf("%s\n", result.message.c_str());
        return ExitOk;
    }
    if (command == "uninstall") {
        if (!arity(1, 1))
            return usage_error("uninstall takes no arguments");
        tunercard::InstallResult result = tunercard::CardInstaller().Uninstall();
        if (!result.ok)
            return failure(result.message);
        std::printf("%s\n", result.message.c_str());
        return ExitOk;
    }
    if (command == "wait")
        return wait_for(args);

    static const char *const simple[] = {"pull", "insert", "state", "clear-log", "reset"};
    bool known = command == "log" || command == "scenario" || command == "fail-next" || command == "fail-code";
    for (const char *name : simple)
        known = known || command == name;
    if (!known)
        return usage_error("unknown command '" + command + "'");

    // Check the arguments before touching the card.
    uint32_t number = 0;
    bool flag = false;
    if (command == "log" && !(arity(1, 1) || (arity(2, 2) && args[1] == "--clear")))
        return usage_error("log takes only --clear");
    if (command == "scenario" && !arity(2, 2))
        return usage_error("scenario takes a file");
    if (command == "fail-next" && !(arity(2, 2) && parse_unsigned(args[1], &number)))
        return usage_error("fail-next takes a count");
    if (command == "fail-code") {
        if (!arity(3, 3) || !parse_unsigned(args[1], &number) || (args[2] != "on" && args[2] != "off"))
            return usage_error("fail-code takes a request code and on or off");
        flag = args[2] == "on";
    }
    bool takesNothing = command != "log" && command != "scenario" && command != "fail-next" && command != "fail-code";
    if (takesNothing && !arity(1, 1))
        return usage_error(command + " takes no arguments");

    tunercard::CardControlClient control;
    if (!open_control(&control))
        return ExitFailed;
    CardState state;
    if (command == "state") {
        if (!control.GetState(&state))
            return failure("the card did not report its state");
        print_state(state);
        return ExitOk;
    }
    if (command == "log")
        return print_log(control, args.size() == 2);
    if (command == "scenario")
        return load_scenario(control, args[1]);
    bool done = command == "pull" ? control.Pull()
              : command == "insert" ? control.Insert()
              : command == "clear-log" ? control.ClearLog()
              : command == "reset" ? control.Reset()
              : command == "fail-next" ? control.FailNext(number)
              : control.FailCode(number, flag);
    if (!done)
        return failure(command == "pull" || command == "insert" ? "no card is attached to the driver"
                                                                : "the card refused '" + command + "'");
    return ExitOk;
}

} // namespace

int main(int argc, char **argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    return run(args);
}
