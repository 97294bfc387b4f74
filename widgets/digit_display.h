// A Frequency as a four-digit read-out with a decimal point (107.5, or 88.0
// after a blank cell), painted from a strip of digit glyphs. Only the cells
// whose digit changed are repainted, each over its restored background, so
// the read-out can follow a dragged tuning scale without flicker.
#pragma once

#include <windows.h>

#include <cstdint>

#include "resource_image.h"

class DigitDisplay {
public:
    static constexpr int CellCount = 4;

    DigitDisplay() = default;
    DigitDisplay(const DigitDisplay &) = delete;
    DigitDisplay &operator=(const DigitDisplay &) = delete;
    // Releases its glyph images, all contexts before any bitmap.
    virtual ~DigitDisplay();

    // Loads the digit strip (cells `cellWidth` wide, digit k at k x width),
    // the point and the optional masks (0: none) from the program's bitmaps.
    // 0 when the strip or the point id is 0, else 1.
    int Load(HWND window, UINT digitsId, int cellWidth, UINT pointId, UINT digitsMaskId, UINT pointMaskId);
    // The borrowed context to restore cells from; null is refused (0).
    int SetBackground(HDC dc);
    // 1: no glyph for a leading zero in the first two cells.
    void SetBlankLeading(int flag) { blankLeading = flag; }
    // Ignored while hidden.
    void SetRange(uint32_t min, uint32_t max);
    // Clamps (unsigned) and stores; with redraw, repaints the changed cells.
    // 0 while hidden, or when not redrawn.
    int SetValue(int newValue, int redraw);
    int GetValue() const { return value; }
    // A partial draw repaints only changed digit cells and never the point.
    // Negative x or y: at the last position. Returns 1.
    int Draw(int partial, int x, int y);
    // Showing repaints every cell with the current value; hiding blanks them.
    void Show(int flag);
    // The four cells and the point where the last draw put them, client pixels.
    RECT Bounds() const;

private:
    void RestoreBox(HDC dc, int x) const;
    void PaintGlyph(HDC dc, int x, unsigned digit) const;
    void PaintPoint(HDC dc, int x) const;
    bool Suppressed(int cell, const uint8_t (&digits)[CellCount]) const;

    int shown = 1;
    int posY = 0;
    int posX = 0;
    uint32_t minValue = 0;
    uint32_t maxValue = 0;
    int blankLeading = 0;
    HDC background = nullptr; // borrowed
    uint8_t lastDigits[CellCount] = {255, 255, 255, 255}; // 255: nothing painted yet
    int digitWidth = 0;
    int digitHeight = 0;
    int pointWidth = 0;
    int pointHeight = 0;
    HWND window = nullptr;
    ResourceImage digits;
    ResourceImage point;
    ResourceImage digitsMask;
    ResourceImage pointMask;
    int value = 0;
};
