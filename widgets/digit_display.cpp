#include "digit_display.h"

DigitDisplay::~DigitDisplay()
{
    digits.DeleteContext();
    point.DeleteContext();
    digitsMask.DeleteContext();
    pointMask.DeleteContext();
    digits.DeleteBitmap();
    point.DeleteBitmap();
    digitsMask.DeleteBitmap();
    pointMask.DeleteBitmap();
}

int DigitDisplay::Load(HWND targetWindow, UINT digitsId, int cellWidth, UINT pointId, UINT digitsMaskId,
                       UINT pointMaskId)
{
    window = targetWindow;
    if (!digitsId || !pointId)
        return 0;
    HDC reference = GetDC(window);
    digits.Load(digitsId, reference);
    point.Load(pointId, reference);
    if (digitsMaskId)
        digitsMask.Load(digitsMaskId, reference);
    if (pointMaskId)
        pointMask.Load(pointMaskId, reference);
    digitHeight = digits.Height();
    // The strips carry a spare cell after the ten digits, so the width of a
    // cell is given rather than derived from the strip.
    digitWidth = cellWidth;
    pointWidth = point.Width();
    pointHeight = point.Height();
    ReleaseDC(window, reference);
    return 1;
}

int DigitDisplay::SetBackground(HDC dc)
{
    if (!dc)
        return 0;
    background = dc;
    return 1;
}

void DigitDisplay::SetRange(uint32_t min, uint32_t max)
{
    if (!shown)
        return;
    minValue = min;
    maxValue = max;
}

int DigitDisplay::SetValue(int newValue, int redraw)
{
    if (!shown)
        return 0;
    // Unsigned on purpose: a negative value reads as a huge one and shows
    // the top of the range.
    const auto wanted = static_cast<uint32_t>(newValue);
    if (wanted > maxValue)
        value = static_cast<int>(maxValue);
    else if (wanted < minValue)
        value = static_cast<int>(minValue);
    else
        value = newValue;
    if (redraw)
        return Draw(1, -1, -1);
    return 0;
}

void DigitDisplay::Show(int flag)
{
    shown = flag;
    Draw(0, -1, -1);
}

void DigitDisplay::RestoreBox(HDC dc, int x) const
{
    if (background)
        BitBlt(dc, x, posY, digitWidth, digitHeight, background, x, posY, SRCCOPY);
}

// With masks the glyphs are light on black: the mask cuts the shape, the
// image fills it. Without, dark glyphs on white are ANDed onto the background.
void DigitDisplay::PaintGlyph(HDC dc, int x, unsigned digit) const
{
    const int sourceX = static_cast<int>(digit) * digitWidth;
    draw_image(dc, x, posY, digitWidth, digitHeight, digits, digitsMask, sourceX, SRCAND);
}

// The point's box is a whole digit cell wide and so reaches into the last
// cell; only full draws, which repaint that cell afterwards, come here.
void DigitDisplay::PaintPoint(HDC dc, int x) const
{
    RestoreBox(dc, x);
    if (!shown)
        return;
    draw_image(dc, x, posY, pointWidth, pointHeight, point, pointMask, 0, SRCAND);
}

bool DigitDisplay::Suppressed(int cell, const uint8_t (&cells)[CellCount]) const
{
    if (!blankLeading)
        return false;
    if (cell == 0)
        return cells[0] == 0;
    if (cell == 1)
        return cells[0] == 0 && cells[1] == 0;
    return false;
}

int DigitDisplay::Draw(int partial, int x, int y)
{
    if (x >= 0 && y >= 0) {
        posX = x;
        posY = y;
    }
    if (!window)
        return 1; // not loaded: nothing to paint into
    const auto shownValue = static_cast<uint32_t>(value);
    const uint8_t cells[CellCount] = {
        static_cast<uint8_t>(shownValue / 1000),
        static_cast<uint8_t>(shownValue % 1000 / 100),
        static_cast<uint8_t>(shownValue % 100 / 10),
        static_cast<uint8_t>(shownValue % 10),
    };
    const int pointX = posX + 3 * digitWidth;
    const int cellX[CellCount] = {posX, posX + digitWidth, posX + 2 * digitWidth, pointX + pointWidth};

    HDC dc = GetDC(window);
    for (int cell = 0; cell < CellCount; ++cell) {
        if (cell == 3 && !partial)
            PaintPoint(dc, pointX);
        if (partial && cells[cell] == lastDigits[cell])
            continue;
        RestoreBox(dc, cellX[cell]);
        lastDigits[cell] = cells[cell];
        if (shown && !Suppressed(cell, cells))
            PaintGlyph(dc, cellX[cell], cells[cell]);
    }
    ReleaseDC(window, dc);
    return 1;
}

RECT DigitDisplay::Bounds() const
{
    return {posX, posY, posX + CellCount * digitWidth + pointWidth, posY + digitHeight};
}
