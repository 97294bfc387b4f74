// Every widget, set up, drawn and destroyed many times, leaves the process
// with exactly the GDI objects it had: each deletes the bitmaps and memory
// contexts it made and none of the contexts it borrowed.
#include <doctest.h>

#include <vector>

#include "bitmap_button.h"
#include "bitmap_file.h"
#include "bitmap_ids.h"
#include "digit_display.h"
#include "preset_bank.h"
#include "slider_control.h"
#include "tray_icon.h"
#include "widget_screen.h"

using namespace widgets_test;

namespace {

// The count is exact: a leak of one object per cycle shows in a few cycles.
constexpr int Cycles = 20;

// The process's live GDI objects. Windows counts them in GetGuiResources;
// Wine 8 answers 0 there, so the handle table is probed instead: Wine
// accepts a handle given by its table index alone, and GetObjectType names
// the type of every live entry and gives 0 for a free one.
int GdiObjectCount()
{
    const DWORD counted = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    if (counted)
        return static_cast<int>(counted);
    int live = 0;
    for (uintptr_t index = 1; index <= 0xFFFF; ++index)
        live += GetObjectType(reinterpret_cast<HGDIOBJ>(index)) != 0;
    return live;
}

struct LeakScreen {
    LeakScreen() { window.Fill(background); }
    TestWindow window;
    MemorySurface background{Pattern};
    MemorySurface pressed{SkinPattern(0x20)};
    MemorySurface lit{SkinPattern(0x30)};
};

// Runs one set-up-and-destroy cycle once to let GDI make its lazy objects
// (cached window contexts and the like), then many, and gives the growth.
template <typename Cycle>
int GrowthOver(Cycle cycle)
{
    cycle();
    const int before = GdiObjectCount();
    for (int round = 0; round < Cycles; ++round)
        cycle();
    return GdiObjectCount() - before;
}

} // namespace

TEST_CASE("the count sees a leak")
{
    CHECK(GdiObjectCount() > 0);
    std::vector<HDC> contexts;
    std::vector<HBITMAP> bitmaps;
    CHECK(GrowthOver([&] {
              bitmaps.push_back(CreateBitmap(4, 4, 1, 32, nullptr));
              contexts.push_back(CreateCompatibleDC(nullptr));
          }) == 2 * Cycles);
    const int before = GdiObjectCount();
    for (HDC dc : contexts)
        DeleteDC(dc);
    for (HBITMAP bitmap : bitmaps)
        DeleteObject(bitmap);
    CHECK(GdiObjectCount() == before - 2 * (Cycles + 1));
}

TEST_CASE("no widget leaks a GDI object")
{
    LeakScreen screen;
    const HWND window = screen.window.Handle();

    CHECK(GrowthOver([&] {
              BitmapButton button;
              button.Init(window, 0, 107, screen.background.Dc(), 0, 107, 42, 38, screen.pressed.Dc(),
                          screen.lit.Dc());
              button.SimulateEvent(EventDown);
              button.SimulateEvent(EventUp);
              button.SetOn(0);
          }) == 0);

    CHECK(GrowthOver([&] {
              SliderControl slider;
              slider.Init(window, SliderControl::Horizontal, 0, 79, 240, 22, IDB_SCALE_THUMB, IDB_SCALE_DRAG_THUMB,
                          0);
              slider.SetBackground(screen.background.Dc(), 0, 79);
              slider.SetMask(IDB_SCALE_THUMB_MASK);
              slider.SetRange(880, 1080);
              slider.SetValue(1000, 1);
              slider.Draw();
          }) == 0);

    // Loading twice releases the first images.
    CHECK(GrowthOver([&] {
              SliderControl slider;
              slider.Init(window, SliderControl::Vertical, 22, 160, 16, 56, IDB_VOLUME_THUMB, IDB_VOLUME_DRAG_THUMB,
                          0);
              slider.Init(window, SliderControl::Vertical, 22, 160, 16, 56, IDB_VOLUME_THUMB, IDB_VOLUME_DRAG_THUMB,
                          0);
              slider.SetMask(IDB_VOLUME_THUMB_MASK);
              slider.SetMask(IDB_VOLUME_THUMB_MASK);
          }) == 0);

    CHECK(GrowthOver([&] {
              DigitDisplay display;
              display.Load(window, IDB_FREQUENCY_DIGITS, 23, IDB_FREQUENCY_POINT, IDB_FREQUENCY_DIGITS_MASK,
                           IDB_FREQUENCY_POINT_MASK);
              display.SetBackground(screen.background.Dc());
              display.SetRange(875, 1080);
              display.SetValue(1075, 1);
              display.Draw(0, 120, 40);
          }) == 0);

    CHECK(GrowthOver([&] {
              PresetBank bank;
              int32_t radioSystem = 2;
              const POINT labels[PresetBank::SlotCount] = {{85, 154}, {184, 154}, {85, 183},
                                                           {184, 183}, {85, 211}, {184, 211}};
              bank.Setup(window, screen.background.Dc(), labels, radioSystem);
              bank.SetGroupPresets(1, 880, 890, 900, 910, 920, 930);
              bank.DrawLabels(0);
          }) == 0);

    CHECK(GrowthOver([&] {
              TrayIcon tray;
              tray.SetIcon(window, 1, LoadIconA(nullptr, MAKEINTRESOURCEA(32512)), "Vantor");
          }) == 0);

    // The borrowed skins survive every widget that used them.
    CHECK(GetObjectType(screen.background.Dc()) == OBJ_MEMDC);
    CHECK(GetObjectType(screen.pressed.Dc()) == OBJ_MEMDC);
}

TEST_CASE("a bitmap file leaks nothing, loaded or not")
{
    CHECK(GrowthOver([] {
              BitmapFile missing;
              missing.Load("C:\\no such folder\\BK_U.bmp");
          }) == 0);
}

TEST_CASE("a widget's own images are gone after it is destroyed")
{
    LeakScreen screen;
    const int before = GdiObjectCount();
    {
        SliderControl slider;
        slider.Init(screen.window.Handle(), SliderControl::Horizontal, 0, 79, 240, 22, IDB_SCALE_THUMB,
                    IDB_SCALE_DRAG_THUMB, 0);
        slider.SetMask(IDB_SCALE_THUMB_MASK);
        CHECK(GdiObjectCount() == before + 6); // three bitmaps, three contexts
        DigitDisplay display;
        display.Load(screen.window.Handle(), IDB_FREQUENCY_DIGITS, 23, IDB_FREQUENCY_POINT,
                     IDB_FREQUENCY_DIGITS_MASK, IDB_FREQUENCY_POINT_MASK);
        CHECK(GdiObjectCount() == before + 14); // and four of each
    }
    CHECK(GdiObjectCount() == before);
}
