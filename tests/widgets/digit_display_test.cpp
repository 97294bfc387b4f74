// The frequency read-out drawn at its place (120, 40) over a patterned
// background and read back from the screen: digits, blanks, the point, and
// which cells a partial draw touches.
#include <doctest.h>

#include "bitmap_ids.h"
#include "digit_display.h"
#include "widget_screen.h"

using namespace widgets_test;

namespace {

constexpr int X = 120;
constexpr int Y = 40;
constexpr int Cell = 23;
constexpr int Height = 21;
constexpr int PointX = X + 3 * Cell;
constexpr COLORREF Marker = RGB(255, 0, 255);

RECT CellBox(int left)
{
    return {left, Y, left + Cell, Y + Height};
}

struct ReadoutScreen {
    ReadoutScreen()
    {
        window.Fill(background);
        CHECK(display.Load(window.Handle(), IDB_FREQUENCY_DIGITS, Cell, IDB_FREQUENCY_POINT,
                           IDB_FREQUENCY_DIGITS_MASK, IDB_FREQUENCY_POINT_MASK) == 1);
        CHECK(display.SetBackground(background.Dc()) == 1);
        display.SetBlankLeading(1);
        display.SetRange(875, 1080);
    }
    std::string Shown() const { return ReadReadout(window, FrequencyLook, X, Y, Pattern); }
    std::string Show(int value)
    {
        display.SetValue(value, 0);
        display.Draw(0, X, Y);
        return Shown();
    }

    TestWindow window;
    MemorySurface background{Pattern};
    DigitDisplay display;
};

} // namespace

TEST_CASE("frequencies read out with the leading zeros blanked")
{
    ReadoutScreen screen;
    CHECK(screen.Show(875) == " 87.5");
    CHECK(screen.Show(1080) == "108.0");
    CHECK(screen.Show(880) == " 88.0");
    screen.display.SetRange(0, 1080);
    CHECK(screen.Show(0) == "  0.0");
    CHECK(screen.Show(5) == "  0.5");
    screen.display.SetBlankLeading(0);
    CHECK(screen.Show(875) == "087.5");
    CHECK(screen.Show(0) == "000.0");
}

TEST_CASE("values outside the range show its nearest end; negative ones count as huge")
{
    ReadoutScreen screen;
    CHECK(screen.Show(2000) == "108.0");
    CHECK(screen.display.GetValue() == 1080);
    CHECK(screen.Show(100) == " 87.5");
    CHECK(screen.display.GetValue() == 875);
    CHECK(screen.Show(-1) == "108.0");
    CHECK(screen.display.GetValue() == 1080);
}

TEST_CASE("a partial draw repaints only the cells whose digit changed, never the point")
{
    ReadoutScreen screen;
    screen.Show(875);
    // A mark in the point's box where no digit cell reaches.
    const RECT pointMark = {PointX + 1, Y, PointX + 2, Y + 1};
    screen.window.FillRect(pointMark, Marker);
    const Snapshot before(screen.window);

    CHECK(screen.display.SetValue(885, 1) == 1);
    const Snapshot after(screen.window);
    const RECT third = CellBox(X + 2 * Cell);
    CHECK(before.ChangedPixels(after, {0, 0, ClientWidth, ClientHeight}) == before.ChangedPixels(after, third));
    CHECK(before.ChangedPixels(after, third) > 0);
    screen.window.FillRect(pointMark, Pattern(pointMark.left, pointMark.top));
    CHECK(screen.Shown() == " 88.5");

    screen.window.FillRect(pointMark, Marker);
    CHECK(screen.display.SetValue(1070, 1) == 1); // every digit cell changes
    CHECK(screen.window.Pixel(pointMark.left, pointMark.top) == Marker);
    screen.window.FillRect(pointMark, Pattern(pointMark.left, pointMark.top));
    CHECK(screen.Shown() == "107.0");

    const Snapshot same(screen.window);
    CHECK(screen.display.SetValue(1070, 1) == 1);
    CHECK(Unchanged(same, screen.window));
    CHECK(screen.display.SetValue(1060, 0) == 0); // stored, not drawn
    CHECK(Unchanged(same, screen.window));
}

TEST_CASE("the first partial draw paints all four digits but not the point")
{
    ReadoutScreen screen;
    screen.display.SetValue(1075, 0);
    CHECK(screen.display.Draw(1, X, Y) == 1);
    CHECK(screen.Shown() == "107 5");
    screen.display.Draw(0, -1, -1);
    CHECK(screen.Shown() == "107.5");
}

TEST_CASE("a hidden read-out is blank and keeps its value and range until shown")
{
    ReadoutScreen screen;
    screen.Show(875);
    screen.display.Show(0);
    CHECK(screen.Shown() == "     ");
    CHECK(screen.display.SetValue(1000, 1) == 0);
    screen.display.SetRange(760, 910);
    CHECK(screen.display.GetValue() == 875);
    CHECK(screen.Shown() == "     ");

    screen.display.Show(1);
    CHECK(screen.Shown() == " 87.5");
    CHECK(screen.Show(1070) == "107.0"); // still the old range
}

TEST_CASE("a draw without a position paints where the last one did, first at the origin")
{
    ReadoutScreen screen;
    screen.Show(875);
    screen.window.Fill(screen.background);
    screen.display.Draw(0, -1, Y + 30);
    CHECK(screen.Shown() == " 87.5");
    screen.window.Fill(screen.background);
    screen.display.Draw(0, X + 30, -1);
    CHECK(screen.Shown() == " 87.5");

    DigitDisplay fresh;
    fresh.Load(screen.window.Handle(), IDB_FREQUENCY_DIGITS, Cell, IDB_FREQUENCY_POINT, IDB_FREQUENCY_DIGITS_MASK,
               IDB_FREQUENCY_POINT_MASK);
    fresh.SetBackground(screen.background.Dc());
    fresh.SetRange(875, 1080);
    fresh.SetValue(1080, 0);
    fresh.Draw(0, -1, -1);
    CHECK(ReadReadout(screen.window, FrequencyLook, 0, 0, Pattern) == "108.0");
}

TEST_CASE("a null background is refused and the previous one stays")
{
    ReadoutScreen screen;
    CHECK(screen.display.SetBackground(nullptr) == 0);
    screen.window.FillRect(CellBox(X), Marker);
    screen.Show(875);
    CHECK(AreaShows(screen.window, CellBox(X), Pattern));
}

TEST_CASE("a read-out needs its strip and point; without them it loads nothing")
{
    TestWindow window;
    MemorySurface background(Pattern);
    window.Fill(background);
    const Snapshot before(window);
    DigitDisplay display;
    CHECK(display.Load(window.Handle(), 0, Cell, IDB_FREQUENCY_POINT, 0, 0) == 0);
    CHECK(display.Load(window.Handle(), IDB_FREQUENCY_DIGITS, Cell, 0, 0, 0) == 0);
    display.SetBackground(background.Dc());
    display.SetRange(0, 1080);
    display.SetValue(875, 0);
    CHECK(display.Draw(0, X, Y) == 1);
    CHECK(Unchanged(before, window));
}

TEST_CASE("without masks, dark glyphs are ANDed onto the background")
{
    TestWindow window;
    MemorySurface background(Pattern);
    window.Fill(background);
    DigitDisplay labels;
    labels.Load(window.Handle(), IDB_PRESET_DIGITS, 10, IDB_PRESET_POINT, 0, 0);
    labels.SetBackground(background.Dc());
    labels.SetBlankLeading(1);
    labels.SetRange(760, 1080);
    labels.SetValue(1075, 0);
    labels.Draw(0, 85, 154);
    CHECK(ReadReadout(window, LabelLook, 85, 154, Pattern) == "107.5");
    labels.SetValue(875, 0);
    labels.Draw(0, 85, 154);
    CHECK(ReadReadout(window, LabelLook, 85, 154, Pattern) == " 87.5");
}
