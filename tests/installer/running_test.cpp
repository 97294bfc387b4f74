// The installed programs at work, and the installer and uninstaller meeting
// them running: the installed agent starts the installed radio when the card
// goes in, and the radio finds its skins; a reinstall while both run closes
// the radio the way that saves its settings, keeps them, and leaves the agent
// running on its new files; a silent uninstall unloads the agent, closes the
// radio (which saves once more) and removes the rest.
#include <doctest.h>

#include "child_process.h"
#include "installation.h"
#include "radio_story.h"

using namespace installer_test;
using radio_test::RadioStory;

namespace {

// The radio writes AudioOutput only when it saves at exit: a value that
// reappears after being removed shows a clean shutdown.
constexpr char SavedOnlyAtExit[] = "AudioOutput";
constexpr int32_t StoredFrequency = 1003;
constexpr DWORD AgentStartsRadioMs = 8000;

struct InstalledStory : RadioStory, CleanMachine {
    HWND AwaitRadio()
    {
        HWND radio = nullptr;
        testing::WaitUntil(
            [&] {
                radio = RadioWindow();
                return radio && IsWindowVisible(radio);
            },
            AgentStartsRadioMs);
        return radio;
    }
};

// Starts the agent as log-on would, in a folder other than its own.
bool start_agent(const std::string &program)
{
    char systemFolder[MAX_PATH] = {};
    GetSystemDirectoryA(systemFolder, MAX_PATH);
    testing::ChildProcess agent(program, "", systemFolder);
    agent.LetGo();
    return agent.Started() && testing::WaitUntil([] { return AgentWindow() != nullptr; });
}

} // namespace

TEST_CASE_FIXTURE(InstalledStory, "the installed agent and radio through a reinstall and an uninstall")
{
    REQUIRE(Install() == 0);
    const std::string folder = DefaultFolder();
    settings.SetNumber("CurrentFrequency", StoredFrequency);

    // The card goes in after the agent has started: the agent starts the
    // radio beside it, which shows its skins.
    card.Pull();
    REQUIRE(start_agent(folder + "\\Agent_Tavolin.exe"));
    card.Insert();
    HWND radio = AwaitRadio();
    REQUIRE(radio);
    CHECK(SameFolder(WindowProgram(radio), folder + "\\Tavolin.exe"));
    CHECK(testing::WaitUntil(
        [&] {
            const testing::ClientShot shot(radio);
            return testing::Shows(shot, normal, radio_test::TuneUp) &&
                   testing::Shows(shot, normal, radio_test::Presets[5]) &&
                   testing::Shows(shot, normal, radio_test::Power);
        },
        3000));

    // Reinstalling over it while both run.
    REQUIRE_FALSE(settings.Get(SavedOnlyAtExit).present);
    DWORD agentProcess = WindowProcess(AgentWindow());
    DWORD radioProcess = WindowProcess(radio);
    REQUIRE(Install(folder) == 0);
    CHECK(ProcessEnds(radioProcess, 0));
    CHECK(settings.Number(SavedOnlyAtExit) == 2);
    CHECK(settings.Number("CurrentFrequency") == StoredFrequency);
    // The agent runs on from the new files and, the card being in, starts
    // the radio again.
    CHECK(ProcessEnds(agentProcess, 0));
    REQUIRE(testing::WaitUntil([&] { return AgentWindow() && WindowProcess(AgentWindow()) != agentProcess; }));
    CHECK(SameFolder(WindowProgram(AgentWindow()), folder + "\\Agent_Tavolin.exe"));
    radio = AwaitRadio();
    REQUIRE(radio);
    CHECK(SameFolder(WindowProgram(radio), folder + "\\Tavolin.exe"));

    // A silent uninstall with both running.
    settings.Remove(SavedOnlyAtExit);
    agentProcess = WindowProcess(AgentWindow());
    radioProcess = WindowProcess(radio);
    REQUIRE(Uninstall(folder) == 0);
    CHECK(ProcessEnds(agentProcess, 0));
    CHECK(ProcessEnds(radioProcess, 0));
    CHECK(AgentWindow() == nullptr);
    CHECK(RadioWindow() == nullptr);
    CHECK(settings.Number(SavedOnlyAtExit) == 2);
    CHECK(settings.Number("CurrentFrequency") == StoredFrequency);
    CHECK_FALSE(FileExists(folder));
    CHECK_FALSE(FileExists(ShortcutPath()));
    CHECK_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, UninstallKey));
}
