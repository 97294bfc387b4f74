// The station presets: three groups of six frequencies, one group current,
// whose six frequencies are printed as small labels beside the preset
// buttons by one small read-out moved from label to label.
#pragma once

#include <windows.h>

#include <cstdint>

#include "digit_display.h"

class PresetBank {
public:
    static constexpr unsigned GroupCount = 3;
    static constexpr unsigned SlotCount = 6;
    // Label glyphs: cells 10 pixels wide.
    static constexpr int LabelCellWidth = 10;

    PresetBank() = default;
    PresetBank(const PresetBank &) = delete;
    PresetBank &operator=(const PresetBank &) = delete;
    virtual ~PresetBank() = default;

    // Loads the label glyphs and stores the label corners (slots 1-6 in
    // order). `radioSystem` is the application's band setting: the labels
    // start with its band, and 0 or a value above 3 is set back to 1 there.
    // 0 and nothing done when window is null.
    int Setup(HWND window, HDC backgroundDc, const POINT (&labelPositions)[SlotCount], int32_t &radioSystem);
    // Groups and slots are 1-based; others are ignored (reads give 0). No redraw.
    void SetPreset(unsigned group, unsigned index, int frequency);
    int GetPreset(unsigned group, unsigned index) const;
    // Stores a whole group and makes it current.
    void SetGroupPresets(unsigned group, int f1, int f2, int f3, int f4, int f5, int f6);
    void SelectGroup(unsigned group);
    int GetGroup() const { return selectedGroup; }
    // Prints label `index` (1-6), or all six for any other index.
    int DrawLabels(unsigned index);
    // The band the labels are clamped to, for display only.
    void SetRange(uint32_t min, uint32_t max) { presetReadout.SetRange(min, max); }

private:
    static bool ValidGroup(unsigned group) { return group >= 1 && group <= GroupCount; }
    static bool ValidSlot(unsigned index) { return index >= 1 && index <= SlotCount; }
    int DrawLabel(unsigned index);

    int selectedGroup = 0;
    DigitDisplay presetReadout;
    int presets[GroupCount][SlotCount] = {};
    POINT labelPos[SlotCount] = {};
};
