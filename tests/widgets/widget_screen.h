// Real GDI surfaces for the widget tests: a visible window of the radio's
// client size to draw into and read back, memory contexts standing in for
// the skins, and the colours of the test bitmaps read from the resources.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace widgets_test {

constexpr int ClientWidth = 240;
constexpr int ClientHeight = 268;

using Painter = std::function<COLORREF(int x, int y)>;

// A background whose every pixel names its own place, so a restore copied
// from the wrong spot shows. Full blue is used by no test bitmap, and keeps
// the blue of glyphs ANDed onto it.
COLORREF Pattern(int x, int y);
// The same idea for the three button skins, told apart by their blue.
Painter SkinPattern(int blue);

// A client-sized DIB section in a memory context: a skin or background.
class MemorySurface {
public:
    explicit MemorySurface(const Painter &painter);
    MemorySurface(const MemorySurface &) = delete;
    MemorySurface &operator=(const MemorySurface &) = delete;
    virtual ~MemorySurface();
    HDC Dc() const { return dc; }

private:
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
};

// Window contents drawn through a window DC are clipped to the window's
// visible region, which is empty while it is hidden. So the window is shown,
// top-most at the screen's origin where nothing covers it on the Xvfb
// display, and never pumps its messages: nothing repaints it behind the
// test's back, and what the widgets drew stays to be read back.
class TestWindow {
public:
    TestWindow();
    TestWindow(const TestWindow &) = delete;
    TestWindow &operator=(const TestWindow &) = delete;
    virtual ~TestWindow();

    HWND Handle() const { return window; }
    // Copies the surface over the whole client area.
    void Fill(const MemorySurface &surface);
    void FillRect(const RECT &area, COLORREF colour);
    COLORREF Pixel(int x, int y) const;

private:
    HWND window = nullptr;
};

// The client area at one moment, for before/after comparisons.
class Snapshot {
public:
    explicit Snapshot(const TestWindow &window);
    COLORREF Pixel(int x, int y) const;
    // Whether every pixel of `area` is what `expected` says.
    bool Shows(const RECT &area, const Painter &expected) const;
    // The smallest rectangle holding every pixel that differs (empty if none).
    RECT ChangedArea(const Snapshot &later) const;
    // Every pixel of `area` that differs from `later`.
    int ChangedPixels(const Snapshot &later, const RECT &area) const;

private:
    std::vector<uint32_t> pixels;
};

// Whether every pixel of `area` in the window is what `expected` says.
bool AreaShows(const TestWindow &window, const RECT &area, const Painter &expected);
// Whether the window still shows exactly what `before` holds.
bool Unchanged(const Snapshot &before, const TestWindow &window);

// A pixel of a bitmap resource of this test program.
COLORREF ResourcePixel(UINT id, int x, int y);

// How a digit read-out built from the test bitmaps looks: strip and point
// ids, sizes, and where the point glyph can be sampled.
struct ReadoutLook {
    UINT digitsId;
    int cellWidth;
    int height;
    UINT pointId;
    int pointWidth;
    POINT pointSample;
    bool masked; // masked glyphs show their own colour; others are ANDed
};
extern const ReadoutLook FrequencyLook; // the large read-out, with masks
extern const ReadoutLook LabelLook;     // the preset labels, without

// Reads a read-out at (x, y) back from the screen as text: a digit per
// cell, '.' for the point, ' ' for a cell showing only `background`, '?'
// for anything else. 875 reads " 87.5".
std::string ReadReadout(const TestWindow &window, const ReadoutLook &look, int x, int y, const Painter &background);

} // namespace widgets_test
