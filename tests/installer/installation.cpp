#include "installation.h"

#include <shellapi.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>

#include "child_process.h"
#include "radio_program.h"
#include "virtual_card.h"

namespace installer_test {

namespace {

constexpr DWORD SetupTimeoutMs = 120000;

std::string lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

std::string special_folder(int csidl)
{
    char path[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

} // namespace

const std::vector<std::string> &ShippedFiles()
{
    static const std::vector<std::string> files = {"Tavolin.exe", "Agent_Tavolin.exe", "TavolinReceiver.dll",
                                                   "BK_U.bmp",    "BK_P.bmp",          "BK_E.bmp",
                                                   "Default.wav"};
    return files;
}

std::string SetupPath()
{
    return testing::BinDirectory() + "\\" TAVOLIN_SETUP_NAME;
}

std::string DefaultFolder()
{
    return special_folder(CSIDL_PROGRAM_FILES) + "\\Tavolin";
}

std::string ShortcutPath()
{
    return special_folder(CSIDL_COMMON_PROGRAMS) + "\\Tavolin.lnk";
}

SetupRun Install(const std::string &folder)
{
    // /D takes the rest of the command line, unquoted, and must come last.
    testing::ChildProcess setup(SetupPath(), folder.empty() ? "/S" : "/S /D=" + folder);
    const int code = setup.WaitExit(SetupTimeoutMs);
    return {code, setup.Story() + "; its log: " + SilentLog(SetupLog)};
}

namespace {

// Runs an uninstaller's command line to the end of everything it starts; its
// own exit code (`handedOver`: the last code of what it started instead).
SetupRun run_uninstaller(const std::string &program, const std::string &arguments, bool handedOver)
{
    testing::ChildProcess uninstaller(program, arguments);
    int code = uninstaller.WaitAll(SetupTimeoutMs);
    if (!handedOver && code != -1)
        code = uninstaller.WaitExit(0);
    return {code, uninstaller.Story() + "; its log: " + SilentLog(UninstallLog)};
}

} // namespace

SetupRun Uninstall(const std::string &folder, const std::string &arguments)
{
    // _?= takes the rest of the command line and must come last.
    return run_uninstaller(folder + "\\uninstall.exe",
                           (arguments.empty() ? "/S" : "/S " + arguments) + " _?=" + folder, false);
}

SetupRun UninstallThroughCopy(const std::string &folder)
{
    return run_uninstaller(folder + "\\uninstall.exe", "/S", true);
}

SetupRun QuietUninstall()
{
    // "program" arguments
    const std::string command = RegistryString(HKEY_LOCAL_MACHINE, UninstallKey, "QuietUninstallString");
    const size_t end = command.find('"', 1);
    if (command.empty() || command[0] != '"' || end == std::string::npos)
        return {-1, "no quoted program in the QuietUninstallString \"" + command + "\""};
    return run_uninstaller(command.substr(1, end - 1), command.substr(std::min(end + 2, command.size())), false);
}

std::string TempPath()
{
    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    return folder;
}

std::vector<std::string> TempFolders()
{
    std::vector<std::string> folders;
    for (const std::string &name : FolderEntries(TempPath()))
        if (GetFileAttributesA((TempPath() + name).c_str()) & FILE_ATTRIBUTE_DIRECTORY)
            folders.push_back(name);
    return folders;
}

std::string SilentLog(const char *name)
{
    return ReadFile(TempPath() + name);
}

bool FileExists(const std::string &path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ReadFile(const std::string &path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::vector<std::string> FolderEntries(const std::string &folder)
{
    std::vector<std::string> entries;
    WIN32_FIND_DATAA found = {};
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return entries;
    do {
        const std::string name = found.cFileName;
        if (name != "." && name != "..")
            entries.push_back(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    std::sort(entries.begin(), entries.end());
    return entries;
}

bool SameFolder(std::string a, std::string b)
{
    while (!a.empty() && a.back() == '\\')
        a.pop_back();
    while (!b.empty() && b.back() == '\\')
        b.pop_back();
    return lower(a) == lower(b);
}

Shortcut ReadShortcut(const std::string &path)
{
    Shortcut shortcut = {false, {}, {}};
    const HRESULT com = CoInitialize(nullptr);
    IShellLinkA *link = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void **>(&link)))) {
        IPersistFile *file = nullptr;
        if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void **>(&file)))) {
            wchar_t widePath[MAX_PATH] = {};
            MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, widePath, MAX_PATH);
            if (SUCCEEDED(file->Load(widePath, STGM_READ))) {
                char text[MAX_PATH] = {};
                shortcut.loaded = SUCCEEDED(link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH));
                shortcut.target = text;
                text[0] = '\0';
                link->GetWorkingDirectory(text, MAX_PATH);
                shortcut.workingDirectory = text;
            }
            file->Release();
        }
        link->Release();
    }
    if (SUCCEEDED(com))
        CoUninitialize();
    return shortcut;
}

std::string VersionString(const std::string &program, const char *name)
{
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(program.c_str(), &ignored);
    if (!size)
        return {};
    std::vector<char> info(size);
    if (!GetFileVersionInfoA(program.c_str(), 0, size, info.data()))
        return {};
    const std::string query = std::string("\\StringFileInfo\\040904B0\\") + name;
    char *value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(info.data(), query.c_str(), reinterpret_cast<void **>(&value), &length) || !length)
        return {};
    return std::string(value);
}

int IconCount(const std::string &program)
{
    return static_cast<int>(ExtractIconExA(program.c_str(), -1, nullptr, nullptr, 0));
}

std::string Manifest(const std::string &program)
{
    HMODULE module = LoadLibraryExA(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module)
        return {};
    std::string text;
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24)); // RT_MANIFEST
    if (found) {
        HGLOBAL loaded = LoadResource(module, found);
        const char *data = static_cast<const char *>(LockResource(loaded));
        if (data)
            text.assign(data, SizeofResource(module, found));
    }
    FreeLibrary(module);
    return text;
}

std::string RegistryString(HKEY root, const char *path, const char *name)
{
    char text[1024] = {};
    DWORD size = sizeof(text) - 1;
    DWORD type = 0;
    if (RegGetValueA(root, path, name, RRF_RT_REG_SZ, &type, text, &size) != ERROR_SUCCESS)
        return {};
    return text;
}

int64_t RegistryNumber(HKEY root, const char *path, const char *name)
{
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (RegGetValueA(root, path, name, RRF_RT_REG_DWORD, nullptr, &value, &size) != ERROR_SUCCESS)
        return -1;
    return value;
}

bool RegistryKeyExists(HKEY root, const char *path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

DWORD WindowProcess(HWND window)
{
    DWORD processId = 0;
    if (window)
        GetWindowThreadProcessId(window, &processId);
    return processId;
}

namespace {

std::string process_program(DWORD processId)
{
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    if (!process)
        return {};
    char path[MAX_PATH] = {};
    DWORD size = MAX_PATH;
    std::string program;
    if (QueryFullProcessImageNameA(process, 0, path, &size))
        program.assign(path, size);
    CloseHandle(process);
    return program;
}

constexpr char SessionManagerKey[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
constexpr char PendingValue[] = "PendingFileRenameOperations";

// The value's strings in pairs, from and to ("\\??\\" and a path; an empty
// to deletes), the list ended by an empty from.
std::vector<std::string> pending_operations()
{
    std::vector<char> text(32768);
    DWORD size = static_cast<DWORD>(text.size());
    std::vector<std::string> strings;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, SessionManagerKey, PendingValue, RRF_RT_REG_MULTI_SZ, nullptr, text.data(),
                     &size) != ERROR_SUCCESS)
        return strings;
    for (const char *at = text.data(); at < text.data() + size && (*at || strings.size() % 2);
         at += strings.back().size() + 1)
        strings.emplace_back(at);
    return strings;
}

std::string path_of(const std::string &operation)
{
    return operation.substr(std::min<size_t>(4, operation.size()));
}

} // namespace

std::string WindowProgram(HWND window)
{
    return process_program(WindowProcess(window));
}

std::string ParentProgram(DWORD processId)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return {};
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    DWORD parent = 0;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
        if (entry.th32ProcessID == processId)
            parent = entry.th32ParentProcessID;
    CloseHandle(snapshot);
    return parent ? process_program(parent) : std::string();
}

std::vector<std::string> PendingRemovals()
{
    const std::vector<std::string> operations = pending_operations();
    std::vector<std::string> removals;
    for (size_t i = 0; i + 1 < operations.size(); i += 2)
        if (operations[i + 1].empty())
            removals.push_back(path_of(operations[i]));
    return removals;
}

void ForgetPendingRemovals(const std::string &folder)
{
    const std::vector<std::string> operations = pending_operations();
    std::string kept;
    for (size_t i = 0; i + 1 < operations.size(); i += 2)
        if (lower(path_of(operations[i])).compare(0, folder.size(), lower(folder)) != 0)
            kept += operations[i] + '\0' + operations[i + 1] + '\0';
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, SessionManagerKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return;
    if (kept.empty())
        RegDeleteValueA(key, PendingValue);
    else
        RegSetValueExA(key, PendingValue, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE *>(kept.c_str()),
                       static_cast<DWORD>(kept.size() + 1));
    RegCloseKey(key);
}

void ClearPendingTemp()
{
    const std::string temp = lower(TempPath());
    for (const std::string &path : PendingRemovals())
        if (lower(path).compare(0, temp.size(), temp) == 0)
            DeleteFileA(path.c_str());
    ForgetPendingRemovals(TempPath());
}

HWND AgentWindow()
{
    return FindWindowA(AgentWindowClass, nullptr);
}

HWND RadioWindow()
{
    return FindWindowA(testing::RadioWindowClass, testing::RadioWindowClass);
}

bool ProcessEnds(DWORD processId, DWORD timeoutMs)
{
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
    if (!process)
        return true; // already gone
    const bool ended = WaitForSingleObject(process, timeoutMs) == WAIT_OBJECT_0;
    CloseHandle(process);
    return ended;
}

CleanMachine::CleanMachine()
{
    Clear();
}

CleanMachine::~CleanMachine()
{
    Clear();
}

void CleanMachine::Clear()
{
    // An agent unloads on WM_DESTROY, as "/u" tells it; the radio closes
    // on WM_CLOSE.
    while (HWND agent = AgentWindow()) {
        const DWORD processId = WindowProcess(agent);
        SendMessageTimeoutA(agent, WM_DESTROY, 0, 0, SMTO_NORMAL, 5000, nullptr);
        if (!ProcessEnds(processId))
            break;
    }
    while (HWND radio = RadioWindow()) {
        const DWORD processId = WindowProcess(radio);
        SendMessageTimeoutA(radio, WM_CLOSE, 0, 0, SMTO_NORMAL, 10000, nullptr);
        if (!ProcessEnds(processId))
            break;
    }
    const std::string folder = RegistryString(HKEY_LOCAL_MACHINE, UninstallKey, "InstallLocation");
    if (!folder.empty() && FileExists(folder + "\\uninstall.exe"))
        Uninstall(folder);
}

} // namespace installer_test
