#include "radio_starter.h"

RadioStarter radioStarter;

namespace {

constexpr char RadioFileName[] = "\\Tavolin.exe";

// The last backslash of `path`, walking by characters so that a trail byte
// of a double-byte character is never taken for one; null when there is none.
char *last_backslash(char *path)
{
    char *found = nullptr;
    for (char *at = path; *at; at = CharNextA(at))
        if (*at == '\\')
            found = at;
    return found;
}

} // namespace

bool RadioStarter::locate()
{
    agentDirectory[0] = '\0';
    radioPath[0] = '\0';
    const DWORD length = GetModuleFileNameA(nullptr, agentDirectory, sizeof(agentDirectory));
    // A path that fills the whole buffer may have been cut short.
    if (length == 0 || length >= sizeof(agentDirectory)) {
        agentDirectory[0] = '\0';
        return false;
    }
    if (char *cut = last_backslash(agentDirectory))
        *cut = '\0';
    const size_t directoryLength = static_cast<size_t>(lstrlenA(agentDirectory));
    if (directoryLength + sizeof(RadioFileName) > sizeof(radioPath))
        return false;
    lstrcpyA(radioPath, agentDirectory);
    lstrcpyA(radioPath + directoryLength, RadioFileName);
    return true;
}

bool RadioStarter::start()
{
    if (!radioPath[0])
        return false;
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(radioPath, nullptr, nullptr, nullptr, FALSE, 0, nullptr, agentDirectory, &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}
