// The agent follows the card: it starts the radio a second after the card is
// seen, brings a running radio forward instead of starting another, closes
// the radio through its own shutdown when the card goes, and leaves a radio
// the user closed closed until the card comes back.
#include <doctest.h>

#include <algorithm>
#include <set>

#include "agent_story.h"

using namespace agent_test;
using radio_test::Middle;
using testing::RadioProgram;

namespace {

std::set<uint32_t> openers(const std::vector<CardLogEntry> &entries)
{
    std::set<uint32_t> handles;
    for (const CardLogEntry &entry : entries)
        handles.insert(entry.handleId);
    return handles;
}

bool shows_skins(const RadioProgram &radio, const testing::SkinImage &skin)
{
    const testing::ClientShot shot = radio.Shot();
    for (const RECT &area : {radio_test::TuneUp, radio_test::Power, radio_test::Mute, radio_test::Presets[0]})
        if (!testing::Shows(shot, skin, area))
            return false;
    return true;
}

// Samples of the card's open handles over two seconds that show none: the
// agent opens the card only for a moment once a second.
int idle_samples(testing::VirtualCard &card)
{
    int idle = 0;
    for (int sample = 0; sample < 40; ++sample) {
        idle += card.State().openHandles == 0;
        Sleep(50);
    }
    return idle;
}

} // namespace

TEST_CASE_FIXTURE(AgentStory, "the card is in and no radio runs")
{
    const int64_t start = Now();
    AgentProgram agent;
    REQUIRE(agent.Started());
    RadioProgram radio(WaitForRadioWindow());
    REQUIRE(radio.Started());
    REQUIRE(testing::WaitUntil([&] { return !card.Log().empty(); }));

    SUBCASE("the radio starts a second later with the agent's folder's skins, and goes and comes with the card")
    {
        const double delay = Since(start, card.Log().front());
        CHECK(delay >= 990.0);
        CHECK(delay < 5000.0);
        CHECK(agent.Descendants() == std::vector<DWORD>{radio.ProcessId()});
        // The agent runs in a folder without skins; the radio finds them
        // only in the agent's folder.
        CHECK(testing::WaitUntil([&] { return shows_skins(radio, normal); }, 3000));
        CHECK(IsWindowVisible(FindWindowA(AgentWindowClass, nullptr)) == FALSE);
        // Further ticks change nothing, and the agent never sends a request.
        AwaitAgentLook();
        CHECK(agent.Descendants().size() == 1);
        CHECK(openers(card.Log()).size() == 1);
        CHECK(radio.Running());

        // The card pulled: the radio closes through its shutdown; put back:
        // the radio starts again.
        radio.Settle();
        SetWindowPos(radio.Window(), nullptr, 300, 200, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        radio.Settle();
        card.ClearLog();
        card.Pull();
        REQUIRE(ClosesAtNextTick(radio));
        CHECK(settings.Numbers("WindowPos") == std::vector<int32_t>{300, 200});
        CHECK(card.State().openHandles == 0);
        CHECK(agent.Running());

        card.ClearLog();
        card.Insert();
        RadioProgram again(WaitForRadioWindow());
        REQUIRE(again.Started());
        CHECK(again.ProcessId() != radio.ProcessId());
        CHECK(agent.Descendants() == std::vector<DWORD>{radio.ProcessId(), again.ProcessId()});
        CHECK(testing::WaitUntil([&] { return shows_skins(again, normal); }, 3000));
        // It opened the card and started it afresh at the stored place.
        REQUIRE(testing::WaitUntil([&] { return !card.Log().empty(); }));
        CHECK(testing::Describe(card.Log().front()) == "set_power(1)");
        RECT outer = {};
        GetWindowRect(again.Window(), &outer);
        CHECK(outer.left == 300);
        CHECK(outer.top == 200);
    }

    SUBCASE("closed by the user: not started again until the card goes and comes back")
    {
        const POINT power = Middle(radio_test::Power);
        radio.Click(power.x, power.y);
        REQUIRE(radio.WaitExit() == 0);
        // The agent holds the card only for a moment at each tick.
        CHECK(idle_samples(card) >= 30);
        CHECK(FindRadioWindow() == nullptr);
        CHECK(agent.Descendants().size() == 1);

        // Pulled after the user closed the radio: nothing to close.
        card.Pull();
        Sleep(PastOneTickMs);
        CHECK(FindRadioWindow() == nullptr);
        CHECK(agent.Running());

        card.Insert();
        RadioProgram again(WaitForRadioWindow(PastTwoTicksMs + 3000));
        REQUIRE(again.Started());
        CHECK(agent.Descendants() == std::vector<DWORD>{radio.ProcessId(), again.ProcessId()});
    }
}

TEST_CASE_FIXTURE(AgentStory, "the radio already runs when the agent starts")
{
    RadioProgram radio;
    REQUIRE(radio.Window());

    SUBCASE("hidden in the notification area: shown and brought forward")
    {
        const POINT minimize = Middle(radio_test::Minimize);
        radio.Click(minimize.x, minimize.y);
        REQUIRE(testing::WaitUntil([&] { return !IsWindowVisible(radio.Window()); }));
        AgentProgram agent;
        CHECK(testing::WaitUntil(
            [&] { return IsWindowVisible(radio.Window()) && GetForegroundWindow() == radio.Window(); },
            PastTwoTicksMs + 2000));
        CHECK(testing::WaitUntil([&] { return shows_skins(radio, normal); }, 3000));
        AwaitAgentLook();
        CHECK(agent.Descendants().empty());
        CHECK(RadioWindowCount() == 1);
    }

    SUBCASE("behind another window: brought forward")
    {
        HWND other = CreateWindowExA(0, "STATIC", "in front", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 80, 400, 400,
                                     nullptr, nullptr, nullptr, nullptr);
        REQUIRE(other);
        SetForegroundWindow(other);
        REQUIRE(testing::WaitUntil([&] { return GetForegroundWindow() == other; }));
        AgentProgram agent;
        CHECK(testing::WaitUntil([&] { return GetForegroundWindow() == radio.Window(); }, PastTwoTicksMs + 2000));
        AwaitAgentLook();
        CHECK(agent.Descendants().empty());
        DestroyWindow(other);
    }

    SUBCASE("the card pulled: the radio the user started closes too")
    {
        AgentProgram agent;
        AwaitAgentLook();
        card.Pull();
        CHECK(ClosesAtNextTick(radio));
        CHECK(agent.Descendants().empty());
    }
}

TEST_CASE_FIXTURE(AgentStory, "the radio in a modal loop when the card goes")
{
    AgentProgram agent;
    RadioProgram radio(WaitForRadioWindow());
    REQUIRE(radio.Started());
    SetWindowPos(radio.Window(), nullptr, 260, 180, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    radio.Settle();

    SUBCASE("its menu open")
    {
        // "Option", the menu bar's one item, just above the client area.
        radio.Click(12, -GetSystemMetrics(SM_CYMENU) / 2);
        REQUIRE(testing::WaitUntil([] {
            HWND popup = FindWindowA("#32768", nullptr);
            return popup && IsWindowVisible(popup);
        }));
        card.Pull();
        // The window goes with its menu at the next tick, and the program ends.
        CHECK(ClosesAtNextTick(radio));
    }

    SUBCASE("its About box open")
    {
        REQUIRE(radio.Activate());
        radio.KeyDown(VK_MENU);
        radio.Tap(VK_OEM_2); // Alt+"/"
        radio.KeyUp(VK_MENU);
        HWND about = nullptr;
        REQUIRE(testing::WaitUntil(
            [&] { return (about = testing::FindProcessDialog(radio.ProcessId(), "About")) != nullptr; }));
        card.Pull();
        // The owned box goes with the window, and the program ends.
        CHECK(ClosesAtNextTick(radio));
        CHECK_FALSE(IsWindow(about));
    }

    CHECK(settings.Numbers("WindowPos") == std::vector<int32_t>{260, 180});
    CHECK(card.State().openHandles == 0);
    CHECK(agent.Running());
}
