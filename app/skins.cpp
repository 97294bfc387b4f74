#include "skins.h"

#include <cstring>

#include "radio_state.h"

namespace {

constexpr char NormalSkinName[] = "\\BK_U.bmp";
constexpr char PressedSkinName[] = "\\BK_P.bmp";
constexpr char LitSkinName[] = "\\BK_E.bmp";

// The band of every skin that holds the tuning scale's dial.
constexpr int ScaleStripTop = 77;
constexpr int ScaleStripHeight = 27;

// startDirectory + name; a path that would not fit loads nothing.
void load_from_start_directory(BitmapFile &file, const char *name)
{
    char path[MAX_PATH];
    const size_t directoryLength = std::strlen(startDirectory);
    const size_t nameLength = std::strlen(name);
    if (directoryLength + nameLength >= sizeof(path))
        return;
    std::memcpy(path, startDirectory, directoryLength);
    std::memcpy(path + directoryLength, name, nameLength + 1);
    file.Load(path);
}

HDC select_into_context(HDC reference, const BitmapFile &file)
{
    HDC dc = CreateCompatibleDC(reference);
    if (dc && file.GetBitmap())
        SelectObject(dc, file.GetBitmap());
    return dc;
}

void delete_context(HDC &dc)
{
    if (dc)
        DeleteDC(dc);
    dc = nullptr;
}

} // namespace

void load_skins(HWND window)
{
    HDC windowDc = GetDC(window);
    load_from_start_directory(backgroundFile, NormalSkinName);
    // The same file: a copy of the bitmap read, not a second read.
    normalSkinFile.Copy(backgroundFile);
    load_from_start_directory(pressedSkinFile, PressedSkinName);
    load_from_start_directory(litSkinFile, LitSkinName);
    backgroundDC = select_into_context(windowDc, backgroundFile);
    normalSkinDC = select_into_context(windowDc, normalSkinFile);
    pressedSkinDC = select_into_context(windowDc, pressedSkinFile);
    litSkinDC = select_into_context(windowDc, litSkinFile);
    ReleaseDC(window, windowDc);
}

void delete_skin_contexts()
{
    delete_context(backgroundDC);
    delete_context(normalSkinDC);
    delete_context(pressedSkinDC);
    delete_context(litSkinDC);
}

void paste_scale_strip(HDC source)
{
    BitBlt(backgroundDC, 0, ScaleStripTop, ClientWidth, ScaleStripHeight, source, 0, ScaleStripTop, SRCCOPY);
}

void show_scale_strip(HWND window)
{
    const RECT strip = {0, ScaleStripTop, ClientWidth, ScaleStripTop + ScaleStripHeight};
    InvalidateRect(window, &strip, FALSE);
}
