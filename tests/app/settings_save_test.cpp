// Saving the settings: every value with its type and size, byte for byte,
// and once by the program's own instance under its real key, with the
// registry exported the way a user would inspect it.
#include <doctest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <vector>

#include "process_runner.h"
#include "registry_key.h"
#include "settings_fields.h"
#include "settings_store.h"
#include "virtual_card.h"

using testing::Bytes;
using testing::RegistryKey;

namespace {

const char ScratchPath[] = "Software\\TavolinTests\\Settings";
const char RealPath[] = "Software\\Corvane";

struct ExpectedValue {
    const char *name;
    DWORD type;
    std::vector<uint8_t> data;
};

// What FillRunState leaves in the registry after a save.
std::vector<ExpectedValue> RunStateValues()
{
    return {
        {"AudioOutputType", REG_DWORD, {1, 0, 0, 0}},
        {"SearchLevel", REG_DWORD, {2, 0, 0, 0}},
        {"CurrentFrequency", REG_DWORD, {0x13, 0x04, 0, 0}},
        {"CurrentVolume", REG_DWORD, {64, 0, 0, 0}},
        {"AudioOutput", REG_DWORD, {1, 0, 0, 0}},
        {"AutoSearch", REG_DWORD, {1, 0, 0, 0}},
        {"Group", REG_DWORD, {3, 0, 0, 0}},
        {"PresetChannel", REG_BINARY, Bytes(SteppedPresets(875, 11))},
        {"WindowPos", REG_BINARY, {0xF4, 0xFF, 0xFF, 0xFF, 0x59, 0x01, 0, 0}},
        {"StereoNoiseCancel", REG_DWORD, {1, 0, 0, 0}},
        {"RadioSystem", REG_DWORD, {2, 0, 0, 0}},
    };
}

void CheckValues(const RegistryKey &key, const std::vector<ExpectedValue> &expected)
{
    CHECK(key.ValueNames().size() == expected.size());
    for (const ExpectedValue &value : expected) {
        CAPTURE(value.name);
        testing::RegistryValue stored = key.Get(value.name);
        CHECK(stored.present);
        CHECK(stored.type == value.type);
        CHECK(stored.data.size() == value.data.size());
        CHECK(stored.data == value.data);
    }
}

// A .reg file as reg.exe writes it (UTF-16 with a byte-order mark), with
// continued lines joined: value name -> "dword:..." or "hex:..." text.
std::map<std::string, std::string> ReadRegFile(const std::string &path, std::string &text)
{
    std::ifstream file(path, std::ios::binary);
    std::string raw((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    text.clear();
    for (size_t at = 2; at + 1 < raw.size(); at += 2) // every character here is ASCII
        text += raw[at];
    std::string joined;
    for (size_t at = 0; at < text.size(); ++at) {
        if (text.compare(at, 3, "\\\r\n") == 0) {
            at += 2;
            while (at + 1 < text.size() && text[at + 1] == ' ')
                ++at;
        } else if (text[at] != '\r') {
            joined += text[at];
        }
    }
    std::map<std::string, std::string> values;
    std::istringstream lines(joined);
    std::string line;
    while (std::getline(lines, line)) {
        size_t equals = line.find("\"=");
        if (line.size() > 1 && line[0] == '"' && equals != std::string::npos)
            values[line.substr(1, equals - 1)] = line.substr(equals + 2);
    }
    return values;
}

// The .reg form of a value: dword:0000002a, or hex:2a,00,...
std::string RegFileForm(const ExpectedValue &value)
{
    char digits[16];
    if (value.type == REG_DWORD) {
        uint32_t word = static_cast<uint32_t>(value.data[0] | value.data[1] << 8 | value.data[2] << 16 |
                                              static_cast<uint32_t>(value.data[3]) << 24);
        snprintf(digits, sizeof(digits), "%08x", word);
        return std::string("dword:") + digits;
    }
    std::string form = "hex:";
    for (size_t at = 0; at < value.data.size(); ++at) {
        snprintf(digits, sizeof(digits), at ? ",%02x" : "%02x", value.data[at]);
        form += digits;
    }
    return form;
}

} // namespace

TEST_CASE("save writes all eleven values with their types and sizes, byte for byte")
{
    RegistryKey key(ScratchPath);
    SettingsStore store(HKEY_LOCAL_MACHINE, ScratchPath);
    FillRunState(store);
    CHECK(store.save() == 1);
    CheckValues(key, RunStateValues());

    SUBCASE("a second store loads them back into the same fields")
    {
        SettingsStore next(HKEY_LOCAL_MACHINE, ScratchPath);
        CHECK(next.load() == 1);
        CHECK(FieldsOf(next) == FieldsOf(store));
        CHECK(FieldsOf(next) == SettingsFields{1, 2, 1043, 64, 1, 3, SteppedPresets(875, 11), -12, 345, 1, 2});
        CheckValues(key, RunStateValues()); // nothing written back
    }
    SUBCASE("AudioOutput follows AudioOutputType at every save")
    {
        store.AudioOutputType = 2;
        CHECK(store.save() == 1);
        CHECK(key.Get("AudioOutput").data == Bytes({2}));
        CHECK(key.Get("AudioOutputType").data == Bytes({2}));
    }
    SUBCASE("the 8-bit fields are widened with zeros")
    {
        store.Group = 0xFE;
        store.SearchLevel = 0x80;
        CHECK(store.save() == 1);
        CHECK(key.Get("Group").data == Bytes({0xFE}));
        CHECK(key.Get("SearchLevel").data == Bytes({0x80}));
    }
    SUBCASE("save replaces values of another type or size")
    {
        key.Set("PresetChannel", REG_BINARY, std::vector<uint8_t>(100, 7));
        key.Set("WindowPos", REG_DWORD, Bytes({5}));
        key.Set("Group", REG_SZ, {'2', 0});
        CHECK(store.save() == 1);
        CheckValues(key, RunStateValues());
    }
}

TEST_CASE("the program's own instance, under HKEY_LOCAL_MACHINE\\Software\\Corvane: first run, exit, and the "
          "exported registry")
{
    RegistryKey key(RealPath);
    // Two runs of a program linked with the instance as the radio links it.
    const std::string probe = "\"" + testing::BinDirectory() + "\\settings_instance_probe.exe\" ";
    testing::ProcessResult firstRun = testing::RunProgram(probe + "load");
    CHECK(firstRun.exitCode == 0);
    CHECK(key.ValueNames().size() == 10); // the defaults written back
    CHECK(key.Get("CurrentFrequency").data == Bytes({880}));
    testing::ProcessResult secondRun = testing::RunProgram(probe + "save");
    CHECK(secondRun.exitCode == 0);
    CheckValues(key, RunStateValues());
    MESSAGE("after save:\n" << key.Dump());

    // The registry as reg.exe exports it: every value with its type and size.
    std::string path = testing::BinDirectory() + "\\settings-dump.reg";
    testing::ProcessResult exported = testing::RunProgram("reg.exe export HKLM\\" + std::string(RealPath) + " \"" +
                                                          path + "\" /y");
    REQUIRE(exported.exitCode == 0);
    std::string text;
    std::map<std::string, std::string> dumped = ReadRegFile(path, text);
    MESSAGE("reg export HKLM\\Software\\Corvane:\n" << text);
    CHECK(text.find("[HKEY_LOCAL_MACHINE\\Software\\Corvane]") != std::string::npos);
    CHECK(dumped.size() == 11);
    for (const ExpectedValue &value : RunStateValues()) {
        CAPTURE(value.name);
        CHECK(dumped[value.name] == RegFileForm(value));
    }
}
