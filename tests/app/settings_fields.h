// A SettingsStore's fields as one record that compares and prints, so a
// check can name every setting at once and show them all when it fails.
#pragma once

#include <cstdint>
#include <ostream>
#include <vector>

#include "settings_store.h"

struct SettingsFields {
    int32_t AudioOutputType, SearchLevel, CurrentFrequency, CurrentVolume, AutoSearch, Group;
    std::vector<int32_t> PresetChannel;
    int32_t Left, Top, StereoNoiseCancel, RadioSystem;
};

SettingsFields FieldsOf(const SettingsStore &store);
// What a first run, or a run without the key, starts with.
SettingsFields DefaultFields();
// 18 preset frequencies: first, first + step, ...
std::vector<int32_t> SteppedPresets(int32_t first, int32_t step);

// A run's state with a different number in every field.
void FillRunState(SettingsStore &store);

bool operator==(const SettingsFields &left, const SettingsFields &right);
std::ostream &operator<<(std::ostream &out, const SettingsFields &fields);
