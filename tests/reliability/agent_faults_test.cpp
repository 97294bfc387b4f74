// The agent and the radio together under faults: the radio hung when the
// card goes, so that the agent's close waits on it; and many pull-and-insert
// cycles with the RDS window open, each closing the radio and starting a new
// one. Nothing is lost and nothing piles up in the agent.
#include <doctest.h>

#include "agent_story.h"
#include "held_thread.h"
#include "process_probe.h"

using namespace agent_test;
using namespace radio_test;
using testing::HeldThread;
using testing::RadioProgram;

namespace {

// Exact GDI and window counts show a leak of one per cycle in a few cycles;
// scripts/bench.sh runs the long soak.
constexpr int Cycles = 6;
constexpr int RdsStation = 891;


} // namespace

TEST_CASE_FIXTURE(AgentStory, "the radio hung when the card goes")
{
    settings.SetNumber("CurrentFrequency", 1017);
    AgentProgram agent;
    RadioProgram radio(WaitForRadioWindow());
    REQUIRE(radio.Started());
    // Tuned at its start and again by its first watch tick; a wait for the
    // first alone may find both.
    REQUIRE(AwaitRequestsWith(TUNER_SET_FREQUENCY, 1017, 2).size() == 2);
    SetWindowPos(radio.Window(), nullptr, 280, 160, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    radio.Settle();

    HeldThread hung(radio.Window());
    REQUIRE(hung.Held());
    card.ClearLog();
    card.Pull();
    // The agent's close waits on the radio, which sends and closes nothing.
    Sleep(PastOneTickMs);
    CHECK(radio.Running());
    CHECK(agent.Running());
    CHECK(card.State().openHandles == 1);
    CHECK(Commands().empty());

    SUBCASE("let go: the radio shuts down as ever, and the agent starts the next one")
    {
        hung.Release();
        CHECK(testing::WaitUntil([&] { return !IsWindow(radio.Window()); }, 5000));
        CHECK(radio.WaitExit() == 0);
        CHECK(card.State().openHandles == 0);
        CHECK(settings.Numbers("WindowPos") == std::vector<int32_t>{280, 160});
        CHECK(settings.Number("CurrentFrequency") == 1017);
        CHECK(agent.Running());

        card.ClearLog();
        card.Insert();
        RadioProgram again(WaitForRadioWindow());
        REQUIRE(again.Started());
        CHECK(again.ProcessId() != radio.ProcessId());
        CHECK(AwaitRequestsWith(TUNER_SET_FREQUENCY, 1017, 2).size() == 2);
        CHECK(RadioWindowCount() == 1);
    }

    SUBCASE("a second agent with /u still unloads the waiting one")
    {
        // The waiting agent handles the message sent to it inside its own
        // wait, so the second agent is not held up.
        CHECK(RunAgent("/u") == 0);
        hung.Release();
        CHECK(radio.WaitExit() == 0);
        CHECK(agent.WaitExit(5000) == 0);
        CHECK(card.State().openHandles == 0);
        CHECK(settings.Numbers("WindowPos") == std::vector<int32_t>{280, 160});
    }
}

TEST_CASE_FIXTURE(AgentStory, "card cycles with the agent, the radio and its RDS window")
{
    card.LoadScenario("rds_repeat 1\nstation " + std::to_string(RdsStation) + " stereo rds text Tavolin RDS. \n");
    settings.SetNumber("CurrentFrequency", RdsStation);
    settings.SetNumber("CurrentVolume", 66);
    AgentProgram agent;
    testing::ProcessProbe probe(agent.ProcessId());
    REQUIRE(probe.Valid());
    testing::ProcessFigures before;
    int restarted = 0;
    for (int cycle = 0; cycle <= Cycles; ++cycle) {
        CAPTURE(cycle);
        RadioProgram radio(WaitForRadioWindow());
        REQUIRE(radio.Started());
        // A new radio each time, which takes the card afresh: its volume at
        // its start and again at its first watch tick.
        const bool retuned = AwaitRequestsWith(TUNER_SET_VOLUME, 66, 2).size() == 2 &&
                             AwaitRequestsWith(TUNER_SET_FREQUENCY, RdsStation, 1).size() >= 1;
        CHECK(retuned);
        CHECK(RadioWindowCount() == 1);
        HWND rds = OpenRdsWindow(radio);
        CHECK(rds);
        restarted += retuned && rds;
        if (cycle == 0) // the agent's first round made whatever it keeps
            before = probe.Read();
        card.Pull();
        REQUIRE(ClosesAtNextTick(radio));
        CHECK(card.State().openHandles == 0);
        if (cycle == Cycles)
            break;
        card.ClearLog();
        card.Insert();
    }
    CHECK(restarted == Cycles + 1);
    const testing::ProcessFigures after = probe.Read();
    CHECK(after.gdiObjects == before.gdiObjects);
    CHECK(after.windows == before.windows);
    CHECK(after.handles <= before.handles + 2);
    MESSAGE("agent GDI " << before.gdiObjects << " -> " << after.gdiObjects << ", windows " << before.windows
                         << " -> " << after.windows << ", handles " << before.handles << " -> " << after.handles);
    CHECK(settings.Number("CurrentFrequency") == RdsStation);
    CHECK(settings.Number("CurrentVolume") == 66);
    CHECK(agent.Running());
}
