#include "agent_story.h"

#include <doctest.h>

namespace agent_test {

namespace {

BOOL CALLBACK count_radio_window(HWND window, LPARAM context)
{
    char name[16] = {};
    GetClassNameA(window, name, sizeof(name));
    if (lstrcmpA(name, testing::RadioWindowClass) == 0)
        ++*reinterpret_cast<int *>(context);
    return TRUE;
}

} // namespace

std::string AgentPath()
{
    return testing::BinDirectory() + "\\Agent_Tavolin.exe";
}

std::string SkinlessFolder()
{
    char temp[MAX_PATH] = {};
    GetTempPathA(sizeof(temp), temp);
    const std::string folder = std::string(temp) + "tavolin-agent-skinless";
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

AgentProgram::AgentProgram(const std::string &arguments, const std::string &program)
    : ChildProcess(program, arguments, SkinlessFolder())
{
}

HWND AgentProgram::Window()
{
    HWND window = nullptr;
    testing::WaitUntil([&] {
        window = FindWindowA(AgentWindowClass, nullptr);
        return window != nullptr || !Running();
    });
    return window;
}

int RunAgent(const std::string &arguments)
{
    AgentProgram agent(arguments);
    return agent.WaitExit(10000);
}

HWND FindRadioWindow()
{
    return FindWindowA(testing::RadioWindowClass, testing::RadioWindowClass);
}

HWND WaitForRadioWindow(DWORD timeoutMs)
{
    HWND window = nullptr;
    // Found once it is shown: the radio has then placed it and drawn it.
    testing::WaitUntil([&] { return (window = FindRadioWindow()) != nullptr && IsWindowVisible(window); }, timeoutMs);
    return window;
}

int RadioWindowCount()
{
    int count = 0;
    EnumWindows(count_radio_window, reinterpret_cast<LPARAM>(&count));
    return count;
}

bool ClosesAtNextTick(testing::RadioProgram &radio)
{
    const bool gone = testing::WaitUntil([&] { return !IsWindow(radio.Window()); }, PastTwoTicksMs);
    const int exitCode = radio.WaitExit();
    if (!gone || exitCode != 0)
        MESSAGE("the radio closing at the agent's next tick: its window " << (gone ? "went" : "stayed")
                                                                         << ", exit code " << exitCode);
    return gone && exitCode == 0;
}

void AgentStory::AwaitAgentLook()
{
    const uint32_t before = card.State().opens;
    uint32_t opens = before;
    REQUIRE_MESSAGE(testing::WaitUntil([&] { return (opens = card.State().opens) >= before + 2; }, 2 * TickMs + 3000),
                    "awaiting the agent's next look: the card was opened " << opens - before << " times, not 2");
}

AgentStory::~AgentStory()
{
    if (FindWindowA(AgentWindowClass, nullptr))
        RunAgent("/u");
    if (HWND radio = FindRadioWindow())
        testing::RadioProgram left(radio);
}

} // namespace agent_test
