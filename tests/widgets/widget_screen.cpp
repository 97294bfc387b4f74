#include "widget_screen.h"

#include <algorithm>

#include "bitmap_ids.h"

namespace widgets_test {

namespace {

constexpr char WindowClass[] = "TavolinWidgetTest";

LRESULT CALLBACK test_window_procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_ERASEBKGND)
        return 1; // the tests paint the whole client area themselves
    return DefWindowProcA(window, message, wParam, lParam);
}

void register_class()
{
    static bool registered = false;
    if (registered)
        return;
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = test_window_procedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));
    windowClass.lpszClassName = WindowClass;
    registered = RegisterClassExA(&windowClass) != 0;
}

// A top-down 32-bit DIB section of the client size.
HBITMAP client_dib(HDC reference, uint32_t **bits)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = ClientWidth;
    info.bmiHeader.biHeight = -ClientHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void *memory = nullptr;
    HBITMAP bitmap = CreateDIBSection(reference, &info, DIB_RGB_COLORS, &memory, nullptr, 0);
    *bits = static_cast<uint32_t *>(memory);
    return bitmap;
}

COLORREF from_dib(uint32_t pixel)
{
    return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
}

} // namespace

COLORREF Pattern(int x, int y)
{
    return RGB(x & 0xFF, y & 0xFF, 0xFF);
}

Painter SkinPattern(int blue)
{
    return [blue](int x, int y) { return RGB(x & 0xFF, y & 0xFF, blue); };
}

MemorySurface::MemorySurface(const Painter &painter)
{
    uint32_t *bits = nullptr;
    dc = CreateCompatibleDC(nullptr);
    bitmap = client_dib(dc, &bits);
    SelectObject(dc, bitmap);
    for (int y = 0; y < ClientHeight; ++y)
        for (int x = 0; x < ClientWidth; ++x) {
            const COLORREF colour = painter(x, y);
            bits[y * ClientWidth + x] = uint32_t{GetRValue(colour)} << 16 | uint32_t{GetGValue(colour)} << 8 |
                                        GetBValue(colour);
        }
}

MemorySurface::~MemorySurface()
{
    DeleteDC(dc);
    DeleteObject(bitmap);
}

TestWindow::TestWindow()
{
    register_class();
    window = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, WindowClass, "widget test", WS_POPUP, 0, 0,
                             ClientWidth, ClientHeight, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ShowWindow(window, SW_SHOWNOACTIVATE);
    UpdateWindow(window);
}

TestWindow::~TestWindow()
{
    DestroyWindow(window);
}

void TestWindow::Fill(const MemorySurface &surface)
{
    HDC dc = GetDC(window);
    BitBlt(dc, 0, 0, ClientWidth, ClientHeight, surface.Dc(), 0, 0, SRCCOPY);
    ReleaseDC(window, dc);
}

void TestWindow::FillRect(const RECT &area, COLORREF colour)
{
    HDC dc = GetDC(window);
    HBRUSH brush = CreateSolidBrush(colour);
    ::FillRect(dc, &area, brush);
    DeleteObject(brush);
    ReleaseDC(window, dc);
}

COLORREF TestWindow::Pixel(int x, int y) const
{
    HDC dc = GetDC(window);
    const COLORREF colour = GetPixel(dc, x, y);
    ReleaseDC(window, dc);
    return colour;
}

Snapshot::Snapshot(const TestWindow &window) : pixels(ClientWidth * ClientHeight)
{
    HDC windowDc = GetDC(window.Handle());
    HDC memory = CreateCompatibleDC(windowDc);
    uint32_t *bits = nullptr;
    HBITMAP bitmap = client_dib(windowDc, &bits);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, ClientWidth, ClientHeight, windowDc, 0, 0, SRCCOPY);
    GdiFlush();
    std::copy(bits, bits + pixels.size(), pixels.begin());
    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(window.Handle(), windowDc);
}

COLORREF Snapshot::Pixel(int x, int y) const
{
    return from_dib(pixels[static_cast<size_t>(y * ClientWidth + x)]);
}

RECT Snapshot::ChangedArea(const Snapshot &later) const
{
    RECT area = {ClientWidth, ClientHeight, 0, 0};
    for (int y = 0; y < ClientHeight; ++y)
        for (int x = 0; x < ClientWidth; ++x)
            if (Pixel(x, y) != later.Pixel(x, y)) {
                area.left = std::min<LONG>(area.left, x);
                area.top = std::min<LONG>(area.top, y);
                area.right = std::max<LONG>(area.right, x + 1);
                area.bottom = std::max<LONG>(area.bottom, y + 1);
            }
    if (area.right == 0)
        return RECT{0, 0, 0, 0};
    return area;
}

int Snapshot::ChangedPixels(const Snapshot &later, const RECT &area) const
{
    int changed = 0;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            changed += Pixel(x, y) != later.Pixel(x, y);
    return changed;
}

bool Snapshot::Shows(const RECT &area, const Painter &expected) const
{
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            if (Pixel(x, y) != expected(x, y))
                return false;
    return true;
}

bool AreaShows(const TestWindow &window, const RECT &area, const Painter &expected)
{
    return Snapshot(window).Shows(area, expected);
}

bool Unchanged(const Snapshot &before, const TestWindow &window)
{
    const RECT changed = before.ChangedArea(Snapshot(window));
    return IsRectEmpty(&changed) != 0;
}

COLORREF ResourcePixel(UINT id, int x, int y)
{
    HBITMAP bitmap = LoadBitmapA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id));
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(dc, bitmap);
    const COLORREF colour = GetPixel(dc, x, y);
    SelectObject(dc, previous);
    DeleteDC(dc);
    DeleteObject(bitmap);
    return colour;
}

const ReadoutLook FrequencyLook = {IDB_FREQUENCY_DIGITS, 23, 21, IDB_FREQUENCY_POINT, 6, {2, 17}, true};
const ReadoutLook LabelLook = {IDB_PRESET_DIGITS, 10, 9, IDB_PRESET_POINT, 5, {2, 6}, false};

namespace {

// What a glyph pixel of `colour` looks like over `under` after painting.
COLORREF composed(const ReadoutLook &look, COLORREF colour, COLORREF under)
{
    return look.masked ? colour : (colour & under);
}

char read_cell(const Snapshot &screen, const ReadoutLook &look, int x, int y, const Painter &background)
{
    const RECT cell = {x, y, x + look.cellWidth, y + look.height};
    if (screen.Shows(cell, background))
        return ' ';
    // Glyphs leave their one-pixel border transparent.
    if (screen.Pixel(x, y) != background(x, y))
        return '?';
    const int centreX = x + look.cellWidth / 2;
    const int centreY = y + look.height / 2;
    for (int digit = 0; digit <= 9; ++digit) {
        const COLORREF glyph = ResourcePixel(look.digitsId, digit * look.cellWidth + look.cellWidth / 2, look.height / 2);
        if (screen.Pixel(centreX, centreY) == composed(look, glyph, background(centreX, centreY)))
            return static_cast<char>('0' + digit);
    }
    return '?';
}

char read_point(const Snapshot &screen, const ReadoutLook &look, int x, int y, const Painter &background)
{
    if (screen.Shows({x, y, x + look.pointWidth, y + look.height}, background))
        return ' ';
    const int sampleX = x + look.pointSample.x;
    const int sampleY = y + look.pointSample.y;
    const COLORREF glyph = ResourcePixel(look.pointId, look.pointSample.x, look.pointSample.y);
    return screen.Pixel(sampleX, sampleY) == composed(look, glyph, background(sampleX, sampleY)) ? '.' : '?';
}

} // namespace

std::string ReadReadout(const TestWindow &window, const ReadoutLook &look, int x, int y, const Painter &background)
{
    const Snapshot screen(window);
    const int pointX = x + 3 * look.cellWidth;
    std::string text;
    for (int cell = 0; cell < 3; ++cell)
        text += read_cell(screen, look, x + cell * look.cellWidth, y, background);
    text += read_point(screen, look, pointX, y, background);
    text += read_cell(screen, look, pointX + look.pointWidth, y, background);
    return text;
}

} // namespace widgets_test
