// Skin images read from files: the file's own size and pixels, nothing for
// a missing file, and no bitmap left behind by a second load.
#include <doctest.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "bitmap_file.h"

namespace {

// A 3 x 2 24-bit bitmap file; rows bottom-up, each padded to four bytes.
std::string WriteSmallBitmap()
{
    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    const std::string path = std::string(folder) + "widgets_bitmap_file_test.bmp";
    const uint8_t bottomRow[] = {0x00, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0x00, 0, 0, 0}; // red green blue
    const uint8_t topRow[] = {0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0x70, 0x80, 0x90, 0, 0, 0};
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER info = {};
    file.bfType = 0x4D42; // "BM"
    file.bfOffBits = sizeof(file) + sizeof(info);
    file.bfSize = file.bfOffBits + sizeof(bottomRow) + sizeof(topRow);
    info.biSize = sizeof(info);
    info.biWidth = 3;
    info.biHeight = 2;
    info.biPlanes = 1;
    info.biBitCount = 24;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char *>(&file), sizeof(file));
    out.write(reinterpret_cast<const char *>(&info), sizeof(info));
    out.write(reinterpret_cast<const char *>(bottomRow), sizeof(bottomRow));
    out.write(reinterpret_cast<const char *>(topRow), sizeof(topRow));
    return path;
}

COLORREF PixelOf(HBITMAP bitmap, int x, int y)
{
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(dc, bitmap);
    const COLORREF colour = GetPixel(dc, x, y);
    SelectObject(dc, previous);
    DeleteDC(dc);
    return colour;
}

} // namespace

TEST_CASE("a bitmap file loads at its own size with its own pixels")
{
    const std::string path = WriteSmallBitmap();
    BitmapFile file;
    CHECK(file.GetBitmap() == nullptr);
    CHECK(file.Load(path.c_str()) == 1);
    REQUIRE(file.GetBitmap() != nullptr);
    BITMAP info = {};
    REQUIRE(GetObjectA(file.GetBitmap(), sizeof(info), &info) == sizeof(info));
    CHECK(info.bmWidth == 3);
    CHECK(info.bmHeight == 2);
    CHECK(PixelOf(file.GetBitmap(), 0, 1) == RGB(0xFF, 0, 0));
    CHECK(PixelOf(file.GetBitmap(), 2, 1) == RGB(0, 0, 0xFF));
    CHECK(PixelOf(file.GetBitmap(), 1, 0) == RGB(0x60, 0x50, 0x40));

    // Loading again replaces the bitmap and deletes the first one.
    HBITMAP first = file.GetBitmap();
    CHECK(file.Load(path.c_str()) == 1);
    CHECK(file.GetBitmap() != nullptr);
    CHECK(GetObjectType(first) == 0);
    DeleteFileA(path.c_str());
}

TEST_CASE("a missing file leaves no bitmap and is not an error")
{
    BitmapFile file;
    CHECK(file.Load("C:\\no such folder\\BK_E.bmp") == 1);
    CHECK(file.GetBitmap() == nullptr);
}

TEST_CASE("a bitmap file deletes its bitmap when destroyed")
{
    const std::string path = WriteSmallBitmap();
    HBITMAP loaded = nullptr;
    {
        BitmapFile file;
        file.Load(path.c_str());
        loaded = file.GetBitmap();
        REQUIRE(GetObjectType(loaded) == OBJ_BITMAP);
    }
    CHECK(GetObjectType(loaded) == 0);
    DeleteFileA(path.c_str());
}
