#!/usr/bin/python3
"""Composes the art into one picture for people to judge: two windows as a
listener would see them (at twice the size and at their real size), the
three skins, and the digit strips, points, thumbs and masks enlarged.

    skins/preview.py docs/preview.png
"""

import os
import sys

from PIL import Image, ImageDraw

# The art is drawn from the source tree; leave no compiled files in it.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import compose  # noqa: E402
import faceplate  # noqa: E402
import glyphs  # noqa: E402
import icon  # noqa: E402
import layout  # noqa: E402
from paint import SANS_BOLD, font  # noqa: E402

BACKDROP = (214, 216, 220)
CAPTION = (40, 42, 46)
DARK_TASKBAR = (32, 32, 32)
MARGIN = 16
CAPTION_HEIGHT = 16

SCENES = (
    ("Europe, 98.5 MHz, stereo, group 1",
     compose.Scene(layout.BAND_EUROPE, 985, 71, (881, 945, 985, 1003, 1047, 1069),
                   ("stereoIndicator", "groupButton1", "rdsButton"), False)),
    ("Japan, 80.0 MHz, muted, seek, group 2",
     compose.Scene(layout.BAND_JAPAN, 800, 52, (764, 800, 825, 850, 877, 904),
                   ("muteButton", "muteIndicator", "autoSearchButton", "groupButton2"), True)),
)


def zoom(image, factor):
    return image.resize((image.size[0] * factor, image.size[1] * factor), Image.NEAREST)


class Sheet:
    """Pictures set in rows, each with a caption above it."""

    def __init__(self):
        self.rows = []

    def row(self, *items):
        self.rows.append(items)

    @staticmethod
    def width(caption, image):
        return max(image.size[0], round(font(SANS_BOLD, 11).getlength(caption)))

    def render(self):
        widths = [sum(self.width(*item) for item in row) + MARGIN * (len(row) + 1) for row in self.rows]
        heights = [max(img.size[1] for _, img in row) + CAPTION_HEIGHT + MARGIN for row in self.rows]
        sheet = Image.new("RGB", (max(widths), sum(heights) + MARGIN), BACKDROP)
        draw = ImageDraw.Draw(sheet)
        y = MARGIN
        for row, height in zip(self.rows, heights):
            x = MARGIN
            for caption, image in row:
                draw.text((x, y), caption, fill=CAPTION, font=font(SANS_BOLD, 11))
                sheet.paste(image, (x, y + CAPTION_HEIGHT))
                x += self.width(caption, image) + MARGIN
            y += height
        return sheet


def preview(skins, images):
    sheet = Sheet()
    windows = [(caption, compose.window(skins, images, scene)) for caption, scene in SCENES]
    sheet.row(*((caption + " (200 %)", zoom(image, 2)) for caption, image in windows))
    sheet.row(*((caption.split(",")[0] + " (100 %)", image) for caption, image in windows),
              *((f"{name} skin, {layout.SKIN_FILES[name]}", skins[name]) for name in faceplate.DIALS))
    for ids, factor in (((138, 139), 3), ((141, 140, 133, 134), 3), ((135, 136, 137, 142, 143, 144), 5)):
        sheet.row(*((f"{rid} {layout.resource(rid).file}", zoom(images[rid], factor)) for rid in ids))
    pictures = icon.icon_images(layout.ICON_SIZES)
    sheet.row(*((f"{layout.ICON_ID} {layout.ICON_FILE} {p.size[0]} px", on_backdrop(p)) for p in pictures),
              *((f"{p.size[0]} px on a dark taskbar", on_backdrop(p, DARK_TASKBAR)) for p in pictures[:2]),
              (f"{layout.ICON_FILE} 48 px (300 %)", on_backdrop(zoom(pictures[-1], 3))))
    sheet.row(*((f"{p.size[0]} px ({128 // p.size[0] * 100} %)", on_backdrop(zoom(p, 128 // p.size[0])))
                for p in pictures[:2]),
              *((f"{p.size[0]} px on a dark taskbar", on_backdrop(zoom(p, 128 // p.size[0]), DARK_TASKBAR))
                for p in pictures[:2]))
    return sheet.render()


def on_backdrop(picture, backdrop=BACKDROP):
    flat = Image.new("RGBA", picture.size, backdrop + (255,))
    return Image.alpha_composite(flat, picture).convert("RGB")


def main(argv):
    if len(argv) != 2:
        sys.exit(__doc__)
    preview(faceplate.skins(), glyphs.resource_images()).save(argv[1], optimize=False)


if __name__ == "__main__":
    main(sys.argv)
