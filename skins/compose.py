"""The program's way of putting the art together, done on images: copies,
ANDs and ORs of rectangles as BitBlt does them, and the window as a listener
sees it, with the read-out, the labels and the thumbs laid on. The preview
and the checks use it to judge the art where it is really seen."""

from collections import namedtuple

from PIL import Image

import layout

COPY, AND, OR = "copy", "and", "or"


def blit(target, origin, source, source_box, operation):
    """Rectangle of source to origin of target: SRCCOPY, SRCAND or SRCPAINT."""
    piece = source.crop(source_box)
    x, y = origin
    if operation != COPY:
        under = target.crop((x, y, x + piece.size[0], y + piece.size[1])).tobytes()
        if operation == AND:
            data = bytes(a & b for a, b in zip(under, piece.tobytes()))
        else:
            data = bytes(a | b for a, b in zip(under, piece.tobytes()))
        piece = Image.frombytes("RGB", piece.size, data)
    target.paste(piece, origin)


def draw_transparent(target, origin, image, mask, source_box=None):
    """Mask ANDed, then the light image ORed: how thumbs and digits are laid."""
    source_box = source_box or (0, 0, *image.size)
    blit(target, origin, mask, source_box, AND)
    blit(target, origin, image, source_box, OR)


Readout = namedtuple("Readout", "digits point digits_mask point_mask cell_width")


def draw_readout(target, background, readout, origin, value):
    """A full draw of a four-digit read-out with leading blanks, cell by cell
    as the display paints it: restore the background, then the glyph."""
    digits = (value // 1000, value % 1000 // 100, value % 100 // 10, value % 10)
    blank = (digits[0] == 0, digits[0] == 0 and digits[1] == 0, False, False)
    cells, point_x = layout.cell_origins(origin, readout.cell_width, readout.point.size[0])
    height = readout.digits.size[1]
    y = origin[1]

    def glyph(x, image, mask, box):
        if mask is None:
            blit(target, (x, y), image, box, AND)
        else:
            draw_transparent(target, (x, y), image, mask, box)

    for index, (x, digit) in enumerate(zip(cells, digits)):
        if index == 3:
            blit(target, (point_x, y), background, (point_x, y, point_x + readout.cell_width, y + height), COPY)
            glyph(point_x, readout.point, readout.point_mask, (0, 0, *readout.point.size))
        blit(target, (x, y), background, (x, y, x + readout.cell_width, y + height), COPY)
        if not blank[index]:
            glyph(x, readout.digits, readout.digits_mask,
                  (digit * readout.cell_width, 0, (digit + 1) * readout.cell_width, height))


def large_readout(images):
    return Readout(images[138], images[133], images[139], images[134], layout.LARGE_DIGIT_CELL[0])


def small_readout(images):
    return Readout(images[141], images[140], None, None, layout.SMALL_DIGIT_CELL[0])


# What the mock-up window shows.
Scene = namedtuple("Scene", "band frequency volume presets lit dragging")


def window(skins, images, scene):
    """The radio window as painted: the composed background with the band's
    dial, the lit controls, the read-out, the six labels and both thumbs."""
    background = skins["normal"].copy()
    strip_source = skins["pressed"] if scene.band == layout.BAND_JAPAN else skins["normal"]
    blit(background, layout.SCALE_BAND[:2], strip_source, layout.SCALE_BAND, COPY)
    shown = background.copy()
    for name in scene.lit:
        box = layout.control_box(layout.control(name))
        blit(shown, box[:2], skins["lit"], box, COPY)
    frequency = min(max(scene.frequency, scene.band.low), scene.band.high)
    draw_readout(shown, skins["normal"], large_readout(images), layout.READOUT_ORIGIN, frequency)
    for origin, preset in zip(layout.LABEL_ORIGINS, scene.presets):
        preset = min(max(preset, scene.band.low), scene.band.high)
        draw_readout(shown, background, small_readout(images), origin, preset)
    tuning_x = layout.TUNING_TRACK[0] + layout.tuning_offset(frequency, scene.band)
    draw_transparent(shown, (tuning_x, layout.TUNING_TRACK[1]), images[137 if scene.dragging else 135], images[136])
    volume_x = layout.VOLUME_TRACK[0] + (layout.VOLUME_TRACK[2] - layout.VOLUME_TRACK[0]
                                         - layout.VOLUME_THUMB_SIZE[0]) // 2
    draw_transparent(shown, (volume_x, layout.volume_offset(scene.volume)), images[142], images[143])
    return shown
