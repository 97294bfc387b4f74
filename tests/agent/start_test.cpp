// The agent's start: one agent at a time, "/u" anywhere in the command line
// unloads the running one, and the radio's path is built beside the agent
// only when it fits the agent's 260-byte buffer.
#include <doctest.h>

#include <memory>
#include <vector>

#include "agent_story.h"
#include "temp_folder.h"

using namespace agent_test;
using testing::RadioProgram;

namespace {

// The radio's path is the folder plus "\Tavolin.exe" and its NUL in 260
// bytes: a folder of 247 characters fits exactly, one of 248 does not.
constexpr size_t LongestFittingFolder = MAX_PATH - sizeof("\\Tavolin.exe");

// Two sibling folders deep under the temporary folder, one as long as the
// radio's path allows and one a character longer, each holding a copy of
// the agent under a short name ("A.exe"), so that the agent's own path still
// fits.
class LongFolders : public testing::TempFolder {
public:
    LongFolders() : TempFolder("tavolin-agent-long")
    {
        std::string deep;
        while (At(deep).size() + 60 < LongestFittingFolder - 20)
            MakeFolder(deep += (deep.empty() ? "" : "\\") + std::string(60, 'd'));
        const std::string fitting = deep + "\\" + std::string(LongestFittingFolder - At(deep).size() - 1, 'f');
        fits = MakeFolder(fitting);
        tooLong = MakeFolder(fitting + "x");
        Copy(AgentPath(), fitting + "\\A.exe");
        Copy(AgentPath(), fitting + "x\\A.exe");
        Copy(testing::BinDirectory() + "\\Tavolin.exe", fitting + "\\Tavolin.exe");
        // Where a path cut at 259 characters would point.
        Copy(testing::BinDirectory() + "\\Tavolin.exe", fitting + "x\\Tavolin.ex");
    }
    ~LongFolders() override = default;

    std::string fits;
    std::string tooLong;
};

std::string image_path(DWORD processId)
{
    char path[MAX_PATH + 16] = {};
    DWORD size = sizeof(path);
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    if (!process)
        return std::string();
    const BOOL known = QueryFullProcessImageNameA(process, 0, path, &size);
    CloseHandle(process);
    return known ? std::string(path, size) : std::string();
}

} // namespace

TEST_CASE_FIXTURE(AgentStory, "one agent at a time")
{
    AgentProgram first;
    HWND window = first.Window();
    REQUIRE(window);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    CHECK(owner == first.ProcessId());
    CHECK_FALSE(IsWindowVisible(window));
    RadioProgram radio(WaitForRadioWindow());
    REQUIRE(radio.Started());

    // A second agent without arguments ends at once with 0 and changes nothing.
    CHECK(RunAgent("") == 0);
    CHECK(RunAgent("/x") == 0);
    CHECK(first.Running());
    CHECK(FindWindowA(AgentWindowClass, nullptr) == window);
    AwaitAgentLook();
    CHECK(first.Descendants() == std::vector<DWORD>{radio.ProcessId()});
    CHECK(RadioWindowCount() == 1);

    // Each spelling of the switch unloads the running agent: the first, then
    // one started anew each time (it finds the radio and starts none).
    AgentProgram *running = &first;
    std::unique_ptr<AgentProgram> next;
    for (const char *argument : {"/u", "/U", "/unload", "x/u"}) {
        CAPTURE(argument);
        if (!running) {
            next = std::make_unique<AgentProgram>();
            REQUIRE(next->Window());
            running = next.get();
        }
        CHECK(RunAgent(argument) == 0);
        CHECK(running->WaitExit(5000) == 0);
        CHECK(FindWindowA(AgentWindowClass, nullptr) == nullptr);
        CHECK(radio.Running());
        running = nullptr;
    }
    // The radio is left alone, and with no agent the card's removal no
    // longer closes it.
    card.Pull();
    Sleep(PastOneTickMs);
    CHECK(radio.Running());
}

TEST_CASE_FIXTURE(AgentStory, "\"/u\" with no agent running ends at once with 0")
{
    AgentProgram agent("/U");
    CHECK(agent.WaitExit(5000) == 0);
    CHECK(FindWindowA(AgentWindowClass, nullptr) == nullptr);
    Sleep(PastOneTickMs);
    CHECK(agent.Descendants().empty());
    CHECK(FindRadioWindow() == nullptr);
}

TEST_CASE_FIXTURE(AgentStory, "an agent folder at the limit of the radio's path")
{
    LongFolders folders;
    REQUIRE(folders.fits.size() == 247);

    SUBCASE("the radio's path fills the buffer exactly: the radio beside the agent starts")
    {
        AgentProgram agent("", folders.fits + "\\A.exe");
        RadioProgram radio(WaitForRadioWindow());
        REQUIRE(radio.Started());
        CHECK(agent.Descendants() == std::vector<DWORD>{radio.ProcessId()});
        CHECK(lstrcmpiA(image_path(radio.ProcessId()).c_str(), (folders.fits + "\\Tavolin.exe").c_str()) == 0);
    }

    SUBCASE("one character more: no radio is started, and the agent still closes a running one")
    {
        // A cut-off path would name a program that runs.
        {
            testing::ChildProcess cut(folders.tooLong + "\\Tavolin.ex", "", folders.tooLong);
            REQUIRE(cut.Started());
            RadioProgram radio(WaitForRadioWindow());
            REQUIRE(radio.Started());
        }
        AgentProgram agent("", folders.tooLong + "\\A.exe");
        AwaitAgentLook();
        CHECK(agent.Running());
        CHECK(agent.Descendants().empty());
        CHECK(FindRadioWindow() == nullptr);

        RadioProgram radio;
        REQUIRE(radio.Window());
        card.Pull();
        CHECK(ClosesAtNextTick(radio));
        card.Insert();
        AwaitAgentLook();
        CHECK(agent.Descendants().empty());
        CHECK(FindRadioWindow() == nullptr);
        CHECK(RunAgent("/u") == 0);
        CHECK(agent.WaitExit(5000) == 0);
    }
}
