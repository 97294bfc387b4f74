// Loading the settings from the registry: defaults written back for what is
// missing or too large, stored values taken as they are, short or foreign
// data filling only the first bytes of a field.
#include <doctest.h>

#include <cstring>
#include <vector>

#include "registry_key.h"
#include "settings_fields.h"
#include "settings_store.h"

using testing::Bytes;
using testing::RegistryKey;

namespace {

const char ScratchPath[] = "Software\\TavolinTests\\Settings";

void CheckValue(const RegistryKey &key, const char *name, DWORD type, const std::vector<uint8_t> &data)
{
    CAPTURE(name);
    testing::RegistryValue value = key.Get(name);
    CHECK(value.present);
    CHECK(value.type == type);
    CHECK(value.data == data);
}

} // namespace

TEST_CASE("a clean first run creates the key and writes the ten defaults back")
{
    RegistryKey key(ScratchPath);
    SettingsStore store(HKEY_LOCAL_MACHINE, ScratchPath);
    REQUIRE(store.key != nullptr);
    CHECK(key.Exists());
    CHECK(key.ValueNames().empty());
    // Until load every field is zero.
    CHECK(FieldsOf(store) == SettingsFields{0, 0, 0, 0, 0, 0, std::vector<int32_t>(18, 0), 0, 0, 0, 0});

    CHECK(store.load() == 1);
    CHECK(FieldsOf(store) == DefaultFields());

    CHECK(key.ValueNames().size() == 10);
    CheckValue(key, "AudioOutputType", REG_DWORD, Bytes({2}));
    CheckValue(key, "SearchLevel", REG_DWORD, Bytes({1}));
    CheckValue(key, "CurrentFrequency", REG_DWORD, Bytes({880}));
    CheckValue(key, "CurrentVolume", REG_DWORD, Bytes({71}));
    CheckValue(key, "AutoSearch", REG_DWORD, Bytes({0}));
    CheckValue(key, "Group", REG_DWORD, Bytes({1}));
    CheckValue(key, "PresetChannel", REG_BINARY, std::vector<uint8_t>(72, 0));
    CheckValue(key, "WindowPos", REG_BINARY, std::vector<uint8_t>(8, 0));
    CheckValue(key, "StereoNoiseCancel", REG_DWORD, Bytes({0}));
    CheckValue(key, "RadioSystem", REG_DWORD, Bytes({0}));
    // AudioOutput is never read, so load does not create it; save does.
    CHECK_FALSE(key.Get("AudioOutput").present);
    CHECK(store.save() == 1);
    CheckValue(key, "AudioOutput", REG_DWORD, Bytes({2}));
    CHECK(key.ValueNames().size() == 11);
}

TEST_CASE("stored values are read as they are, and nothing is written back")
{
    RegistryKey key(ScratchPath);
    std::vector<uint8_t> presets = Bytes(SteppedPresets(900, 5));
    key.Set("PresetChannel", REG_BINARY, presets);
    key.Set("WindowPos", REG_BINARY, Bytes({-40, 1200}));
    key.SetNumber("AudioOutputType", 1);
    key.SetNumber("CurrentFrequency", 1017);
    key.SetNumber("CurrentVolume", 55);
    key.SetNumber("AutoSearch", 1);
    key.SetNumber("StereoNoiseCancel", 1);
    key.SetNumber("RadioSystem", 3);
    // The 8-bit fields take the low byte of the stored number.
    key.SetNumber("Group", 0x1202);
    key.SetNumber("SearchLevel", 0xFFFFFF83); // unclamped: the card clamps
    // Never read: a different number here changes nothing.
    key.SetNumber("AudioOutput", 7);

    SettingsStore store(HKEY_LOCAL_MACHINE, ScratchPath);
    CHECK(store.load() == 1);
    CHECK(FieldsOf(store) == SettingsFields{1, 0x83, 1017, 55, 1, 2, SteppedPresets(900, 5), -40, 1200, 1, 3});

    CHECK(key.ValueNames().size() == 11);
    CheckValue(key, "Group", REG_DWORD, Bytes({0x1202}));
    CheckValue(key, "SearchLevel", REG_DWORD, Bytes({static_cast<int32_t>(0xFFFFFF83)}));
    CheckValue(key, "AudioOutput", REG_DWORD, Bytes({7}));
    CheckValue(key, "PresetChannel", REG_BINARY, presets);

    SUBCASE("out-of-range numbers are kept for the consumers to clamp")
    {
        key.SetNumber("CurrentFrequency", 5000);
        key.SetNumber("RadioSystem", 9);
        key.SetNumber("Group", 4);
        CHECK(store.load() == 1);
        CHECK(store.CurrentFrequency == 5000);
        CHECK(store.RadioSystem == 9);
        CHECK(store.Group == 4);
        CheckValue(key, "RadioSystem", REG_DWORD, Bytes({9}));
    }
}

TEST_CASE("values too large for their field are replaced by the default, in the registry too")
{
    RegistryKey key(ScratchPath);
    SettingsStore store(HKEY_LOCAL_MACHINE, ScratchPath);
    REQUIRE(store.load() == 1);
    std::vector<uint8_t> hundred(100, 0x11);

    SUBCASE("PresetChannel of 100 bytes: 72 zero bytes, all presets empty")
    {
        key.Set("PresetChannel", REG_BINARY, hundred);
        store.PresetChannel[4] = 950; // what the run had: replaced as well
        CHECK(store.load() == 1);
        CHECK(FieldsOf(store).PresetChannel == std::vector<int32_t>(18, 0));
        CheckValue(key, "PresetChannel", REG_BINARY, std::vector<uint8_t>(72, 0));
    }
    SUBCASE("WindowPos of 12 bytes: 8 zero bytes")
    {
        key.Set("WindowPos", REG_BINARY, Bytes({10, 20, 30}));
        CHECK(store.load() == 1);
        CHECK(store.WindowPos[0] == 0);
        CHECK(store.WindowPos[1] == 0);
        CheckValue(key, "WindowPos", REG_BINARY, std::vector<uint8_t>(8, 0));
    }
    SUBCASE("numbers of 8 bytes: the default, written back as a 4-byte REG_DWORD")
    {
        key.Set("CurrentFrequency", REG_QWORD, Bytes({1010, 0}));
        key.Set("Group", REG_BINARY, {3, 0, 0, 0, 0});
        key.Set("SearchLevel", REG_QWORD, Bytes({2, 0}));
        CHECK(store.load() == 1);
        CHECK(store.CurrentFrequency == 880);
        CHECK(store.Group == 1);
        CHECK(store.SearchLevel == 1);
        CheckValue(key, "CurrentFrequency", REG_DWORD, Bytes({880}));
        CheckValue(key, "Group", REG_DWORD, Bytes({1}));
        CheckValue(key, "SearchLevel", REG_DWORD, Bytes({1}));
    }
    SUBCASE("a deleted value comes back with its default at the next load")
    {
        store.CurrentVolume = 60;
        CHECK(store.save() == 1);
        key.Remove("CurrentVolume");
        CHECK(store.load() == 1);
        CHECK(store.CurrentVolume == 71);
        CheckValue(key, "CurrentVolume", REG_DWORD, Bytes({71}));
    }
}

TEST_CASE("data shorter than the field fills its first bytes and keeps the rest")
{
    RegistryKey key(ScratchPath);
    SettingsStore store(HKEY_LOCAL_MACHINE, ScratchPath);

    SUBCASE("PresetChannel of 24 bytes: group 1 is read, groups 2 and 3 stay empty")
    {
        std::vector<uint8_t> group1 = Bytes({881, 902, 953, 1004, 1055, 1076});
        key.Set("PresetChannel", REG_BINARY, group1);
        CHECK(store.load() == 1);
        std::vector<int32_t> expected = {881, 902, 953, 1004, 1055, 1076};
        expected.resize(18, 0);
        CHECK(FieldsOf(store).PresetChannel == expected);
        // Nothing failed, so the short value stays as it was.
        CheckValue(key, "PresetChannel", REG_BINARY, group1);
    }
    SUBCASE("WindowPos stored as a 4-byte REG_DWORD: the left is read, the top kept")
    {
        key.SetNumber("WindowPos", 150);
        store.WindowPos[1] = 77;
        CHECK(store.load() == 1);
        CHECK(store.WindowPos[0] == 150);
        CHECK(store.WindowPos[1] == 77);
        CheckValue(key, "WindowPos", REG_DWORD, Bytes({150}));
    }
    SUBCASE("a 2-byte number replaces only the low half of what the field held")
    {
        key.SetNumber("CurrentVolume", 0x00AB0000);
        CHECK(store.load() == 1);
        CHECK(store.CurrentVolume == 0x00AB0000);
        key.Set("CurrentVolume", REG_BINARY, {0x34, 0x12});
        CHECK(store.load() == 1);
        CHECK(store.CurrentVolume == 0x00AB1234);
    }
    SUBCASE("empty data leaves an 8-bit field as it was")
    {
        key.SetNumber("SearchLevel", 3);
        CHECK(store.load() == 1);
        key.Set("SearchLevel", REG_BINARY, {});
        CHECK(store.load() == 1);
        CHECK(store.SearchLevel == 3);
        key.Set("Group", REG_BINARY, {2});
        CHECK(store.load() == 1);
        CHECK(store.Group == 2);
    }
}

TEST_CASE("the stored type is not checked: data of any type that fits is taken")
{
    RegistryKey key(ScratchPath);
    key.Set("CurrentFrequency", REG_BINARY, Bytes({1045}));
    key.Set("RadioSystem", REG_DWORD_BIG_ENDIAN, Bytes({2}));
    key.Set("PresetChannel", REG_DWORD, Bytes({1071}));
    key.Set("AutoSearch", REG_SZ, {'1', 0}); // the character code, as bytes
    key.Set("Group", REG_MULTI_SZ, {'3', 0, 0});
    SettingsStore store(HKEY_LOCAL_MACHINE, ScratchPath);
    CHECK(store.load() == 1);
    CHECK(store.CurrentFrequency == 1045);
    CHECK(store.RadioSystem == 2); // the bytes as stored, not byte-swapped
    CHECK(store.PresetChannel[0] == 1071);
    CHECK(store.PresetChannel[1] == 0);
    CHECK(store.AutoSearch == '1');
    CHECK(store.Group == '3');
    // Accepted values keep their type in the registry.
    CheckValue(key, "CurrentFrequency", REG_BINARY, Bytes({1045}));
    CheckValue(key, "RadioSystem", REG_DWORD_BIG_ENDIAN, Bytes({2}));
    CHECK(key.Get("AutoSearch").type == REG_SZ);
}
