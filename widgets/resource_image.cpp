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

void draw_image(HDC dc, int x, int y, int width, int height, const ResourceImage &image, const ResourceImage &mask,
                int sourceX, DWORD unmaskedRop)
{
    if (mask.Loaded()) {
        BitBlt(dc, x, y, width, height, mask.Dc(), sourceX, 0, SRCAND);
        BitBlt(dc, x, y, width, height, image.Dc(), sourceX, 0, SRCPAINT);
    } else {
        BitBlt(dc, x, y, width, height, image.Dc(), sourceX, 0, unmaskedRop);
    }
}
