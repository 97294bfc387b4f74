#include "settings_store.h"

#include <cstring>

namespace {

const char WarningText[] = "Can't get settings from registry,use the default settings!!";

// Registry value names.
const char AudioOutputTypeName[] = "AudioOutputType";
const char AudioOutputName[] = "AudioOutput"; // a copy of AudioOutputType, written only
const char SearchLevelName[] = "SearchLevel";
const char CurrentFrequencyName[] = "CurrentFrequency";
const char CurrentVolumeName[] = "CurrentVolume";
const char AutoSearchName[] = "AutoSearch";
const char GroupName[] = "Group";
const char PresetChannelName[] = "PresetChannel";
const char WindowPosName[] = "WindowPos";
const char StereoNoiseCancelName[] = "StereoNoiseCancel";
const char RadioSystemName[] = "RadioSystem";

// What a missing value starts as: 88.0 MHz, stereo allowed, first group.
const uint8_t DefaultSearchLevel = 1;
const uint8_t DefaultGroup = 1;
const int32_t DefaultAudioOutputType = 2;
const int32_t DefaultCurrentFrequency = 880;
const int32_t DefaultCurrentVolume = 71;
const int32_t DefaultAutoSearch = 0;
const int32_t DefaultStereoNoiseCancel = 0;
const int32_t DefaultRadioSystem = 0; // applied as 1 (USA) by the window
const int32_t EmptyPresets[SettingsStore::PresetCount] = {};
const int32_t DefaultWindowPos[2] = {};

} // namespace

SettingsStore::SettingsStore(HKEY root, const char *subKey)
    : PresetChannel(), Group(0), AutoSearch(0), CurrentVolume(0), CurrentFrequency(0), AudioOutputType(0),
      SearchLevel(0), WindowPos(), StereoNoiseCancel(0), RadioSystem(0), key(nullptr)
{
    DWORD disposition = 0;
    if (RegCreateKeyExA(root, subKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, &disposition) == ERROR_SUCCESS)
        return;
    // Typically a user without write access to the key. There is no window
    // yet, so the box has no owner; the run goes on with defaults and never
    // touches the registry again.
    key = nullptr;
    MessageBoxA(nullptr, WarningText, "", MB_OK);
    use_defaults();
}

SettingsStore::~SettingsStore()
{
    if (key)
        RegCloseKey(key);
}

void SettingsStore::use_defaults()
{
    SearchLevel = DefaultSearchLevel;
    Group = DefaultGroup;
    AudioOutputType = DefaultAudioOutputType;
    CurrentFrequency = DefaultCurrentFrequency;
    CurrentVolume = DefaultCurrentVolume;
    AutoSearch = DefaultAutoSearch;
    std::memcpy(PresetChannel, EmptyPresets, sizeof(PresetChannel));
    std::memcpy(WindowPos, DefaultWindowPos, sizeof(WindowPos));
    StereoNoiseCancel = DefaultStereoNoiseCancel;
    RadioSystem = DefaultRadioSystem;
}

int SettingsStore::load()
{
    if (!key)
        return 0;
    load_number(AudioOutputTypeName, AudioOutputType, DefaultAudioOutputType);
    load_byte(SearchLevelName, SearchLevel, DefaultSearchLevel);
    load_number(CurrentFrequencyName, CurrentFrequency, DefaultCurrentFrequency);
    load_number(CurrentVolumeName, CurrentVolume, DefaultCurrentVolume);
    load_number(AutoSearchName, AutoSearch, DefaultAutoSearch);
    load_byte(GroupName, Group, DefaultGroup);
    load_value(PresetChannelName, REG_BINARY, PresetChannel, EmptyPresets, sizeof(PresetChannel));
    load_value(WindowPosName, REG_BINARY, WindowPos, DefaultWindowPos, sizeof(WindowPos));
    load_number(StereoNoiseCancelName, StereoNoiseCancel, DefaultStereoNoiseCancel);
    load_number(RadioSystemName, RadioSystem, DefaultRadioSystem);
    return 1;
}

int SettingsStore::save()
{
    if (!key)
        return 0;
    write_number(AudioOutputTypeName, AudioOutputType);
    write_number(SearchLevelName, SearchLevel);
    write_number(CurrentFrequencyName, CurrentFrequency);
    write_number(CurrentVolumeName, CurrentVolume);
    write_number(AudioOutputName, AudioOutputType);
    write_number(AutoSearchName, AutoSearch);
    write_number(GroupName, Group);
    write_value(PresetChannelName, REG_BINARY, PresetChannel, sizeof(PresetChannel));
    write_value(WindowPosName, REG_BINARY, WindowPos, sizeof(WindowPos));
    write_number(StereoNoiseCancelName, StereoNoiseCancel);
    write_number(RadioSystemName, RadioSystem);
    return 1;
}

void SettingsStore::load_value(const char *name, DWORD type, void *data, const void *fallback, DWORD size)
{
    // The stored type is not checked: whatever fits is taken as it is, and
    // the consumers clamp the numbers. Missing or too large: default.
    DWORD stored = size;
    if (RegQueryValueExA(key, name, nullptr, nullptr, static_cast<BYTE *>(data), &stored) == ERROR_SUCCESS)
        return;
    std::memcpy(data, fallback, size);
    write_value(name, type, data, size);
}

void SettingsStore::load_number(const char *name, int32_t &field, int32_t fallback)
{
    load_value(name, REG_DWORD, &field, &fallback, sizeof(field));
}

void SettingsStore::load_byte(const char *name, uint8_t &field, uint8_t fallback)
{
    // Stored as a 32-bit number; its low byte is the field. Shorter data
    // leaves the upper bytes, and with no data the field, as they were.
    int32_t wide = field;
    load_number(name, wide, fallback);
    field = static_cast<uint8_t>(wide & 0xFF);
}

void SettingsStore::write_value(const char *name, DWORD type, const void *data, DWORD size)
{
    // A failing write changes nothing for this run; it is not reported.
    RegSetValueExA(key, name, 0, type, static_cast<const BYTE *>(data), size);
}

void SettingsStore::write_number(const char *name, int32_t value)
{
    write_value(name, REG_DWORD, &value, sizeof(value));
}
