// The agent's entry: one agent per desktop, "/u" unloads the running one,
// and otherwise the hidden window's timer does all the work until a second
// agent with "/u" ends this one.
#include <windows.h>

#include <cstring>

#include "agent_window.h"
#include "radio_starter.h"

namespace {

// The command line after the program's name, which is quoted or ends at
// the first blank: a path written with forward slashes ("C:/users/...")
// must not read as "/u".
char *arguments(char *commandLine)
{
    char *at = commandLine;
    if (*at == '"') {
        at = std::strchr(at + 1, '"');
        return at ? at + 1 : commandLine + std::strlen(commandLine);
    }
    while (*at != '\0' && *at != ' ' && *at != '\t')
        ++at;
    return at;
}

// "/u" anywhere in the arguments, in either case. CharLowerA knows the
// code page's double-byte characters; '/' is never part of one.
bool asks_to_unload()
{
    char *given = arguments(GetCommandLineA());
    CharLowerA(given);
    return std::strstr(given, "/u") != nullptr;
}

int run_message_loop()
{
    MSG message = {}; // read for the exit code even when GetMessageA fails at once
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    HWND running = FindWindowA(AgentWindowClass, nullptr);
    const bool unload = asks_to_unload();
    if (running) {
        if (unload)
            SendMessageA(running, WM_DESTROY, 0, 0);
        return 0;
    }
    if (unload)
        return 0;
    // Without a radio path the agent still shows and closes a radio the
    // user started; it only starts none itself.
    radioStarter.locate();
    if (!create_agent_window(instance))
        return 0;
    return run_message_loop();
}
