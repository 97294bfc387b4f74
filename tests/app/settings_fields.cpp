#include "settings_fields.h"

#include <algorithm>

SettingsFields FieldsOf(const SettingsStore &store)
{
    return {store.AudioOutputType,
            store.SearchLevel,
            store.CurrentFrequency,
            store.CurrentVolume,
            store.AutoSearch,
            store.Group,
            std::vector<int32_t>(store.PresetChannel, store.PresetChannel + SettingsStore::PresetCount),
            store.WindowPos[0],
            store.WindowPos[1],
            store.StereoNoiseCancel,
            store.RadioSystem};
}

SettingsFields DefaultFields()
{
    return {2, 1, 880, 71, 0, 1, std::vector<int32_t>(SettingsStore::PresetCount, 0), 0, 0, 0, 0};
}

std::vector<int32_t> SteppedPresets(int32_t first, int32_t step)
{
    std::vector<int32_t> presets;
    for (int32_t slot = 0; slot < SettingsStore::PresetCount; ++slot)
        presets.push_back(first + slot * step);
    return presets;
}

bool operator==(const SettingsFields &left, const SettingsFields &right)
{
    return left.AudioOutputType == right.AudioOutputType && left.SearchLevel == right.SearchLevel &&
           left.CurrentFrequency == right.CurrentFrequency && left.CurrentVolume == right.CurrentVolume &&
           left.AutoSearch == right.AutoSearch && left.Group == right.Group &&
           left.PresetChannel == right.PresetChannel && left.Left == right.Left && left.Top == right.Top &&
           left.StereoNoiseCancel == right.StereoNoiseCancel && left.RadioSystem == right.RadioSystem;
}

std::ostream &operator<<(std::ostream &out, const SettingsFields &fields)
{
    out << "{AudioOutputType " << fields.AudioOutputType << ", SearchLevel " << fields.SearchLevel
        << ", CurrentFrequency " << fields.CurrentFrequency << ", CurrentVolume " << fields.CurrentVolume
        << ", AutoSearch " << fields.AutoSearch << ", Group " << fields.Group << ", PresetChannel";
    for (int32_t frequency : fields.PresetChannel)
        out << ' ' << frequency;
    return out << ", WindowPos " << fields.Left << ' ' << fields.Top << ", StereoNoiseCancel "
               << fields.StereoNoiseCancel << ", RadioSystem " << fields.RadioSystem << '}';
}

void FillRunState(SettingsStore &store)
{
    std::vector<int32_t> presets = SteppedPresets(875, 11);
    std::copy(presets.begin(), presets.end(), store.PresetChannel);
    store.Group = 3;
    store.AutoSearch = 1;
    store.CurrentVolume = 64;
    store.CurrentFrequency = 1043;
    store.AudioOutputType = 1;
    store.SearchLevel = 2;
    store.WindowPos[0] = -12;
    store.WindowPos[1] = 345;
    store.StereoNoiseCancel = 1;
    store.RadioSystem = 2;
}
