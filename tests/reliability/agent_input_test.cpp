// The agent given odd command lines and an awkward place: a second agent
// with anything but "/u" in its command line changes nothing, with "/u" in
// any case or as part of a word it unloads the first; an agent whose folder
// path leaves no room for the radio's name still watches the card and
// unloads.
#include <doctest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "agent_story.h"
#include "temp_folder.h"

using namespace agent_test;

TEST_CASE_FIXTURE(AgentStory, "odd command lines")
{
    AgentProgram first;
    HWND window = first.Window();
    REQUIRE(window);
    const std::string odd[] = {"garbage", std::string(30000, 'x'), "\"quoted argument\" -u \\u u/", "%s%s%n%n",
                               std::string(300, '/')};
    for (const std::string &arguments : odd) {
        CAPTURE(arguments.substr(0, 40));
        CHECK(RunAgent(arguments) == 0);
        CHECK(IsWindow(window));
        CHECK(first.Running());
    }
    CHECK(RunAgent("/UNLOAD") == 0);
    CHECK(first.WaitExit(5000) == 0);
    CHECK(FindWindowA(AgentWindowClass, nullptr) == nullptr);
    // Nothing left to unload: the switch alone ends at once.
    CHECK(RunAgent("/u") == 0);

    // Its own path is not an argument, though written with forward slashes
    // as scripts do ("C:/users/..." holds "/u"): it stays and watches.
    char temp[MAX_PATH] = {};
    GetTempPathA(sizeof(temp), temp);
    std::string slashed = std::string(temp) + "Agent_Tavolin.exe";
    REQUIRE(CopyFileA(AgentPath().c_str(), slashed.c_str(), FALSE));
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    CAPTURE(slashed);
    std::string lowered = slashed;
    CharLowerA(&lowered[0]);
    REQUIRE(lowered.find("/u") != std::string::npos);
    {
        AgentProgram slashes("", slashed);
        CHECK(slashes.Window());
        CHECK(slashes.Running());
        CHECK(RunAgent("/u") == 0);
        CHECK(slashes.WaitExit(5000) == 0);
    }
    DeleteFileA(slashed.c_str());
}

TEST_CASE_FIXTURE(AgentStory, "an agent in a folder with a very long path")
{
    // Deep enough that the folder and "\Tavolin.exe" no longer fit in a path.
    testing::TempFolder deep("tavolin-deep");
    std::string folder;
    while (deep.At(folder).size() < MAX_PATH - 40)
        deep.MakeFolder(folder += (folder.empty() ? "" : "\\") +
                                  std::string(std::min<size_t>(40, MAX_PATH - 41 - deep.At(folder).size()), 'd'));
    const std::string copy = deep.Copy(AgentPath(), folder + "\\Agent_Tavolin.exe");
    {
        AgentProgram agent("", copy);
        REQUIRE(agent.Window());
        // It starts no radio (there is none beside it), and the card going
        // and coming back does not trouble it.
        card.Pull();
        Sleep(PastOneTickMs);
        card.Insert();
        AwaitAgentLook();
        CHECK(agent.Running());
        CHECK(RadioWindowCount() == 0);
        CHECK(RunAgent("/u") == 0);
        CHECK(agent.WaitExit(5000) == 0);
    }
}
