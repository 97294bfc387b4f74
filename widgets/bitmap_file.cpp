#include "bitmap_file.h"

BitmapFile::~BitmapFile()
{
    if (bitmap)
        DeleteObject(bitmap);
}

int BitmapFile::Load(const char *path)
{
    // Loaded once per object; a second load replaces the first without leaking it.
    if (bitmap)
        DeleteObject(bitmap);
    bitmap = static_cast<HBITMAP>(LoadImageA(nullptr, path, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
    return 1;
}
