// A skinned slider: a knob image (the thumb) moving along a horizontal or
// vertical track over the window's background, standing for an integer in
// a range. It maps values to pixels and back, repaints only the strip the
// thumb leaves and the thumb at its new place, lets the user drag the
// thumb, and reports every value change through OnChange.
#pragma once

#include <windows.h>

#include "mouse_event.h"
#include "resource_image.h"

class SliderControl {
public:
    enum Orientation : int {
        Horizontal = 1, // minimum at the left
        Vertical = 2,   // minimum at the bottom; any value but 1 is vertical
    };

    SliderControl() = default;
    SliderControl(const SliderControl &) = delete;
    SliderControl &operator=(const SliderControl &) = delete;

    // Runs after every accepted value change, also when the value stayed.
    virtual void OnChange() {}
    // Releases its images, contexts before bitmaps; the background is borrowed.
    virtual ~SliderControl();

    // Loads the thumb and the optional drag thumb and own background (0: none)
    // from the program's bitmaps. Does not paint. Returns 1.
    int Init(HWND window, int orientation, int x, int y, int width, int height, UINT thumbId, UINT dragThumbId,
             UINT ownBackgroundId);
    // A black-on-white mask makes the thumbs transparent. 0 for id 0.
    int SetMask(UINT maskId);
    // The borrowed context and corner to restore the track from; null is ignored.
    void SetBackground(HDC dc, int sourceX, int sourceY);
    // Refused (0) unless max > min as unsigned numbers; otherwise the value
    // becomes min, silently and without painting.
    int SetRange(int min, int max);
    // Clamps, repaints the move and notifies. 0 while disabled.
    int SetValue(int newValue, int useDragThumb);
    void StepUp();
    void StepDown();
    int GetValue() const { return value; }
    int IsEnabled() const { return enabled; }
    // Client pixels; right and bottom exclusive.
    const RECT &Rect() const { return rect; }
    // Disabling leaves the bare track; enabling paints the thumb again.
    void Enable(int flag);
    // Paints the whole track and the thumb.
    void Draw();
    // 0 when disabled or when a press misses the thumb, else 1.
    int HandleMouse(int x, int y, int event);

private:
    bool IsHorizontal() const { return orientation == Horizontal; }
    bool CanPaint() const { return value >= 0 && scale >= 0.0f; }
    int ThumbWidth() const { return thumb.Width(); }
    int ThumbHeight() const { return thumb.Height(); }
    int Offset(double fromMinimum) const;
    POINT ThumbPosition() const;
    int ValueAtPointer(int x, int y) const;
    void Step(int delta);
    void RepaintMove(int oldValue, int useDragThumb);
    void PaintThumb(HDC dc, const ResourceImage &face) const;
    void PaintFace(const ResourceImage &face);

    int enabled = 1;
    int dragging = 0;
    int bgSrcX = 0;
    int bgSrcY = 0;
    int bgSrcRight = 0;
    int bgSrcBottom = 0;
    int hasBackground = 0;
    int thumbBaseX = 0;
    int thumbBaseY = 0;
    int value = -1; // no value yet: nothing is painted
    int orientation = Vertical;
    int minValue = 0;
    int maxValue = 0;
    RECT rect = {};
    HWND window = nullptr;
    ResourceImage thumb;
    ResourceImage ownBackground;
    ResourceImage dragThumb;
    ResourceImage mask;
    HDC background = nullptr; // borrowed
    float scale = -1.0f;      // pixels per value unit; negative until a range is set
};
