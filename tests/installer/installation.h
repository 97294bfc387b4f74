// The installer of the build run silently in the test prefix, and what it
// leaves behind, read the way Windows reads it: files, the Start-menu
// shortcut through IShellLinkA, the log-on entry and the entry in the list
// of installed programs in the registry, the programs' version resources.
#pragma once

#include <windows.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "registry_key.h"

namespace installer_test {

constexpr char UninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tavolin";
constexpr char RunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr char RunValue[] = "Tavolin Agent";
constexpr char AgentWindowClass[] = "Agent_Tavolin";
// A user's own copy of the radio's settings under registry virtualisation.
constexpr char VirtualSettingsKey[] = "Software\\Classes\\VirtualStore\\MACHINE\\SOFTWARE\\Corvane";

// The files the installation folder holds, the uninstaller besides.
const std::vector<std::string> &ShippedFiles();

std::string SetupPath();
// Where an installation lands by default: Tavolin under Program Files.
std::string DefaultFolder();
std::string ShortcutPath();

// How a silent run ended: its exit code (-1 when there is none) and, for a
// failed check's message, what became of the process: the step that failed
// and why, or how long it ran and how it ended.
struct SetupRun {
    int code;
    std::string story;
};
inline bool operator==(const SetupRun &run, int code)
{
    return run.code == code;
}
inline std::ostream &operator<<(std::ostream &out, const SetupRun &run)
{
    return out << run.code << " (" << run.story << ")";
}

// Runs the installer silently (into `folder` with /D when given) to its end.
SetupRun Install(const std::string &folder = std::string());
// Runs the folder's uninstaller silently with `arguments`, in place (_?=, as
// the registry's uninstall strings run it), to its end.
SetupRun Uninstall(const std::string &folder, const std::string &arguments = std::string());
// The same without _?=: NSIS copies the uninstaller into the temporary
// folder and hands over to the copy; waits for both; the copy's exit code.
SetupRun UninstallThroughCopy(const std::string &folder);
// Runs the silent uninstall command the list of installed programs keeps, as
// a caller does: the exit code of the process it starts, once that process
// and whatever it started have ended.
SetupRun QuietUninstall();
// What the last silent run wrote to its log in the temporary folder.
constexpr char SetupLog[] = "TavolinSetup.log";
constexpr char UninstallLog[] = "TavolinUninstall.log";
std::string SilentLog(const char *name);
// The user's temporary folder (with its closing backslash), and the folders
// in it.
std::string TempPath();
std::vector<std::string> TempFolders();

bool FileExists(const std::string &path);
std::string ReadFile(const std::string &path);
std::vector<std::string> FolderEntries(const std::string &folder);
bool SameFolder(std::string a, std::string b);

struct Shortcut {
    bool loaded;
    std::string target;
    std::string workingDirectory;
};
Shortcut ReadShortcut(const std::string &path);

// A string of the program's version resource ("ProductVersion", ...), or
// empty when there is none.
std::string VersionString(const std::string &program, const char *name);
int IconCount(const std::string &program);
// The program's embedded manifest (resource 1), or empty.
std::string Manifest(const std::string &program);

std::string RegistryString(HKEY root, const char *path, const char *name);
// -1 when missing or not a REG_DWORD.
int64_t RegistryNumber(HKEY root, const char *path, const char *name);
bool RegistryKeyExists(HKEY root, const char *path);

// The full path of the program that owns `window`, or empty.
std::string WindowProgram(HWND window);
DWORD WindowProcess(HWND window);
HWND AgentWindow();
// The radio window (class and title "Vantor"), shown or not.
HWND RadioWindow();
// Waits for a process to end.
bool ProcessEnds(DWORD processId, DWORD timeoutMs = 10000);
// The full path of the program that started the process, or empty.
std::string ParentProgram(DWORD processId);

// The files and folders Windows deletes when it restarts
// (PendingFileRenameOperations), and taking back those under `folder`.
std::vector<std::string> PendingRemovals();
void ForgetPendingRemovals(const std::string &folder);
// Deletes what waits in the temporary folder for the restart (an uninstaller
// run in place moves itself there) and takes it off the list.
void ClearPendingTemp();

// What every story starts and ends with: no agent, no radio and no
// installation left in the prefix.
class CleanMachine {
public:
    CleanMachine();
    virtual ~CleanMachine();
    static void Clear();
};

} // namespace installer_test
