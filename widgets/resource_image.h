// One bitmap from the program's resources, selected into a memory device
// context of its own so that it can be blitted at any time. The slider and
// the digit read-out hold their knobs, glyph strips and masks this way.
#pragma once

#include <windows.h>

class ResourceImage {
public:
    ResourceImage() = default;
    ResourceImage(const ResourceImage &) = delete;
    ResourceImage &operator=(const ResourceImage &) = delete;
    // Releases whatever the owner has not released yet, context first.
    virtual ~ResourceImage();

    // Loads bitmap `id` of the program, reads its size and selects it into
    // a memory context compatible with `reference`. Anything held before is
    // released first, so loading twice leaks nothing.
    void Load(UINT id, HDC reference);
    // The owner releases all its contexts before any of its bitmaps, so that
    // no bitmap is deleted while it is still selected.
    void DeleteContext();
    void DeleteBitmap();

    HDC Dc() const { return dc; }
    HBITMAP Bitmap() const { return bitmap; }
    bool Loaded() const { return dc != nullptr; }
    int Width() const { return info.bmWidth; }
    int Height() const { return info.bmHeight; }

private:
    HBITMAP bitmap = nullptr;
    HDC dc = nullptr;
    BITMAP info = {};
};

// Draws `width` x `height` of `image`, from (sourceX, 0), at (x, y). With a
// loaded mask the picture is transparent: the mask (black shape on white)
// cuts the shape out with SRCAND and the image (light shape on black) fills
// it with SRCPAINT. Without a mask the image is combined by `unmaskedRop`.
void draw_image(HDC dc, int x, int y, int width, int height, const ResourceImage &image, const ResourceImage &mask,
                int sourceX, DWORD unmaskedRop);
