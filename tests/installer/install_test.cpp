// A silent installation and its removal, with nothing running: every file
// in one folder under Program Files, the Start-menu shortcut with its
// working folder, the log-on entry, the entry in the list of installed
// programs; the programs' version and icon; the uninstaller taking all of it
// away and the settings only when told.
#include <doctest.h>

#include <algorithm>

#include "card_log.h"
#include "installation.h"
#include "radio_program.h"
#include "version.h"
#include "virtual_card.h"

using namespace installer_test;

namespace {

std::string run_entry()
{
    return RegistryString(HKEY_LOCAL_MACHINE, RunKey, "Tavolin Agent");
}

// What waits in the temporary folder itself for the restart.
size_t pending_in_temp()
{
    const std::vector<std::string> pending = PendingRemovals();
    return static_cast<size_t>(std::count_if(pending.begin(), pending.end(), [](const std::string &path) {
        return SameFolder(path.substr(0, path.find_last_of('\\') + 1), TempPath());
    }));
}

void check_nothing_left(const std::string &folder)
{
    CHECK_FALSE(FileExists(folder));
    CHECK_FALSE(FileExists(ShortcutPath()));
    CHECK(run_entry().empty());
    CHECK_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, UninstallKey));
}

} // namespace

TEST_CASE_FIXTURE(CleanMachine, "a silent install into Program Files and a silent uninstall")
{
    testing::RadioSettings settings;
    REQUIRE(FileExists(SetupPath()));
    REQUIRE(Install() == 0);
    const std::string folder = DefaultFolder();

    SUBCASE("what the installation holds")
    {
        // Every file lands in one folder, as built.
        std::vector<std::string> expected = ShippedFiles();
        expected.push_back("uninstall.exe");
        std::sort(expected.begin(), expected.end());
        CHECK(FolderEntries(folder) == expected);
        for (const std::string &name : ShippedFiles()) {
            CAPTURE(name);
            CHECK(ReadFile(folder + "\\" + name) == ReadFile(testing::BinDirectory() + "\\" + name));
        }

        // The Start-menu shortcut starts the radio in its own folder, where its skins are.
        const Shortcut shortcut = ReadShortcut(ShortcutPath());
        REQUIRE(shortcut.loaded);
        CHECK(SameFolder(shortcut.target, folder + "\\Tavolin.exe"));
        CHECK(SameFolder(shortcut.workingDirectory, folder));

        // The agent starts at log-on, and the silent log says so.
        CHECK(run_entry() == "\"" + folder + "\\Agent_Tavolin.exe\"");
        CHECK(SilentLog(SetupLog).find("The Tavolin agent starts when you next log on") != std::string::npos);

        // The list of installed programs shows publisher, version, size and icon.
        CHECK(RegistryString(HKEY_LOCAL_MACHINE, UninstallKey, "DisplayName") == "Tavolin");
        CHECK(RegistryString(HKEY_LOCAL_MACHINE, UninstallKey, "Publisher") == "Corvane");
        CHECK(RegistryString(HKEY_LOCAL_MACHINE, UninstallKey, "DisplayVersion") == TAVOLIN_VERSION_TEXT);
        CHECK(RegistryString(HKEY_LOCAL_MACHINE, UninstallKey, "DisplayIcon") == folder + "\\Tavolin.exe,0");
        CHECK(SameFolder(RegistryString(HKEY_LOCAL_MACHINE, UninstallKey, "InstallLocation"), folder));
        // Both run it in place, so that their caller gets its exit code.
        CHECK(RegistryString(HKEY_LOCAL_MACHINE, UninstallKey, "UninstallString") ==
              "\"" + folder + "\\uninstall.exe\" _?=" + folder);
        CHECK(RegistryString(HKEY_LOCAL_MACHINE, UninstallKey, "QuietUninstallString") ==
              "\"" + folder + "\\uninstall.exe\" /S _?=" + folder);
        // In kilobytes: the folder's files, rounded either way.
        int64_t bytes = 0;
        for (const std::string &name : FolderEntries(folder))
            bytes += static_cast<int64_t>(ReadFile(folder + "\\" + name).size());
        const int64_t size = RegistryNumber(HKEY_LOCAL_MACHINE, UninstallKey, "EstimatedSize");
        CHECK(size >= bytes / 1024 - 1);
        CHECK(size <= bytes / 1024 + 8);

        // Both programs carry the version and the icon, and no execution level.
        for (const char *name : {"Tavolin.exe", "Agent_Tavolin.exe"}) {
            CAPTURE(name);
            const std::string program = folder + "\\" + name;
            CHECK(VersionString(program, "ProductVersion") == TAVOLIN_VERSION_TEXT);
            CHECK(VersionString(program, "FileVersion") == TAVOLIN_VERSION_TEXT);
            CHECK(VersionString(program, "CompanyName") == "Corvane");
            CHECK(VersionString(program, "OriginalFilename") == name);
            CHECK(IconCount(program) >= 1);
            // A requested execution level would switch off the registry
            // virtualisation the radio's settings rely on.
            CHECK(Manifest(program).find("requestedExecutionLevel") == std::string::npos);
        }
        CHECK(VersionString(SetupPath(), "ProductVersion") == TAVOLIN_VERSION_TEXT);
    }

    SUBCASE("the silent uninstall command removes everything, keeps the settings and ends with 0")
    {
        settings.SetNumber("CurrentFrequency", 1003);
        const std::vector<std::string> tempFolders = TempFolders();
        const size_t pending = pending_in_temp();
        REQUIRE(QuietUninstall() == 0);
        check_nothing_left(folder);
        CHECK(settings.Number("CurrentFrequency") == 1003);
        // Nothing of it stays in the temporary folder but its own file, moved
        // there out of the folder it removed and deleted at the restart.
        CHECK(testing::Join(TempFolders()) == testing::Join(tempFolders));
        CAPTURE(testing::Join(PendingRemovals()));
        CHECK(pending_in_temp() == pending + 1);
        ClearPendingTemp();
    }

    SUBCASE("told to, it removes the settings too, and the user's virtualised copy")
    {
        settings.SetNumber("CurrentFrequency", 1003);
        HKEY key = nullptr;
        REQUIRE(RegCreateKeyExA(HKEY_CURRENT_USER, VirtualSettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                nullptr) == ERROR_SUCCESS);
        RegCloseKey(key);
        REQUIRE(Uninstall(folder, "/REMOVESETTINGS") == 0);
        check_nothing_left(folder);
        CHECK_FALSE(settings.Exists());
        CHECK_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, VirtualSettingsKey));
        RegDeleteTreeA(HKEY_CURRENT_USER, VirtualSettingsKey);
    }
}

TEST_CASE_FIXTURE(CleanMachine, "an uninstall through NSIS's copy leaves what the user put into the folder")
{
    REQUIRE(Install() == 0);
    const std::string folder = DefaultFolder();
    const std::string own = folder + "\\my stations.txt";
    HANDLE file = CreateFileA(own.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    REQUIRE(file != INVALID_HANDLE_VALUE);
    CloseHandle(file);
    // Without _?=, through NSIS's copy of the uninstaller.
    REQUIRE(UninstallThroughCopy(folder) == 0);
    CHECK(FolderEntries(folder) == std::vector<std::string>{"my stations.txt"});
    CHECK_FALSE(FileExists(ShortcutPath()));
    DeleteFileA(own.c_str());
    RemoveDirectoryA(folder.c_str());
}
