// Holder of one bitmap read from a file beside the program: the main window
// keeps its whole-window skin images in these.
#pragma once

#include <windows.h>

class BitmapFile {
public:
    BitmapFile() = default;
    BitmapFile(const BitmapFile &) = delete;
    BitmapFile &operator=(const BitmapFile &) = delete;
    virtual ~BitmapFile();

    // Reads the file at its own size. An unreadable file leaves no bitmap;
    // the program runs on without it, so this always returns 1.
    int Load(const char *path);
    // Holds a copy of `source`'s bitmap (none when it has none), for a second
    // holder of the same file without reading the file again.
    int Copy(const BitmapFile &source);
    HBITMAP GetBitmap() const { return bitmap; }

private:
    int Hold(HANDLE image);

    HBITMAP bitmap = nullptr;
};
