// What every story about the agent starts from: the radio's story (the card
// reset and inserted, no stored settings), a current folder without skins
// for the agent, and no agent or radio left running at the end.
#pragma once

#include <windows.h>

#include <string>

#include "child_process.h"
#include "radio_story.h"

namespace agent_test {

constexpr char AgentWindowClass[] = "Agent_Tavolin";
// The agent looks once a second. With the card in, a story waits for its
// looks on the card (AwaitAgentLook); with the card out they leave no trace,
// and a story that checks that nothing happens waits one look and a margin.
constexpr DWORD TickMs = 1000;
constexpr DWORD PastOneTickMs = TickMs + 300;
constexpr DWORD PastTwoTicksMs = 2 * TickMs + 500;

std::string AgentPath();
// A folder of the tests' own without skins, made on first use.
std::string SkinlessFolder();

// The agent of the build (or a copy), started in the skinless folder.
class AgentProgram : public testing::ChildProcess {
public:
    explicit AgentProgram(const std::string &arguments = std::string(), const std::string &program = AgentPath());
    ~AgentProgram() override = default;
    // Waits until its hidden window exists; that window, or null.
    HWND Window();
};

// Runs one more agent with `arguments` to its end: its exit code, or -1.
int RunAgent(const std::string &arguments);

// The radio window as the agent finds it (class and title "Vantor"),
// whether shown or not.
HWND FindRadioWindow();
// Waits for it to be shown.
HWND WaitForRadioWindow(DWORD timeoutMs = 8000);
// The radio windows there are, shown or not.
int RadioWindowCount();

// Whether the radio's window goes within a tick or two (its shutdown runs as
// it goes) and the program then ends with 0.
bool ClosesAtNextTick(testing::RadioProgram &radio);

class AgentStory : public radio_test::RadioStory {
public:
    AgentStory() = default;
    // Unloads an agent still running and closes a radio still open.
    ~AgentStory() override;
    // Returns once the agent has looked at the inserted card again and done
    // what that look called for: the card counts every open, and the agent
    // opens it anew only when its previous look is over.
    void AwaitAgentLook();
};

} // namespace agent_test
