// The slider on the radio's two tracks: the tuning scale (horizontal, 240 x
// 22 at (0, 79), 22-pixel knob, 880-1080) and the volume slider (vertical,
// 16 x 56 at (22, 160), 16-pixel knob, 40-79). Positions are found on
// screen by the knob's colour; the background names every pixel's place.
#include <doctest.h>

#include <vector>

#include "bitmap_ids.h"
#include "slider_control.h"
#include "widget_screen.h"

using namespace widgets_test;

namespace {

constexpr int ScaleTop = 79;
constexpr int ScaleKnob = 22;
constexpr int VolumeLeft = 22;
constexpr int VolumeTop = 160;
constexpr int VolumeKnob = 16;
constexpr COLORREF Marker = RGB(255, 0, 255);

class RecordingSlider : public SliderControl {
public:
    void OnChange() override { changes.push_back(GetValue()); }
    std::vector<int> changes;
};

COLORREF KnobColour(UINT id, int size)
{
    return ResourcePixel(id, size / 2, size / 2);
}

bool IsCorner(int x, int y, const RECT &box)
{
    return (x == box.left || x == box.right - 1) && (y == box.top || y == box.bottom - 1);
}

// The knob fills its box but for its corners, where `corner` shows.
bool KnobAt(const TestWindow &window, const RECT &box, COLORREF knob, const Painter &corner)
{
    return AreaShows(window, box, [&](int x, int y) { return IsCorner(x, y, box) ? corner(x, y) : knob; });
}

struct SliderScreen {
    SliderScreen()
    {
        window.Fill(background);
        scale.Init(window.Handle(), SliderControl::Horizontal, 0, ScaleTop, 240, 22, IDB_SCALE_THUMB,
                   IDB_SCALE_DRAG_THUMB, 0);
        scale.SetBackground(background.Dc(), 0, ScaleTop);
        scale.SetMask(IDB_SCALE_THUMB_MASK);
        scale.SetRange(880, 1080);
        volume.Init(window.Handle(), SliderControl::Vertical, VolumeLeft, VolumeTop, 16, 56, IDB_VOLUME_THUMB,
                    IDB_VOLUME_DRAG_THUMB, 0);
        volume.SetBackground(background.Dc(), VolumeLeft, VolumeTop);
        volume.SetMask(IDB_VOLUME_THUMB_MASK);
        volume.SetRange(40, 79);
    }
    ~SliderScreen() { ReleaseCapture(); }

    // The left edge of the scale's knob in its middle row, -1 if none.
    int ScaleKnobX(COLORREF colour) const
    {
        const Snapshot now(window);
        for (int x = 0; x < ClientWidth; ++x)
            if (now.Pixel(x, ScaleTop + ScaleKnob / 2) == colour)
                return x;
        return -1;
    }
    // The top edge of the volume knob in its middle column, -1 if none.
    int VolumeKnobY(COLORREF colour) const
    {
        const Snapshot now(window);
        for (int y = VolumeTop; y < VolumeTop + 56; ++y)
            if (now.Pixel(VolumeLeft + VolumeKnob / 2, y) == colour)
                return y;
        return -1;
    }
    bool TrackBare(const RECT &track) const { return AreaShows(window, track, Pattern); }

    TestWindow window;
    MemorySurface background{Pattern};
    RecordingSlider scale;
    RecordingSlider volume;
    const COLORREF scaleKnob = KnobColour(IDB_SCALE_THUMB, ScaleKnob);
    const COLORREF scaleDragKnob = KnobColour(IDB_SCALE_DRAG_THUMB, ScaleKnob);
    const COLORREF volumeKnob = KnobColour(IDB_VOLUME_THUMB, VolumeKnob);
    const COLORREF volumeDragKnob = KnobColour(IDB_VOLUME_DRAG_THUMB, VolumeKnob);
    const RECT scaleTrack = {0, ScaleTop, 240, ScaleTop + 22};
    const RECT volumeTrack = {VolumeLeft, VolumeTop, VolumeLeft + 16, VolumeTop + 56};
};

RECT ScaleKnobBox(int x)
{
    return {x, ScaleTop, x + ScaleKnob, ScaleTop + ScaleKnob};
}

RECT VolumeKnobBox(int y)
{
    return {VolumeLeft, y, VolumeLeft + VolumeKnob, y + VolumeKnob};
}

} // namespace

TEST_CASE("values map to knob positions through a scale rounded to a 32-bit float")
{
    SliderScreen screen;
    struct Place {
        int value;
        int x;
    };
    // 218 pixels over 200 units: 1.09 as a float lies just above 1.09.
    for (const Place place : {Place{880, 0}, Place{881, 1}, Place{1000, 130}, Place{1079, 216}, Place{1080, 218}}) {
        CAPTURE(place.value);
        screen.window.Fill(screen.background);
        screen.scale.SetValue(place.value, 0);
        screen.scale.Draw();
        CHECK(screen.ScaleKnobX(screen.scaleKnob) == place.x);
        CHECK(KnobAt(screen.window, ScaleKnobBox(place.x), screen.scaleKnob, Pattern)); // masked corners
    }
    // 40 pixels over 39 units: only the float's rounding up puts 79 at the top.
    struct Height {
        int value;
        int top;
    };
    for (const Height height : {Height{79, 160}, Height{40, 200}, Height{71, 169}}) {
        CAPTURE(height.value);
        screen.window.Fill(screen.background);
        screen.volume.SetValue(height.value, 0);
        screen.volume.Draw();
        CHECK(screen.VolumeKnobY(screen.volumeKnob) == height.top);
        CHECK(KnobAt(screen.window, VolumeKnobBox(height.top), screen.volumeKnob, Pattern));
    }
}

TEST_CASE("a drag maps the pointer back to values, truncating, and pins them at the ends")
{
    SliderScreen screen;
    screen.scale.Draw();
    REQUIRE(screen.scale.HandleMouse(5, ScaleTop + 5, EventDown) == 1);
    // pointer - left - half a knob: 218 -> 199.99.. units, 219 -> 200.9..
    screen.scale.HandleMouse(11 + 218, 0, EventMove);
    CHECK(screen.scale.GetValue() == 1079);
    screen.scale.HandleMouse(11 + 219, 0, EventMove);
    CHECK(screen.scale.GetValue() == 1080);
    screen.scale.HandleMouse(-300, 500, EventMove);
    CHECK(screen.scale.GetValue() == 880);
    screen.scale.HandleMouse(5000, -20, EventMove);
    CHECK(screen.scale.GetValue() == 1080);
    CHECK(screen.scale.changes == std::vector<int>{1079, 1080, 880, 1080});
    screen.scale.HandleMouse(5000, 0, EventUp);

    screen.volume.SetValue(40, 0);
    screen.volume.Draw();
    REQUIRE(screen.volume.HandleMouse(VolumeLeft + 8, 205, EventDown) == 1);
    // bottom - half a knob - pointer: 40 -> 38.99.. units, 41 -> 39.9..
    screen.volume.HandleMouse(0, 208 - 40, EventMove);
    CHECK(screen.volume.GetValue() == 78);
    screen.volume.HandleMouse(0, 208 - 41, EventMove);
    CHECK(screen.volume.GetValue() == 79);
    screen.volume.HandleMouse(0, 900, EventMove);
    CHECK(screen.volume.GetValue() == 40);
    screen.volume.HandleMouse(0, -900, EventMove);
    CHECK(screen.volume.GetValue() == 79);
}

TEST_CASE("pressing the knob shows the drag look, moving drags, releasing ends the drag")
{
    SliderScreen screen;
    screen.scale.SetValue(1000, 0);
    screen.scale.Draw();
    screen.scale.changes.clear();

    CHECK(screen.scale.HandleMouse(130, ScaleTop + 21, EventDown) == 1);
    CHECK(GetCapture() == screen.window.Handle());
    CHECK(screen.scale.GetValue() == 1000);
    CHECK(screen.scale.changes.empty());
    CHECK(KnobAt(screen.window, ScaleKnobBox(130), screen.scaleDragKnob, Pattern));

    screen.scale.HandleMouse(11 + 218, ScaleTop, EventMove);
    CHECK(screen.scale.changes == std::vector<int>{1079});
    CHECK(KnobAt(screen.window, ScaleKnobBox(216), screen.scaleDragKnob, Pattern));
    CHECK(AreaShows(screen.window, ScaleKnobBox(130), Pattern));

    CHECK(screen.scale.HandleMouse(600, 600, EventUp) == 1);
    CHECK(GetCapture() == nullptr);
    CHECK(KnobAt(screen.window, ScaleKnobBox(216), screen.scaleKnob, Pattern));
    screen.scale.HandleMouse(11, ScaleTop, EventMove); // no longer dragging
    CHECK(screen.scale.GetValue() == 1079);
}

TEST_CASE("a press beside the knob does nothing; any release repaints the normal knob in place")
{
    SliderScreen screen;
    screen.volume.SetValue(71, 0);
    screen.volume.Draw();
    const Snapshot before(screen.window);
    CHECK(screen.volume.HandleMouse(VolumeLeft + 8, 169 + 16, EventDown) == 0); // just below the knob
    CHECK(screen.volume.HandleMouse(VolumeLeft + 8, 168, EventDown) == 0);      // just above
    CHECK(GetCapture() == nullptr);
    CHECK(Unchanged(before, screen.window));

    // Scribbled over, the knob is painted again through its mask: the
    // corners keep the scribble, as the release restores no background.
    const RECT box = VolumeKnobBox(169);
    screen.window.FillRect(box, Marker);
    CHECK(screen.volume.HandleMouse(200, 10, EventUp) == 1);
    CHECK(KnobAt(screen.window, box, screen.volumeKnob, [](int, int) { return Marker; }));
}

TEST_CASE("a move repaints only the strip the knob leaves and the knob at its new place")
{
    SliderScreen screen;
    screen.scale.Draw();
    // Marks on the track: one under the knob's old strip, one elsewhere.
    const RECT underOld = {5, ScaleTop + 1, 6, ScaleTop + 2};
    const RECT elsewhere = {60, ScaleTop + 1, 61, ScaleTop + 2};
    screen.window.FillRect(underOld, Marker);
    screen.window.FillRect(elsewhere, Marker);
    const Snapshot before(screen.window);

    screen.scale.SetValue(1000, 0);
    const Snapshot after(screen.window);
    const RECT oldStrip = {0, ScaleTop, ScaleKnob, ScaleTop + 22};
    const RECT newKnob = ScaleKnobBox(130);
    const RECT everything = {0, 0, ClientWidth, ClientHeight};
    CHECK(before.ChangedPixels(after, everything) ==
          before.ChangedPixels(after, oldStrip) + before.ChangedPixels(after, newKnob));
    CHECK(AreaShows(screen.window, oldStrip, Pattern));
    CHECK(screen.window.Pixel(60, ScaleTop + 1) == Marker);
    CHECK(KnobAt(screen.window, newKnob, screen.scaleKnob, Pattern));

    // Upright: the row the knob leaves, across the track's width.
    screen.volume.SetValue(71, 0);
    screen.volume.Draw();
    const Snapshot beforeDrop(screen.window);
    screen.volume.SetValue(40, 0);
    const Snapshot afterDrop(screen.window);
    const RECT oldRow = VolumeKnobBox(169);
    const RECT lowKnob = VolumeKnobBox(200);
    CHECK(beforeDrop.ChangedPixels(afterDrop, everything) ==
          beforeDrop.ChangedPixels(afterDrop, oldRow) + beforeDrop.ChangedPixels(afterDrop, lowKnob));
    CHECK(AreaShows(screen.window, oldRow, Pattern));
    CHECK(KnobAt(screen.window, lowKnob, screen.volumeKnob, Pattern));
}

TEST_CASE("SetValue clamps into the range and notifies even when nothing moved")
{
    SliderScreen screen;
    screen.scale.Draw();
    CHECK(screen.scale.SetValue(2000, 0) == 1);
    CHECK(screen.scale.GetValue() == 1080);
    CHECK(screen.scale.SetValue(-5, 0) == 1);
    CHECK(screen.scale.GetValue() == 880);
    const Snapshot before(screen.window);
    CHECK(screen.scale.SetValue(880, 0) == 1);
    CHECK(Unchanged(before, screen.window));
    CHECK(screen.scale.changes == std::vector<int>{1080, 880, 880});
}

TEST_CASE("steps stop at the ends without notifying")
{
    SliderScreen screen;
    screen.scale.Draw();
    screen.scale.StepDown();
    CHECK(screen.scale.GetValue() == 880);
    CHECK(screen.scale.changes.empty());
    screen.scale.StepUp();
    CHECK(screen.scale.GetValue() == 881);
    CHECK(screen.ScaleKnobX(screen.scaleKnob) == 1);
    screen.scale.SetValue(1080, 0);
    screen.scale.changes.clear();
    screen.scale.StepUp();
    CHECK(screen.scale.GetValue() == 1080);
    CHECK(screen.scale.changes.empty());
    screen.scale.StepDown();
    CHECK(screen.scale.changes == std::vector<int>{1079});
    CHECK(screen.ScaleKnobX(screen.scaleKnob) == 216);
}

TEST_CASE("a new range resets the value to its minimum silently; the next move erases there")
{
    SliderScreen screen;
    screen.scale.SetValue(1000, 0);
    screen.scale.Draw();
    screen.scale.changes.clear();

    // Refused unless max > min as unsigned numbers.
    CHECK(screen.scale.SetRange(1080, 880) == 0);
    CHECK(screen.scale.SetRange(900, 900) == 0);
    CHECK(screen.scale.SetRange(-5, 10) == 0);
    CHECK(screen.scale.GetValue() == 1000);

    const Snapshot before(screen.window);
    CHECK(screen.scale.SetRange(760, 910) == 1);
    CHECK(screen.scale.GetValue() == 760);
    CHECK(screen.scale.changes.empty());
    CHECK(Unchanged(before, screen.window));

    // The knob still shows at 130, but the erase goes to the minimum's strip.
    const RECT minimumStrip = {0, ScaleTop, ScaleKnob, ScaleTop + 22};
    screen.window.FillRect(minimumStrip, Marker);
    screen.scale.SetValue(800, 0); // 218 / 150 pixels a unit: offset 58
    CHECK(AreaShows(screen.window, minimumStrip, Pattern));
    CHECK(KnobAt(screen.window, ScaleKnobBox(130), screen.scaleKnob, Pattern));
    CHECK(KnobAt(screen.window, ScaleKnobBox(58), screen.scaleKnob, Pattern));
    CHECK(screen.scale.changes == std::vector<int>{800});
}

TEST_CASE("a disabled slider shows the bare track and ignores values, steps and the mouse")
{
    SliderScreen screen;
    screen.scale.SetValue(1000, 0);
    screen.scale.Draw();
    screen.scale.changes.clear();
    screen.scale.Enable(0);
    CHECK(screen.scale.IsEnabled() == 0);
    CHECK(screen.TrackBare(screen.scaleTrack));

    CHECK(screen.scale.SetValue(900, 0) == 0);
    screen.scale.StepUp();
    screen.scale.StepDown();
    CHECK(screen.scale.HandleMouse(140, ScaleTop + 10, EventDown) == 0);
    CHECK(screen.scale.HandleMouse(140, ScaleTop + 10, EventUp) == 0);
    CHECK(GetCapture() == nullptr);
    CHECK(screen.scale.GetValue() == 1000);
    CHECK(screen.scale.changes.empty());
    CHECK(screen.TrackBare(screen.scaleTrack));

    screen.scale.Enable(1);
    CHECK(KnobAt(screen.window, ScaleKnobBox(130), screen.scaleKnob, Pattern));
}

TEST_CASE("a full draw restores the whole track under the knob")
{
    SliderScreen screen;
    screen.window.FillRect(screen.volumeTrack, Marker);
    screen.volume.SetValue(79, 0);
    screen.volume.Draw();
    const RECT knob = VolumeKnobBox(160);
    CHECK(KnobAt(screen.window, knob, screen.volumeKnob, Pattern));
    CHECK(AreaShows(screen.window, {VolumeLeft, 176, VolumeLeft + 16, 216}, Pattern));
}

TEST_CASE("a slider paints nothing until it has a range, and without a mask copies its knob whole")
{
    TestWindow window;
    MemorySurface background(Pattern);
    window.Fill(background);
    RecordingSlider slider;
    slider.Init(window.Handle(), SliderControl::Horizontal, 0, ScaleTop, 240, 22, IDB_SCALE_THUMB, 0, 0);
    slider.SetBackground(background.Dc(), 0, ScaleTop);
    const RECT track = {0, ScaleTop, 240, ScaleTop + 22};
    window.FillRect(track, Marker);
    const Snapshot before(window);
    slider.Draw();
    slider.SetValue(5, 0);
    CHECK(slider.SetRange(10, 10) == 0);
    slider.Draw();
    CHECK(Unchanged(before, window));

    REQUIRE(slider.SetRange(0, 218));
    slider.SetValue(100, 0); // one pixel a unit
    slider.Draw();
    const COLORREF knob = KnobColour(IDB_SCALE_THUMB, ScaleKnob);
    CHECK(KnobAt(window, ScaleKnobBox(100), knob, [](int, int) { return RGB(0, 0, 0); }));
    // No drag image: a drag keeps the normal look.
    REQUIRE(slider.HandleMouse(105, ScaleTop + 3, EventDown) == 1);
    slider.HandleMouse(11 + 150, 0, EventMove);
    CHECK(KnobAt(window, ScaleKnobBox(150), knob, [](int, int) { return RGB(0, 0, 0); }));
    slider.HandleMouse(0, 0, EventUp);
}
