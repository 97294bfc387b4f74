"""Icon 107: a small graphite radio with an amber display, a chrome knob and
a dial with a red pointer. The 48-pixel picture is drawn smooth; the 16 and
32 pixel ones, which the notification area and the lists of programs show,
are set pixel by pixel for their size: few shapes, each on whole pixels, a
dark outline for light backgrounds and a light body for dark ones."""

from PIL import Image

import palette
from paint import mix, rounded_box_mask, shape_mask, vertical_gradient

# Parts of the radio on a 48-unit square, as (left, top, right, bottom).
BODY = (2, 9, 46, 43)
ANTENNA = ((30, 9), (42, 1))
DISPLAY = (7, 14, 29, 25)
KNOB = (32, 13, 42, 23)
DIAL = (7, 29, 41, 38)
DIAL_POINTER = 22


# Pixel art for the small sizes, one character a pixel.
PIXELS = {
    16: (
        "..............c.",
        ".............c..",
        "............c...",
        "...........c....",
        ".KKKKKKKKKKKKKK.",
        "KHHHHHHHHHHHHHHK",
        "KHGGGGGGGBBKKBSK",
        "KHGAAAAAGBKCCKSK",
        "KHGAAAAAGBKCkKSK",
        "KHGGGGGGGBBKKBSK",
        "KHBBBBBBBBBBBBSK",
        "KHDDDDDDRDDDDDSK",
        "KHDDDDDDRDDDDDSK",
        "KHDDDDDDRDDDDDSK",
        "KSSSSSSSSSSSSSSK",
        ".KKKKKKKKKKKKKK.",
    ),
    32: (
        "................................",
        "............................ccc.",
        "...........................cccc.",
        "..........................cc....",
        ".........................cc.....",
        "........................cc......",
        ".......................cc.......",
        "......................cc........",
        ".....................cc.........",
        "....................cc..........",
        "...KKKKKKKKKKKKKKKKKKKKKKKKKK...",
        "..KHHHHHHHHHHHHHHHHHHHHHHHHHHK..",
        ".KHBBBBBBBBBBBBBBBBBBBBBBBBBBSK.",
        ".KHBKKKKKKKKKKKKKKKBBBBKKKKBBSK.",
        ".KHBKGGGGGGGGGGGGGKBBBKCCCCKBSK.",
        ".KHBKGaaaaaaaaaaaGKBBKCCCCCCKSK.",
        ".KHBKGAAAAAAAAAAAGKBBKCCCCCkKSK.",
        ".KHBKGAAAAAAAAAAAGKBBKCCCkkkKSK.",
        ".KHBKGAAAAAAAAAAAGKBBKCCkkkkKSK.",
        ".KHBKGAAAAAAAAAAAGKBBBKCCCCKBSK.",
        ".KHBKGAAAAAAAAAAAGKBBBBKKKKBBSK.",
        ".KHBKGGGGGGGGGGGGGKBBBBBBBBBBSK.",
        ".KHBKKKKKKKKKKKKKKKBBBBBBBBBBSK.",
        ".KHBBBBBBBBBBBBBRRBBBBBBBBBBBSK.",
        ".KHBKKKKKKKKKKKKRRKKKKKKKKKKBSK.",
        ".KHBKDMDMDMDMDMDRRMDMDMDMDDKBSK.",
        ".KHBKDMDDDMDDDMDRRMDDDMDDDDKBSK.",
        ".KHBKDDDDDDDDDDDRRDDDDDDDDDKBSK.",
        ".KHBKKKKKKKKKKKKRRKKKKKKKKKKBSK.",
        ".KSSSSSSSSSSSSSSRRSSSSSSSSSSSSK.",
        "..KSSSSSSSSSSSSSSSSSSSSSSSSSSK..",
        "...KKKKKKKKKKKKKKKKKKKKKKKKKK...",
    ),
}
INKS = {
    ".": None,
    "K": palette.KEY_EDGE,          # outline
    "H": palette.ICON_BODY_LIGHT,   # lit top and left edges
    "B": palette.ICON_BODY,
    "S": palette.ICON_BODY_SHADE,
    "G": palette.GLASS,
    "A": palette.AMBER,
    "a": mix(palette.AMBER, (255, 255, 255), 0.35),  # glare on the display
    "C": palette.CHROME_TOP,        # knob
    "k": palette.CHROME_BOTTOM,     # knob in shade
    "c": palette.CHROME_BOTTOM,     # antenna
    "D": palette.DIAL_GLASS,
    "M": palette.DIAL_INK_MINOR,    # dial marks
    "R": palette.NEEDLE,
}


def pixel_icon(rows):
    """RGBA picture of one of the PIXELS grids."""
    image = Image.new("RGBA", (len(rows[0]), len(rows)), (0, 0, 0, 0))
    for y, row in enumerate(rows):
        for x, ink in enumerate(row):
            if INKS[ink] is not None:
                image.putpixel((x, y), INKS[ink] + (255,))
    return image


def _scaled(box, unit):
    return tuple(v * unit for v in box)


def radio_icon(size):
    """RGBA picture of the radio at size x size pixels."""
    if size in PIXELS:
        return pixel_icon(PIXELS[size])
    unit = size / 48
    canvas = (size, size)
    image = Image.new("RGBA", canvas, (0, 0, 0, 0))

    def layer(colour, mask):
        fill = colour if isinstance(colour, Image.Image) else Image.new("RGBA", canvas, colour + (255,))
        image.paste(Image.alpha_composite(image, fill.convert("RGBA")), (0, 0), mask)

    def antenna(draw, s):
        (x1, y1), (x2, y2) = ANTENNA
        draw.line((x1 * unit * s, y1 * unit * s, x2 * unit * s, y2 * unit * s), fill=255,
                  width=max(s, round(1.6 * unit * s)))
    layer(palette.CHROME_BOTTOM, shape_mask(canvas, antenna))
    layer(palette.KEY_EDGE, rounded_box_mask(canvas, _scaled(BODY, unit), 5 * unit))
    inner = BODY[0] + 1, BODY[1] + 1, BODY[2] - 1, BODY[3] - 1
    layer(vertical_gradient(canvas, palette.KEY_UP_TOP, palette.PLATE_BOTTOM),
          rounded_box_mask(canvas, _scaled(inner, unit), 4 * unit))
    layer(palette.GLASS, rounded_box_mask(canvas, _scaled(DISPLAY, unit), 1.5 * unit))
    lit = DISPLAY[0] + 2, DISPLAY[1] + 2.5, DISPLAY[2] - 2, DISPLAY[3] - 2.5
    layer(palette.AMBER, rounded_box_mask(canvas, _scaled(lit, unit), unit))
    layer(vertical_gradient(canvas, palette.CHROME_TOP, palette.CHROME_BOTTOM),
          shape_mask(canvas, lambda draw, s: draw.ellipse(tuple(v * s for v in _scaled(KNOB, unit)), fill=255)))
    layer(palette.DIAL_GLASS, rounded_box_mask(canvas, _scaled(DIAL, unit), unit))
    if size >= 32:  # marks only where there are pixels enough for them
        marks = Image.new("L", canvas, 0)
        for x in range(DIAL[0] + 3, DIAL[2] - 2, 3):
            marks.paste(255, _box_px((x, DIAL[1] + 1.5, x + 1, DIAL[1] + 4), unit))
        layer(mix(palette.DIAL_INK, palette.DIAL_GLASS, 0.3), marks)
    pointer = (DIAL_POINTER, DIAL[1] - 1, DIAL_POINTER + max(1.5, 2 / unit), DIAL[3] + 1)
    layer(palette.NEEDLE, rounded_box_mask(canvas, _scaled(pointer, unit), 0))
    return image


def _box_px(box, unit):
    return tuple(round(v * unit) for v in box)


def icon_images(sizes):
    return [radio_icon(size) for size in sizes]
