// window_shot: writes what the screen shows of a top-level window's client
// area to a 24-bit BMP file. The run command uses it to show and keep what
// the radio looks like.
//
//   window_shot [--whole] [--title=TITLE] CLASS OUTPUT.bmp [TIMEOUT_MS]
//
// Waits for a visible window of that class (and title: dialogs share one
// class); --whole takes the frame and caption too. Exit 0 written, 1 no
// window, 2 usage.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

HWND wait_for_window(const char *windowClass, const char *title, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        HWND window = FindWindowA(windowClass, title);
        if (window && IsWindowVisible(window))
            return window;
        if (GetTickCount() - start > timeoutMs)
            return nullptr;
        Sleep(100);
    }
}

bool write_bmp(HWND window, bool whole, const char *path)
{
    RECT area;
    if (whole) {
        GetWindowRect(window, &area);
    } else {
        GetClientRect(window, &area);
        MapWindowPoints(window, nullptr, reinterpret_cast<POINT *>(&area), 2);
    }
    const POINT origin = {area.left, area.top};
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    if (width <= 0 || height <= 0)
        return false;

    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height; // bottom-up, as BMP files store it
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void *bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, origin.x, origin.y, SRCCOPY);
    GdiFlush();
    const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    const DWORD imageSize = stride * static_cast<DWORD>(height);

    BITMAPFILEHEADER header = {};
    header.bfType = 0x4D42; // "BM"
    header.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    header.bfSize = header.bfOffBits + imageSize;
    info.bmiHeader.biSizeImage = imageSize;
    bool written = false;
    if (FILE *file = std::fopen(path, "wb")) {
        written = std::fwrite(&header, sizeof(header), 1, file) == 1 &&
                  std::fwrite(&info.bmiHeader, sizeof(info.bmiHeader), 1, file) == 1 &&
                  std::fwrite(bits, imageSize, 1, file) == 1;
        written = std::fclose(file) == 0 && written;
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return written;
}

} // namespace

int main(int argc, char **argv)
{
    bool whole = false;
    bool usable = true;
    const char *title = nullptr;
    constexpr char TitleOption[] = "--title=";
    int first = 1;
    for (; first < argc && std::strncmp(argv[first], "--", 2) == 0; ++first) {
        if (std::strcmp(argv[first], "--whole") == 0)
            whole = true;
        else if (std::strncmp(argv[first], TitleOption, sizeof(TitleOption) - 1) == 0)
            title = argv[first] + sizeof(TitleOption) - 1;
        else
            usable = false;
    }
    argc -= first - 1;
    argv += first - 1;
    if (!usable || argc < 3 || argc > 4) {
        std::fprintf(stderr, "usage: window_shot [--whole] [--title=TITLE] CLASS OUTPUT.bmp [TIMEOUT_MS]\n");
        return 2;
    }
    const DWORD timeoutMs = argc == 4 ? static_cast<DWORD>(std::strtoul(argv[3], nullptr, 10)) : 10000;
    HWND window = wait_for_window(argv[1], title, timeoutMs);
    if (!window) {
        std::fprintf(stderr, "window_shot: no visible window of class %s\n", argv[1]);
        return 1;
    }
    // Let a window that has just appeared finish its first paint.
    Sleep(300);
    if (!write_bmp(window, whole, argv[2])) {
        std::fprintf(stderr, "window_shot: could not write %s\n", argv[2]);
        return 1;
    }
    std::printf("%s\n", argv[2]);
    return 0;
}
