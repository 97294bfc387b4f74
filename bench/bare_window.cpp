// The reference beside which the radio's size and start-up are measured: the
// least a Win32 window program is, built exactly as the shipped programs are
// (same compiler, flags and static run-time). One window of the radio's
// client size at the radio's stored place, painted with one colour.
#include <windows.h>

#include <cstdlib>

namespace {

constexpr char ClassName[] = "TavolinBareWindow";
constexpr int ClientWidth = 240;
constexpr int ClientHeight = 268;
constexpr COLORREF FillColour = RGB(0x20, 0x60, 0xA0);
constexpr DWORD Style = WS_BORDER | WS_SYSMENU | WS_MINIMIZEBOX;

LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        HBRUSH brush = CreateSolidBrush(FillColour);
        FillRect(dc, &paint.rcPaint, brush);
        DeleteObject(brush);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int show)
{
    // "x y": where to open, so that a measuring program finds it uncovered.
    int x = CW_USEDEFAULT;
    int y = CW_USEDEFAULT;
    if (commandLine && *commandLine) {
        char *rest = commandLine;
        x = static_cast<int>(strtol(rest, &rest, 10));
        y = static_cast<int>(strtol(rest, &rest, 10));
    }
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = window_procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = ClassName;
    if (!RegisterClassExA(&windowClass))
        return 1;
    // Sized as the radio sizes its window, less the menu bar.
    const int width = ClientWidth + 2 * GetSystemMetrics(SM_CXEDGE);
    const int height = ClientHeight + 2 * GetSystemMetrics(SM_CYEDGE) + GetSystemMetrics(SM_CYCAPTION);
    HWND window = CreateWindowExA(0, ClassName, "Bare window", Style, x, y, width, height, nullptr, nullptr,
                                  instance, nullptr);
    if (!window)
        return 1;
    ShowWindow(window, show);
    UpdateWindow(window);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}
