#!/usr/bin/env python3
"""Writes the small bitmaps the widget tests compile into their resources,
under the ids and at the sizes the radio uses, following the radio's art
conventions. The pictures are made so that a test can tell them apart on
screen:

- knobs fill their whole image except the four corner pixels, which are
  transparent (black in the image, white in the mask);
- the glyph of digit k fills its cell except a one-pixel border, in a colour
  of its own; the border is transparent (masked strips) or white (the
  unmasked, dark-on-white label strip);
- every picture's colour is read back by the tests from the loaded
  resource, so the colours below are defined only here.

Usage: make_test_bitmaps.py OUTPUT_DIR
"""
import os
import struct
import sys

BLACK = (0, 0, 0)
WHITE = (255, 255, 255)


def write_bmp(path, width, height, pixel):
    """24-bit bottom-up BMP; pixel(x, y) gives (r, g, b) with y from the top."""
    row_size = (width * 3 + 3) & ~3
    rows = []
    for y in reversed(range(height)):
        row = bytearray()
        for x in range(width):
            r, g, b = pixel(x, y)
            row += bytes((b, g, r))
        row += bytes(row_size - len(row))
        rows.append(bytes(row))
    bits = b"".join(rows)
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(bits), 0, 0, 14 + 40)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(bits), 2835, 2835, 0, 0)
    with open(path, "wb") as out:
        out.write(header + info + bits)


def knob(width, height, colour, outside):
    def pixel(x, y):
        corner = x in (0, width - 1) and y in (0, height - 1)
        return outside if corner else colour
    return pixel


def strip(cells, cell_width, height, glyph_colour, outside):
    def pixel(x, y):
        cell, inner = divmod(x, cell_width)
        inside = 1 <= inner <= cell_width - 2 and 1 <= y <= height - 2
        return glyph_colour(cell) if inside else outside
    return pixel


def point(box, colour, outside):
    left, top, right, bottom = box
    return lambda x, y: colour if left <= x <= right and top <= y <= bottom else outside


def light_glyph(cell):
    return (200, 20 + 20 * cell, 230 - 10 * cell)


def dark_glyph(cell):
    # Told apart by blue, which the tests' backgrounds keep at full strength
    # where these glyphs are ANDed onto them.
    return (30, 30, 5 + 10 * cell)


def black(_cell):
    return BLACK


# id: (file, width, height, pixel)
BITMAPS = {
    133: ("frequency_point.bmp", 6, 21, point((1, 15, 4, 19), (240, 240, 240), BLACK)),
    134: ("frequency_point_mask.bmp", 6, 21, point((1, 15, 4, 19), BLACK, WHITE)),
    135: ("scale_thumb.bmp", 22, 22, knob(22, 22, (250, 200, 40), BLACK)),
    136: ("scale_thumb_mask.bmp", 22, 22, knob(22, 22, BLACK, WHITE)),
    137: ("scale_drag_thumb.bmp", 22, 22, knob(22, 22, (160, 120, 20), BLACK)),
    138: ("frequency_digits.bmp", 253, 21, strip(11, 23, 21, light_glyph, BLACK)),
    139: ("frequency_digits_mask.bmp", 253, 21, strip(11, 23, 21, black, WHITE)),
    140: ("preset_point.bmp", 5, 9, point((1, 6, 3, 7), (20, 20, 20), WHITE)),
    141: ("preset_digits.bmp", 110, 9, strip(11, 10, 9, dark_glyph, WHITE)),
    142: ("volume_thumb.bmp", 16, 16, knob(16, 16, (40, 220, 250), BLACK)),
    143: ("volume_thumb_mask.bmp", 16, 16, knob(16, 16, BLACK, WHITE)),
    144: ("volume_drag_thumb.bmp", 16, 16, knob(16, 16, (20, 130, 160), BLACK)),
}


def main():
    out_dir = sys.argv[1]
    os.makedirs(out_dir, exist_ok=True)
    for name, width, height, pixel in BITMAPS.values():
        write_bmp(os.path.join(out_dir, name), width, height, pixel)


if __name__ == "__main__":
    main()
