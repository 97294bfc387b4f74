#include "radio_program.h"

#include <doctest.h>

#include <cstdio>

#include "virtual_card.h"

namespace testing {

namespace {

constexpr DWORD InputGapMs = 30;

void send_input(INPUT input)
{
    SendInput(1, &input, sizeof(INPUT));
    Sleep(InputGapMs);
}

void send_mouse(DWORD flags, LONG dx = 0, LONG dy = 0)
{
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    input.mi.dx = dx;
    input.mi.dy = dy;
    send_input(input);
}

void send_key(WORD key, DWORD flags)
{
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(key, 0));
    input.ki.dwFlags = flags;
    if (key == VK_LEFT || key == VK_RIGHT || key == VK_UP || key == VK_DOWN)
        input.ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
    send_input(input);
}

struct WindowSearch {
    DWORD processId;
    const char *windowClass;
    const char *caption; // any when null
    HWND found;
};

BOOL CALLBACK match_window(HWND window, LPARAM context)
{
    auto *search = reinterpret_cast<WindowSearch *>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char name[64] = {};
    GetClassNameA(window, name, sizeof(name));
    char caption[64] = {};
    GetWindowTextA(window, caption, sizeof(caption));
    if (owner == search->processId && IsWindowVisible(window) &&
        (!search->windowClass || lstrcmpA(name, search->windowClass) == 0) &&
        (!search->caption || lstrcmpA(caption, search->caption) == 0)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

struct Census {
    DWORD processId;
    WindowCensus counts;
};

BOOL CALLBACK count_child(HWND, LPARAM context)
{
    ++reinterpret_cast<Census *>(context)->counts.all;
    return TRUE;
}

BOOL CALLBACK count_top_level(HWND window, LPARAM context)
{
    auto *census = reinterpret_cast<Census *>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == census->processId) {
        ++census->counts.topLevel;
        census->counts.visible += IsWindowVisible(window) != 0;
        ++census->counts.all;
        EnumChildWindows(window, count_child, context); // all descendants
    }
    return TRUE;
}

std::vector<uint32_t> read_bits(HDC source, int x, int y, int width, int height)
{
    std::vector<uint32_t> pixels;
    HDC memory = CreateCompatibleDC(source);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void *bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(source, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, width, height, source, x, y, SRCCOPY);
        GdiFlush();
        const auto *words = static_cast<const uint32_t *>(bits);
        pixels.assign(words, words + width * height);
        for (uint32_t &pixel : pixels)
            pixel &= 0xFFFFFF;
        SelectObject(memory, old);
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    return pixels;
}

COLORREF to_colorref(uint32_t pixel)
{
    return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
}

} // namespace

bool WaitUntil(const std::function<bool()> &condition, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        if (condition())
            return true;
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(10);
    }
}

RadioSettings::RadioSettings() : RegistryKey(RadioSettingsPath) {}

void RadioSettings::PlaceWindow(int left, int top)
{
    Create();
    Set("WindowPos", REG_BINARY, Bytes({left, top}));
}

int32_t RadioSettings::Number(const char *name) const
{
    const RegistryValue value = Get(name);
    if (!value.present || value.data.size() != 4)
        return -1;
    return static_cast<int32_t>(value.data[0] | value.data[1] << 8 | value.data[2] << 16 |
                                static_cast<uint32_t>(value.data[3]) << 24);
}

std::vector<int32_t> RadioSettings::Numbers(const char *name) const
{
    const RegistryValue value = Get(name);
    std::vector<int32_t> numbers;
    for (size_t at = 0; value.present && at + 4 <= value.data.size(); at += 4)
        numbers.push_back(static_cast<int32_t>(value.data[at] | value.data[at + 1] << 8 | value.data[at + 2] << 16 |
                                               static_cast<uint32_t>(value.data[at + 3]) << 24));
    return numbers;
}

ClientShot::ClientShot(HWND window)
{
    RECT client = {};
    if (!window || !GetClientRect(window, &client))
        return;
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    width = client.right;
    height = client.bottom;
    HDC screen = GetDC(nullptr);
    pixels = read_bits(screen, origin.x, origin.y, width, height);
    ReleaseDC(nullptr, screen);
}

COLORREF ClientShot::At(int x, int y) const
{
    if (x < 0 || y < 0 || x >= width || y >= height || pixels.empty())
        return CLR_INVALID;
    return to_colorref(pixels[static_cast<size_t>(y * width + x)]);
}

bool ClientShot::Save(const std::string &path) const
{
    if (pixels.empty())
        return false;
    const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    BITMAPFILEHEADER header = {};
    BITMAPINFOHEADER info = {};
    header.bfType = 0x4D42;
    header.bfOffBits = sizeof(header) + sizeof(info);
    header.bfSize = header.bfOffBits + stride * static_cast<DWORD>(height);
    info.biSize = sizeof(info);
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    FILE *file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    std::fwrite(&header, sizeof(header), 1, file);
    std::fwrite(&info, sizeof(info), 1, file);
    std::vector<uint8_t> row(stride, 0);
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x) {
            const uint32_t pixel = pixels[static_cast<size_t>(y * width + x)];
            row[static_cast<size_t>(x) * 3] = static_cast<uint8_t>(pixel);
            row[static_cast<size_t>(x) * 3 + 1] = static_cast<uint8_t>(pixel >> 8);
            row[static_cast<size_t>(x) * 3 + 2] = static_cast<uint8_t>(pixel >> 16);
        }
        std::fwrite(row.data(), 1, row.size(), file);
    }
    return std::fclose(file) == 0;
}

int ClientShot::Differences(const ClientShot &other, const RECT &area) const
{
    int count = 0;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            count += At(x, y) != other.At(x, y);
    return count;
}

SkinImage::SkinImage(const std::string &fileName)
{
    const std::string path = BinDirectory() + "\\" + fileName;
    auto bitmap = static_cast<HBITMAP>(
        LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
    if (!bitmap)
        return;
    BITMAP info = {};
    GetObjectA(bitmap, sizeof(info), &info);
    width = info.bmWidth;
    height = info.bmHeight;
    HDC memory = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(memory, bitmap);
    pixels = read_bits(memory, 0, 0, width, height);
    SelectObject(memory, old);
    DeleteDC(memory);
    DeleteObject(bitmap);
}

COLORREF SkinImage::At(int x, int y) const
{
    if (x < 0 || y < 0 || x >= width || y >= height || pixels.empty())
        return CLR_INVALID;
    return to_colorref(pixels[static_cast<size_t>(y * width + x)]);
}

int Mismatches(const ClientShot &shot, const SkinImage &skin, const RECT &area)
{
    int count = 0;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            count += shot.At(x, y) != skin.At(x, y);
    return count;
}

bool Shows(const ClientShot &shot, const SkinImage &skin, const RECT &area)
{
    return shot.Valid() && skin.Loaded() && Mismatches(shot, skin, area) == 0;
}

HWND FindProcessWindow(DWORD processId, const char *windowClass)
{
    WindowSearch search = {processId, windowClass, nullptr, nullptr};
    EnumWindows(match_window, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND FindProcessDialog(DWORD processId, const char *caption)
{
    WindowSearch search = {processId, "#32770", caption, nullptr};
    EnumWindows(match_window, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::string WindowText(HWND window)
{
    char text[1024] = {};
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXT, sizeof(text), reinterpret_cast<LPARAM>(text), SMTO_NORMAL, 5000,
                             &length))
        return std::string();
    return std::string(text, length < sizeof(text) ? length : sizeof(text) - 1);
}

POINT ScreenMiddle(HWND window)
{
    RECT rect = {};
    GetWindowRect(window, &rect);
    return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

WindowCensus CountProcessWindows(DWORD processId)
{
    Census census = {processId, {}};
    EnumWindows(count_top_level, reinterpret_cast<LPARAM>(&census));
    return census.counts;
}

RadioProgram::RadioProgram(const std::string &workingDirectory, const std::string &program)
{
    const std::string folder = workingDirectory.empty() ? BinDirectory() : workingDirectory;
    const std::string path = program.empty() ? BinDirectory() + "\\Tavolin.exe" : program;
    std::string commandLine = "\"" + path + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    started = CreateProcessA(path.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                             &startup, &process) != 0;
    if (!started)
        return;
    // A second instance ends at once without a window of its own.
    WaitUntil(
        [this] {
            window = FindProcessWindow(process.dwProcessId, RadioWindowClass);
            return window != nullptr || !Running();
        },
        15000);
    if (!window)
        return;
    // The first paint follows the window's appearance.
    Settle();
}

RadioProgram::RadioProgram(HWND runningWindow)
{
    GetWindowThreadProcessId(runningWindow, &process.dwProcessId);
    process.hProcess = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_TERMINATE, FALSE,
                                   process.dwProcessId);
    started = process.hProcess != nullptr;
    if (!started)
        return;
    window = runningWindow;
    Settle();
}

RadioProgram::~RadioProgram()
{
    if (!started)
        return;
    if (Running() && !Close(10000))
        TerminateProcess(process.hProcess, 1);
    if (process.hThread)
        CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

bool RadioProgram::Running() const
{
    return started && WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT;
}

int RadioProgram::WaitExit(DWORD timeoutMs)
{
    if (!started || WaitForSingleObject(process.hProcess, timeoutMs) != WAIT_OBJECT_0)
        return -1;
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    return static_cast<int>(code);
}

bool RadioProgram::Close(DWORD timeoutMs)
{
    if (!Running())
        return true;
    PostMessageA(window, WM_CLOSE, 0, 0);
    return WaitExit(timeoutMs) != -1;
}

POINT RadioProgram::ToScreen(int x, int y) const
{
    POINT point = {x, y};
    ClientToScreen(window, &point);
    return point;
}

bool RadioProgram::Activate()
{
    SetForegroundWindow(window);
    return WaitUntil([this] { return GetForegroundWindow() == window; }, 3000);
}

void RadioProgram::MoveTo(int x, int y)
{
    MoveToScreen(ToScreen(x, y));
}

void RadioProgram::MoveToScreen(POINT at)
{
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    send_mouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, (at.x * 65535 + width / 2) / (width - 1),
               (at.y * 65535 + height / 2) / (height - 1));
}

void RadioProgram::Press(int x, int y)
{
    MoveTo(x, y);
    send_mouse(MOUSEEVENTF_LEFTDOWN);
}

void RadioProgram::ClickScreen(POINT at)
{
    MoveToScreen(at);
    send_mouse(MOUSEEVENTF_LEFTDOWN);
    send_mouse(MOUSEEVENTF_LEFTUP);
}

void RadioProgram::Release()
{
    send_mouse(MOUSEEVENTF_LEFTUP);
}

void RadioProgram::Click(int x, int y)
{
    Press(x, y);
    Release();
}

void RadioProgram::KeyDown(WORD key)
{
    send_key(key, 0);
}

void RadioProgram::KeyUp(WORD key)
{
    send_key(key, KEYEVENTF_KEYUP);
}

void RadioProgram::Tap(WORD key)
{
    KeyDown(key);
    KeyUp(key);
}

void RadioProgram::Settle()
{
    // Waits until the program's thread sits in its message loop with no
    // input left, then lets one sent message through for good measure.
    Sleep(InputGapMs);
    WaitForInputIdle(process.hProcess, 5000);
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored);
}

} // namespace testing
