// Everything the radio remembers between runs, kept as one registry key with
// one value per field. The key is opened when the store is constructed (the
// program's instance is constructed before the entry routine runs), load reads
// the values and writes back defaults for missing or unreadable ones, save
// writes them all. The fields are the program's live state in between.
#pragma once

#include <windows.h>

#include <cstdint>

class SettingsStore {
public:
    static const int PresetCount = 18; // three groups of six buttons

    SettingsStore(HKEY root, const char *subKey);
    virtual ~SettingsStore();
    SettingsStore(const SettingsStore &) = delete;
    SettingsStore &operator=(const SettingsStore &) = delete;

    // 1 after reading every value, 0 (nothing done) when there is no key.
    int load();
    // 1 after writing every value, 0 (nothing done) when there is no key.
    int save();

    // Frequencies in 0.1 MHz: group 1 slots 1-6, group 2, group 3; 0 = empty.
    int32_t PresetChannel[PresetCount];
    uint8_t Group;              // selected preset group 1-3
    int32_t AutoSearch;         // 1: the tune buttons seek, 0: they step
    int32_t CurrentVolume;      // volume slider value
    int32_t CurrentFrequency;   // last tuned frequency, 0.1 MHz
    int32_t AudioOutputType;    // 1 mono forced, 2 stereo allowed
    uint8_t SearchLevel;        // seek sensitivity handed to the card
    int32_t WindowPos[2];       // main window's left and top
    int32_t StereoNoiseCancel;  // 1 on, 0 off
    int32_t RadioSystem;        // band plan 1 USA, 2 Europe, 3 Japan
    HKEY key;                   // nullptr when the key could not be opened

private:
    void use_defaults();
    // Reads one value into `data`; on failure fills `data` from `fallback`
    // and writes that back at once. Data shorter than `size` fills only the
    // first bytes.
    void load_value(const char *name, DWORD type, void *data, const void *fallback, DWORD size);
    void load_number(const char *name, int32_t &field, int32_t fallback);
    void load_byte(const char *name, uint8_t &field, uint8_t fallback);
    void write_value(const char *name, DWORD type, const void *data, DWORD size);
    void write_number(const char *name, int32_t value);
};

// The registry blobs keep these sizes on every build.
static_assert(sizeof(SettingsStore::PresetChannel) == 72, "PresetChannel is 72 bytes in the registry");
static_assert(sizeof(SettingsStore::WindowPos) == 8, "WindowPos is 8 bytes in the registry");
#if defined(__i386__)
// The shipped 32-bit layout: the vtable pointer, the fields with the two
// 8-bit ones in 32-bit slots, and the key handle.
static_assert(sizeof(SettingsStore) == 120, "32-bit SettingsStore layout");
#endif
