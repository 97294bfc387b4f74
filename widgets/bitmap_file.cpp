#include "bitmap_file.h"

BitmapFile::~BitmapFile()
{
    if (bitmap)
        DeleteObject(bitmap);
}

int BitmapFile::Load(const char *path)
{
    return Hold(LoadImageA(nullptr, path, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
}

int BitmapFile::Copy(const BitmapFile &source)
{
    // Same size and format, pixel for pixel.
    return Hold(source.bitmap ? CopyImage(source.bitmap, IMAGE_BITMAP, 0, 0, 0) : nullptr);
}

int BitmapFile::Hold(HANDLE image)
{
    // A second load replaces the first without leaking it.
    if (bitmap)
        DeleteObject(bitmap);
    bitmap = static_cast<HBITMAP>(image);
    return 1;
}
