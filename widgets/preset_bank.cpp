#include "preset_bank.h"

#include "band_plan.h"
#include "bitmap_ids.h"

int PresetBank::Setup(HWND window, HDC backgroundDc, const POINT (&labelPositions)[SlotCount], int32_t &radioSystem)
{
    if (!window)
        return 0;
    presetReadout.Load(window, IDB_PRESET_DIGITS, LabelCellWidth, IDB_PRESET_POINT, 0, 0);
    presetReadout.SetBackground(backgroundDc);
    presetReadout.SetBlankLeading(1);
    // The same correction the window applies to the setting: 0 means USA,
    // anything above 3 is set back to USA and gives no band this time.
    const auto system = static_cast<uint32_t>(radioSystem);
    if (system == 0 || system > RadioSystemJapan)
        radioSystem = RadioSystemUsa;
    Band band = {};
    if (band_of(system == 0 ? RadioSystemUsa : system, band)) {
        presetReadout.SetRange(static_cast<uint32_t>(band.low), static_cast<uint32_t>(band.high));
        presetReadout.SetValue(band.low, 0);
    }
    for (unsigned slot = 0; slot < SlotCount; ++slot)
        labelPos[slot] = labelPositions[slot];
    return 1;
}

void PresetBank::SetPreset(unsigned group, unsigned index, int frequency)
{
    if (ValidGroup(group) && ValidSlot(index))
        presets[group - 1][index - 1] = frequency;
}

int PresetBank::GetPreset(unsigned group, unsigned index) const
{
    if (ValidGroup(group) && ValidSlot(index))
        return presets[group - 1][index - 1];
    return 0;
}

void PresetBank::SetGroupPresets(unsigned group, int f1, int f2, int f3, int f4, int f5, int f6)
{
    if (!ValidGroup(group))
        return;
    const int frequencies[SlotCount] = {f1, f2, f3, f4, f5, f6};
    for (unsigned slot = 1; slot <= SlotCount; ++slot)
        SetPreset(group, slot, frequencies[slot - 1]);
    SelectGroup(group);
}

void PresetBank::SelectGroup(unsigned group)
{
    if (ValidGroup(group))
        selectedGroup = static_cast<int>(group);
}

// Before any group was selected there is no current group; the labels then
// print 0 clamped to the band rather than reading outside the table.
int PresetBank::DrawLabel(unsigned index)
{
    presetReadout.SetValue(GetPreset(static_cast<unsigned>(selectedGroup), index), 0);
    const POINT &at = labelPos[index - 1];
    return presetReadout.Draw(0, at.x, at.y);
}

int PresetBank::DrawLabels(unsigned index)
{
    if (ValidSlot(index))
        return DrawLabel(index);
    int result = 0;
    for (unsigned slot = 1; slot <= SlotCount; ++slot)
        result = DrawLabel(slot);
    return result;
}
