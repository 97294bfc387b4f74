// The installed programs at work, and the installer and uninstaller meeting
// them running: the installed agent starts the installed radio when the card
// goes in, and the radio finds its skins; a reinstall while both run closes
// the radio the way that saves its settings, keeps them, and leaves the agent
// running on its new files; a silent uninstall unloads the agent, closes the
// radio (which saves once more) and removes the rest. A radio that does not
// end: the reinstall changes nothing and says so, the uninstall removes the
// rest and leaves its program to the next restart. An agent stopped on the
// way is started again by the desktop's shell, never by the elevated
// installer (the level it runs at is beyond Wine, which has no integrity
// levels: the test sees who started it).
#include <doctest.h>

#include <algorithm>
#include <initializer_list>
#include <map>

#include "child_process.h"
#include "held_thread.h"
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

// The last silent run's log says each of `lines`.
void check_logged(const char *log, std::initializer_list<const char *> lines)
{
    const std::string text = SilentLog(log);
    CAPTURE(text);
    for (const char *line : lines)
        CHECK(text.find(line) != std::string::npos);
}

// The agent runs again after the installer stopped process `stopped`: a new
// one, from the folder's files, started by the desktop's shell.
void check_agent_restarted(const std::string &folder, DWORD stopped)
{
    CHECK(ProcessEnds(stopped, 0));
    REQUIRE(testing::WaitUntil([&] { return AgentWindow() && WindowProcess(AgentWindow()) != stopped; }));
    CHECK(SameFolder(WindowProgram(AgentWindow()), folder + "\\Agent_Tavolin.exe"));
    const std::string parent = ParentProgram(WindowProcess(AgentWindow()));
    CAPTURE(parent);
    CHECK(SameFolder(parent.substr(parent.find_last_of('\\') + 1), "explorer.exe"));
    check_logged(SetupLog, {"The Tavolin agent runs again, started through your desktop"});
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
    check_agent_restarted(folder, agentProcess);
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

TEST_CASE_FIXTURE(InstalledStory, "a radio that does not end: the reinstall changes nothing, the uninstall ends at restart")
{
    REQUIRE(Install() == 0);
    const std::string folder = DefaultFolder();
    // An older installation: every file differs from the one the installer carries.
    std::map<std::string, std::string> installed;
    for (const std::string &name : ShippedFiles()) {
        const std::string path = folder + "\\" + name;
        HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        REQUIRE(file != INVALID_HANDLE_VALUE);
        DWORD written = 0;
        WriteFile(file, "older", 5, &written, nullptr);
        CloseHandle(file);
        installed[name] = ReadFile(path);
        REQUIRE(installed[name] != ReadFile(testing::BinDirectory() + "\\" + name));
    }

    // The card is out, so that the agent leaves the radio alone.
    card.Pull();
    REQUIRE(start_agent(folder + "\\Agent_Tavolin.exe"));
    const DWORD agentProcess = WindowProcess(AgentWindow());
    testing::RadioProgram radio(folder, folder + "\\Tavolin.exe");
    REQUIRE(radio.Started());
    testing::HeldThread hung(radio.Window());
    REQUIRE(hung.Held());

    // The reinstall waits for the radio in vain, stops before copying
    // anything and says why; the old installation stays whole.
    CHECK(Install(folder) == 2);
    check_logged(SetupLog, {"The radio did not end within 10 seconds.", "Setup cannot replace Tavolin.exe in"});
    for (const std::string &name : ShippedFiles()) {
        CAPTURE(name);
        CHECK(ReadFile(folder + "\\" + name) == installed[name]);
    }
    check_agent_restarted(folder, agentProcess);
    CHECK(radio.Running());

    // The uninstall removes everything it can, leaves the radio's program
    // to the restart and says so, also to whoever ran the registry's silent
    // uninstall command; nothing is left without an uninstaller, and nothing
    // in a folder of the temporary folder.
    const std::vector<std::string> tempFolders = TempFolders();
    CHECK(QuietUninstall() == 3010);
    CHECK(testing::Join(TempFolders()) == testing::Join(tempFolders));
    check_logged(UninstallLog,
                 {"The radio did not end within 10 seconds.", "Files still in use are removed when Windows restarts."});
    CHECK(FolderEntries(folder) == std::vector<std::string>{"Tavolin.exe"});
    const std::vector<std::string> pending = PendingRemovals();
    for (const std::string &path : {folder + "\\Tavolin.exe", folder}) {
        CAPTURE(path);
        CHECK(std::any_of(pending.begin(), pending.end(), [&](const std::string &p) { return SameFolder(p, path); }));
    }
    CHECK_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, UninstallKey));
    CHECK(RegistryString(HKEY_LOCAL_MACHINE, RunKey, RunValue).empty());
    CHECK_FALSE(FileExists(ShortcutPath()));
    CHECK(AgentWindow() == nullptr);

    hung.Release();
    CHECK(radio.Close(10000));
    DeleteFileA((folder + "\\Tavolin.exe").c_str());
    RemoveDirectoryA(folder.c_str());
    ForgetPendingRemovals(folder);
    ClearPendingTemp();
}
