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
    HBITMAP GetBitmap() const { return bitmap; }

private:
    HBITMAP bitmap = nullptr;
};
