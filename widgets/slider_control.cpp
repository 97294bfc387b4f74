#include "slider_control.h"

#include <cmath>

namespace {

// Pixel offsets and pointer values are truncated toward zero. Results are
// kept well inside the int range so that adding a window coordinate cannot
// overflow, whatever range or pointer the slider is given.
constexpr double OffsetLimit = 1 << 30;

int truncate_toward_zero(double number)
{
    if (std::isnan(number))
        return 0;
    if (number > OffsetLimit)
        return static_cast<int>(OffsetLimit);
    if (number < -OffsetLimit)
        return -static_cast<int>(OffsetLimit);
    return static_cast<int>(number);
}

// Centring halves are rounded down, also for a thumb larger than its track.
int half_rounded_down(int number)
{
    return number >= 0 ? number / 2 : -((1 - number) / 2);
}

} // namespace

SliderControl::~SliderControl()
{
    mask.DeleteContext();
    ownBackground.DeleteContext();
    thumb.DeleteContext();
    dragThumb.DeleteContext();
    mask.DeleteBitmap();
    thumb.DeleteBitmap();
    dragThumb.DeleteBitmap();
    ownBackground.DeleteBitmap();
}

int SliderControl::Init(HWND targetWindow, int direction, int x, int y, int width, int height, UINT thumbId,
                        UINT dragThumbId, UINT ownBackgroundId)
{
    window = targetWindow;
    orientation = direction;
    rect = {x, y, x + width, y + height};
    HDC reference = GetDC(window);
    thumb.Load(thumbId, reference);
    if (IsHorizontal()) {
        thumbBaseX = x;
        thumbBaseY = y + half_rounded_down(height - ThumbHeight());
    } else {
        thumbBaseX = x + half_rounded_down(width - ThumbWidth());
        thumbBaseY = y + height - ThumbHeight();
    }
    if (ownBackgroundId)
        ownBackground.Load(ownBackgroundId, reference);
    if (dragThumbId)
        dragThumb.Load(dragThumbId, reference);
    ReleaseDC(window, reference);
    return 1;
}

int SliderControl::SetMask(UINT maskId)
{
    if (!maskId)
        return 0;
    HDC reference = GetDC(window);
    mask.Load(maskId, reference);
    ReleaseDC(window, reference);
    return 1;
}

void SliderControl::SetBackground(HDC dc, int sourceX, int sourceY)
{
    if (!dc)
        return;
    background = dc;
    bgSrcX = sourceX;
    bgSrcY = sourceY;
    bgSrcRight = rect.right - rect.left + sourceX;
    bgSrcBottom = rect.bottom - rect.top + sourceY;
    hasBackground = 1;
}

int SliderControl::SetRange(int min, int max)
{
    const auto low = static_cast<unsigned>(min);
    const auto high = static_cast<unsigned>(max);
    if (high <= low)
        return 0;
    minValue = min;
    maxValue = max;
    const int travel =
        IsHorizontal() ? rect.right - rect.left - ThumbWidth() : rect.bottom - rect.top - ThumbHeight();
    // Stored as a 32-bit float on purpose: the boundary values of the track
    // depend on exactly this rounding.
    scale = static_cast<float>(static_cast<double>(travel) / static_cast<double>(high - low));
    value = min;
    return 1;
}

int SliderControl::Offset(double fromMinimum) const
{
    return truncate_toward_zero(fromMinimum * static_cast<double>(scale));
}

POINT SliderControl::ThumbPosition() const
{
    const int offset = Offset(static_cast<double>(value) - static_cast<double>(minValue));
    if (IsHorizontal())
        return {thumbBaseX + offset, thumbBaseY};
    return {thumbBaseX, thumbBaseY - offset};
}

int SliderControl::ValueAtPointer(int x, int y) const
{
    const int pixels = IsHorizontal() ? x - rect.left - ThumbWidth() / 2 : rect.bottom - ThumbHeight() / 2 - y;
    const double units = static_cast<double>(pixels) / static_cast<double>(scale);
    const long long wanted = static_cast<long long>(minValue) + truncate_toward_zero(units);
    // SetValue clamps into the range; this only keeps the sum an int.
    if (wanted > maxValue)
        return maxValue;
    if (wanted < minValue)
        return minValue;
    return static_cast<int>(wanted);
}

int SliderControl::SetValue(int newValue, int useDragThumb)
{
    if (!enabled)
        return 0;
    const int old = value;
    if (newValue > maxValue)
        value = maxValue;
    else if (newValue < minValue)
        value = minValue;
    else
        value = newValue;
    RepaintMove(old, useDragThumb);
    OnChange();
    return 1;
}

void SliderControl::Step(int delta)
{
    if (value == -1 || !enabled)
        return;
    const long long next = static_cast<long long>(value) + delta;
    if (next > maxValue || next < minValue)
        return;
    const int old = value;
    value = static_cast<int>(next);
    RepaintMove(old, 0);
    OnChange();
}

void SliderControl::StepUp()
{
    Step(1);
}

void SliderControl::StepDown()
{
    Step(-1);
}

void SliderControl::Enable(int flag)
{
    enabled = flag;
    Draw();
}

void SliderControl::PaintThumb(HDC dc, const ResourceImage &face) const
{
    if (!face.Loaded())
        return;
    const POINT at = ThumbPosition();
    draw_image(dc, at.x, at.y, ThumbWidth(), ThumbHeight(), face, mask, 0, SRCCOPY);
}

void SliderControl::Draw()
{
    if (!CanPaint())
        return;
    HDC dc = GetDC(window);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (hasBackground)
        BitBlt(dc, rect.left, rect.top, width, height, background, bgSrcX, bgSrcY, SRCCOPY);
    else if (ownBackground.Loaded())
        BitBlt(dc, rect.left, rect.top, width, height, ownBackground.Dc(), 0, 0, SRCCOPY);
    if (enabled)
        PaintThumb(dc, thumb);
    ReleaseDC(window, dc);
}

// Restores only the strip the old thumb covered, across the whole track,
// then paints the thumb at its new place.
void SliderControl::RepaintMove(int oldValue, int useDragThumb)
{
    if (!CanPaint() || oldValue == value)
        return;
    HDC dc = GetDC(window);
    const int o = Offset(static_cast<double>(static_cast<unsigned>(oldValue) - static_cast<unsigned>(minValue)));
    if (IsHorizontal()) {
        const int height = rect.bottom - rect.top;
        if (hasBackground)
            BitBlt(dc, thumbBaseX + o, rect.top, ThumbWidth(), height, background, bgSrcX + o, bgSrcY, SRCCOPY);
        else if (ownBackground.Loaded())
            BitBlt(dc, thumbBaseX + o, rect.top, ThumbWidth(), height, ownBackground.Dc(), o, 0, SRCCOPY);
    } else {
        const int width = rect.right - rect.left;
        if (hasBackground)
            BitBlt(dc, rect.left, thumbBaseY - o, width, ThumbHeight(), background, bgSrcX,
                   bgSrcBottom - ThumbHeight() - o, SRCCOPY);
        else if (ownBackground.Loaded())
            BitBlt(dc, rect.left, thumbBaseY - o, width, ThumbHeight(), ownBackground.Dc(), 0,
                   ownBackground.Height() - ThumbHeight() - o, SRCCOPY);
    }
    if (enabled) {
        // Without a drag image the knob keeps its normal look rather than
        // leaving the mask's black silhouette behind.
        const bool dragLook = useDragThumb && dragThumb.Loaded();
        PaintThumb(dc, dragLook ? dragThumb : thumb);
    }
    ReleaseDC(window, dc);
}

int SliderControl::HandleMouse(int x, int y, int event)
{
    if (!enabled)
        return 0;
    const POINT at = ThumbPosition();
    const RECT thumbRect = {at.x, at.y, at.x + ThumbWidth(), at.y + ThumbHeight()};
    // Only a press on the thumb starts a drag; the track beside it is inert.
    if (event == EventDown && !PtInRect(&thumbRect, POINT{x, y}))
        return 0;
    switch (event) {
    case EventDown:
        dragging = 1;
        SetCapture(window);
        PaintFace(dragThumb);
        break;
    case EventUp:
        // Every release ends a drag and shows the normal knob again.
        dragging = 0;
        ReleaseCapture();
        PaintFace(thumb);
        break;
    case EventMove:
        if (dragging)
            SetValue(ValueAtPointer(x, y), 1);
        break;
    default:
        break;
    }
    return 1;
}

// The knob changes its look in place: no background restore.
void SliderControl::PaintFace(const ResourceImage &face)
{
    if (!CanPaint())
        return;
    HDC dc = GetDC(window);
    PaintThumb(dc, face);
    ReleaseDC(window, dc);
}
