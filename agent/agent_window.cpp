#include "agent_window.h"

#include "card_watch.h"

namespace {

constexpr UINT_PTR CardWatchTimer = 1;
constexpr UINT CardWatchPeriodMs = 1000;

LRESULT CALLBACK agent_window_proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        // The first look at the card comes a second after start.
        SetTimer(window, CardWatchTimer, CardWatchPeriodMs, nullptr);
        return 0;
    case WM_DESTROY:
        // Also what a second agent started with "/u" sends.
        PostQuitMessage(0);
        return 0;
    case WM_TIMER:
        if (wParam == CardWatchTimer)
            cardWatch.tick();
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

} // namespace

HWND create_agent_window(HINSTANCE instance)
{
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = agent_window_proc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = AgentWindowClass;
    RegisterClassExA(&windowClass);
    return CreateWindowExA(0, AgentWindowClass, nullptr, WS_OVERLAPPEDWINDOW, 0, 0, 0, 0, nullptr, nullptr, instance,
                           nullptr);
}
