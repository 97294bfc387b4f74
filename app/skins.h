// The whole-window skin images read from the current directory at start,
// one per state (normal, pressed, lit), and the composed background that the
// window paints from and the band's scale strip is pasted into.
#pragma once

#include <windows.h>

#include "bitmap_file.h"

extern BitmapFile backgroundFile;
extern BitmapFile normalSkinFile;
extern BitmapFile pressedSkinFile;
extern BitmapFile litSkinFile;

// Reads the three skin files and selects each into a memory context
// compatible with the window. A missing file leaves its context empty.
void load_skins(HWND window);
// The contexts go with the window; the bitmaps stay until program exit.
void delete_skin_contexts();
// Copies the band's scale strip from `source` into the background.
void paste_scale_strip(HDC source);
// Has the window repaint the strip from the background now rather than
// whenever something next uncovers it.
void show_scale_strip(HWND window);
