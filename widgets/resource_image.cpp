#include "resource_image.h"

ResourceImage::~ResourceImage()
{
    DeleteContext();
    DeleteBitmap();
}

void ResourceImage::Load(UINT id, HDC reference)
{
    DeleteContext();
    DeleteBitmap();
    info = {};
    bitmap = LoadBitmapA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id));
    if (!bitmap)
        return; // a missing image paints nothing: no context to copy from
    GetObjectA(bitmap, sizeof(info), &info);
    dc = CreateCompatibleDC(reference);
    SelectObject(dc, bitmap);
}

void ResourceImage::DeleteContext()
{
    if (dc)
        DeleteDC(dc);
    dc = nullptr;
}

void ResourceImage::DeleteBitmap()
{
    if (bitmap)
        DeleteObject(bitmap);
    bitmap = nullptr;
}
