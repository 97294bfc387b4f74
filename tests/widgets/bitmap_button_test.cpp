// The button's state machine, row by row: what state it takes, which skin it
// shows, which notifications run, and whether the mouse is captured while
// each one runs. The skins are whole-window patterns told apart by colour.
#include <doctest.h>

#include <string>
#include <vector>

#include "bitmap_button.h"
#include "widget_screen.h"

using namespace widgets_test;

namespace {

constexpr int NormalBlue = 0x10;
constexpr int PressedBlue = 0x20;
constexpr int LitBlue = 0x30;
// presetButton1's place: 41 x 23 at (43, 147).
constexpr int Left = 43;
constexpr int Top = 147;
constexpr int Width = 41;
constexpr int Height = 23;
constexpr int InsideX = Left + 20;
constexpr int InsideY = Top + 10;
constexpr int OutsideX = Left + Width; // right edge is exclusive
constexpr RECT Area = {Left, Top, Left + Width, Top + Height};

// What a notification saw when it ran.
struct Call {
    std::string name;
    bool captured;  // the window held the mouse capture
    int state;
    int isOn;
    COLORREF shown; // the button's corner on screen
};

class RecordingButton : public BitmapButton {
public:
    explicit RecordingButton(const TestWindow &testWindow) : window(testWindow) {}
    void OnRepeat() override { Record("repeat"); }
    void OnHold() override { Record("hold"); }
    void OnPress() override { Record("press"); }
    void OnClick() override { Record("click"); }

    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (const Call &call : calls)
            names.push_back(call.name);
        return names;
    }

    std::vector<Call> calls;

private:
    void Record(const char *name)
    {
        calls.push_back({name, GetCapture() == window.Handle(), state, IsOn(), window.Pixel(Left, Top)});
    }
    const TestWindow &window;
};

struct ButtonScreen {
    ButtonScreen()
    {
        window.Fill(blank);
        plain.Init(window.Handle(), Left, Top, normal.Dc(), Left, Top, Width, Height, pressed.Dc(), nullptr);
        toggle.Init(window.Handle(), Left, Top, normal.Dc(), Left, Top, Width, Height, pressed.Dc(), lit.Dc());
    }
    ~ButtonScreen() { ReleaseCapture(); }

    bool Shows(int blue) const { return AreaShows(window, Area, SkinPattern(blue)); }
    bool Captured() const { return GetCapture() == window.Handle(); }

    TestWindow window;
    MemorySurface blank{[](int, int) { return RGB(0, 0, 0); }};
    MemorySurface normal{SkinPattern(NormalBlue)};
    MemorySurface pressed{SkinPattern(PressedBlue)};
    MemorySurface lit{SkinPattern(LitBlue)};
    RecordingButton plain{window};
    RecordingButton toggle{window};
};

COLORREF SkinCorner(int blue)
{
    return SkinPattern(blue)(Left, Top);
}

} // namespace

TEST_CASE("a press inside captures the mouse, notifies, then shows the pressed skin")
{
    ButtonScreen screen;
    CHECK(screen.plain.HandleMouse(InsideX, InsideY, EventDown) == 1);
    REQUIRE(screen.plain.calls.size() == 1);
    const Call &press = screen.plain.calls[0];
    CHECK(press.name == "press");
    CHECK(press.captured);
    CHECK(press.state == BitmapButton::Pressed);
    CHECK(press.shown == RGB(0, 0, 0)); // drawn only after the notification
    CHECK(screen.plain.state == BitmapButton::Pressed);
    CHECK(screen.Captured());
    CHECK(screen.Shows(PressedBlue));

    SUBCASE("pressing again while pressed runs the press row again")
    {
        CHECK(screen.plain.HandleMouse(InsideX, InsideY, EventDown) == 1);
        CHECK(screen.plain.Names() == std::vector<std::string>{"press", "press"});
        CHECK(screen.plain.state == BitmapButton::Pressed);
    }
}

TEST_CASE("a press outside, or a release the button did not start, is not the button's")
{
    ButtonScreen screen;
    CHECK(screen.plain.HandleMouse(OutsideX, InsideY, EventDown) == 0);
    CHECK(screen.plain.HandleMouse(Left, Top - 1, EventDown) == 0);
    CHECK(screen.plain.HandleMouse(InsideX, InsideY, EventUp) == 0); // state Up
    screen.toggle.SetOn(1);
    CHECK(screen.toggle.HandleMouse(InsideX, InsideY, EventUp) == 0); // state Lit
    CHECK(screen.plain.calls.empty());
    CHECK(screen.toggle.calls.empty());
    CHECK(screen.plain.state == BitmapButton::Up);
    CHECK(screen.toggle.state == BitmapButton::Lit);
    CHECK_FALSE(screen.Captured());
}

TEST_CASE("a plain button clicks after releasing the capture and before redrawing")
{
    ButtonScreen screen;
    screen.plain.HandleMouse(InsideX, InsideY, EventDown);

    SUBCASE("released inside")
    {
        CHECK(screen.plain.HandleMouse(Left, Top + Height - 1, EventUp) == 1);
        CHECK(screen.plain.Names() == std::vector<std::string>{"press", "click"});
        const Call &click = screen.plain.calls[1];
        CHECK_FALSE(click.captured);
        CHECK(click.state == BitmapButton::Up);
        CHECK(click.shown == SkinCorner(PressedBlue));
        CHECK(screen.Shows(NormalBlue));
    }
    SUBCASE("dragged off and released outside: no click")
    {
        CHECK(screen.plain.HandleMouse(OutsideX, InsideY, EventUp) == 1);
        CHECK(screen.plain.Names() == std::vector<std::string>{"press"});
        CHECK(screen.Shows(NormalBlue));
    }
    CHECK(screen.plain.state == BitmapButton::Up);
    CHECK(screen.plain.IsOn() == 0);
    CHECK_FALSE(screen.Captured());
}

TEST_CASE("a toggle latches on a click and clicks while still holding the capture")
{
    ButtonScreen screen;
    RecordingButton &toggle = screen.toggle;

    SUBCASE("off, released inside: on and lit")
    {
        toggle.HandleMouse(InsideX, InsideY, EventDown);
        CHECK(toggle.HandleMouse(InsideX, InsideY, EventUp) == 1);
        REQUIRE(toggle.Names() == std::vector<std::string>{"press", "click"});
        CHECK(toggle.calls[1].captured);
        CHECK(toggle.calls[1].isOn == 1);
        CHECK(toggle.calls[1].state == BitmapButton::Lit);
        CHECK(toggle.calls[1].shown == SkinCorner(PressedBlue));
        CHECK(toggle.IsOn() == 1);
        CHECK(toggle.state == BitmapButton::Lit);
        CHECK(screen.Shows(LitBlue));
    }
    SUBCASE("off, released outside: stays off, no click")
    {
        toggle.HandleMouse(InsideX, InsideY, EventDown);
        CHECK(toggle.HandleMouse(OutsideX, InsideY, EventUp) == 1);
        CHECK(toggle.Names() == std::vector<std::string>{"press"});
        CHECK(toggle.IsOn() == 0);
        CHECK(toggle.state == BitmapButton::Up);
        CHECK(screen.Shows(NormalBlue));
    }
    SUBCASE("on, pressed: pressed look, still on")
    {
        toggle.SetOn(1);
        CHECK(toggle.HandleMouse(InsideX, InsideY, EventDown) == 1);
        CHECK(toggle.state == BitmapButton::Pressed);
        CHECK(toggle.IsOn() == 1);
        CHECK(screen.Shows(PressedBlue));

        SUBCASE("released inside: off")
        {
            CHECK(toggle.HandleMouse(InsideX, InsideY, EventUp) == 1);
            REQUIRE(toggle.Names() == std::vector<std::string>{"press", "click"});
            CHECK(toggle.calls[1].captured);
            CHECK(toggle.calls[1].isOn == 0);
            CHECK(toggle.calls[1].state == BitmapButton::Up);
            CHECK(toggle.IsOn() == 0);
            CHECK(toggle.state == BitmapButton::Up);
            CHECK(screen.Shows(NormalBlue));
        }
        SUBCASE("released outside: back to its latched look, no click")
        {
            CHECK(toggle.HandleMouse(InsideX, Top + Height, EventUp) == 1);
            CHECK(toggle.Names() == std::vector<std::string>{"press"});
            CHECK(toggle.IsOn() == 1);
            CHECK(toggle.state == BitmapButton::Lit);
            CHECK(screen.Shows(LitBlue));
        }
    }
    CHECK_FALSE(screen.Captured());
}

TEST_CASE("the picture shows the state the click left")
{
    // A toggle whose click refuses the new setting, as a mute button does
    // when the card does not answer.
    class RefusingToggle : public RecordingButton {
    public:
        using RecordingButton::RecordingButton;
        void OnClick() override { SetOn(0); }
    };
    ButtonScreen screen;
    RefusingToggle toggle(screen.window);
    toggle.Init(screen.window.Handle(), Left, Top, screen.normal.Dc(), Left, Top, Width, Height,
                screen.pressed.Dc(), screen.lit.Dc());
    toggle.SimulateEvent(EventDown);
    toggle.SimulateEvent(EventUp);
    CHECK(toggle.IsOn() == 0);
    CHECK(screen.Shows(NormalBlue));
}

TEST_CASE("a disabled button ignores the mouse but keeps drawing its state")
{
    ButtonScreen screen;
    screen.toggle.SetOn(1);
    screen.toggle.enabled = 0;
    CHECK(screen.toggle.HandleMouse(InsideX, InsideY, EventDown) == 1);
    CHECK(screen.toggle.HandleMouse(OutsideX, InsideY, EventDown) == 1);
    CHECK(screen.toggle.SimulateEvent(EventDown) == 1);
    CHECK(screen.toggle.SimulateEvent(EventUp) == 1);
    CHECK(screen.toggle.calls.empty());
    CHECK(screen.toggle.state == BitmapButton::Lit);
    CHECK(screen.toggle.IsOn() == 1);
    CHECK_FALSE(screen.Captured());

    screen.window.Fill(screen.blank);
    screen.toggle.Draw();
    CHECK(screen.Shows(LitBlue));
}

TEST_CASE("SetOn latches a toggle silently and leaves a plain button alone")
{
    ButtonScreen screen;
    screen.toggle.SetOn(1);
    CHECK(screen.toggle.IsOn() == 1);
    CHECK(screen.toggle.state == BitmapButton::Lit);
    CHECK(screen.Shows(LitBlue));
    screen.toggle.SetOn(0);
    CHECK(screen.toggle.IsOn() == 0);
    CHECK(screen.toggle.state == BitmapButton::Up);
    CHECK(screen.Shows(NormalBlue));
    CHECK(screen.toggle.calls.empty());

    screen.window.Fill(screen.blank);
    screen.plain.SetOn(1);
    CHECK(screen.plain.IsOn() == 0);
    CHECK(screen.plain.state == BitmapButton::Up);
    CHECK(AreaShows(screen.window, Area, [](int, int) { return RGB(0, 0, 0); })); // not redrawn
}

TEST_CASE("simulated events press at the top-left corner and release over the button")
{
    ButtonScreen screen;
    CHECK(screen.toggle.SimulateEvent(EventDown) == 1);
    CHECK(screen.toggle.SimulateEvent(EventUp) == 1);
    CHECK(screen.toggle.Names() == std::vector<std::string>{"press", "click"});
    CHECK(screen.toggle.IsOn() == 1);
    CHECK(screen.plain.SimulateEvent(EventUp) == 1); // not pressed: nothing
    CHECK(screen.plain.calls.empty());
}

TEST_CASE("hold and repeat ticks test only the point, and repeat its gate")
{
    ButtonScreen screen;
    RecordingButton &button = screen.plain;
    button.HoldTick(Left, Top);
    button.HoldTick(Left + Width - 1, Top + Height - 1);
    button.HoldTick(Left + Width, Top);  // outside: right edge is exclusive
    button.HoldTick(Left, Top + Height); // outside: bottom edge is exclusive
    CHECK(button.Names() == std::vector<std::string>{"hold", "hold"});

    button.calls.clear();
    button.enabled = 0;     // not looked at
    button.state = BitmapButton::Up;
    button.RepeatTick(InsideX, InsideY);
    button.HoldTick(InsideX, InsideY);
    button.RepeatTick(Left - 1, InsideY);
    button.repeatEnabled = 0;
    button.RepeatTick(InsideX, InsideY);
    CHECK(button.Names() == std::vector<std::string>{"repeat", "hold"});
}

TEST_CASE("a button paints nothing before Init, and nothing for a state without a skin")
{
    ButtonScreen screen;
    const Snapshot before(screen.window);
    RecordingButton fresh(screen.window);
    fresh.Draw();
    screen.plain.state = BitmapButton::Lit; // a plain button has no lit skin
    screen.plain.Draw();
    screen.plain.state = 0;
    screen.plain.Draw();
    CHECK(Unchanged(before, screen.window));

    screen.plain.state = BitmapButton::Up;
    screen.plain.Draw();
    CHECK(screen.Shows(NormalBlue));
}
