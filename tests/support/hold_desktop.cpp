// Keeps Wine's desktop in use for as long as it runs. Wine ends a desktop's
// process (explorer) about a second after its last window program has
// exited, and a window made at that moment fails; on Windows the shell never
// goes away. scripts/test-in-display.sh starts one per test prefix and ends
// it with the prefix's other processes.
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = "TavolinTestsDesktopHolder";
    // Never shown: the window only makes this process one of the desktop's.
    if (!RegisterClassA(&windowClass) ||
        !CreateWindowExA(0, windowClass.lpszClassName, "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, instance, nullptr))
        return 1;
    MSG message = {};
    while (GetMessageA(&message, nullptr, 0, 0) > 0)
        DispatchMessageA(&message);
    return 0;
}
