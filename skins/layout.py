"""Where everything on the radio window sits, and what the program's bitmap
resources must measure. The window copies each control's picture out of the
skin at the control's own rectangle, so these numbers are shared with the
program's layout and must never drift from it; they live here once and every
drawing and check reads them from here."""

import struct
from collections import namedtuple

CLIENT_WIDTH, CLIENT_HEIGHT = 240, 268

# Kinds of control: a plain button only goes up and down, a toggle also
# latches lit, a lamp is never pressed and only goes dark or lit.
PLAIN, TOGGLE, LAMP = "plain", "toggle", "lamp"

Control = namedtuple("Control", "name x y width height kind")

CONTROLS = (
    Control("tuneUpButton", 139, 107, 96, 38, PLAIN),
    Control("tuneDownButton", 43, 107, 95, 38, PLAIN),
    Control("muteButton", 0, 237, 38, 29, TOGGLE),
    Control("muteIndicator", 56, 35, 26, 26, LAMP),
    Control("stereoIndicator", 86, 42, 19, 12, LAMP),
    Control("monoButton", 3, 57, 31, 19, TOGGLE),
    Control("autoSearchButton", 0, 107, 42, 38, TOGGLE),
    *(Control(f"presetButton{n}", x, y, 41, 23, PLAIN) for n, (x, y) in enumerate(
        ((43, 147), (138, 147), (43, 176), (138, 176), (43, 204), (138, 204)), start=1)),
    *(Control(f"groupButton{n}", x, 238, 50, 17, TOGGLE) for n, x in enumerate((45, 96, 147), start=1)),
    Control("minimizeButton", 207, 239, 21, 21, PLAIN),
    Control("powerButton", 3, 37, 31, 19, PLAIN),
    Control("rdsButton", 0, 0, 39, 23, TOGGLE),
)


def box(x, y, width, height):
    """Pixel box (left, top, right, bottom), right and bottom exclusive."""
    return (x, y, x + width, y + height)


def control_box(control):
    return box(control.x, control.y, control.width, control.height)


def control(name):
    return next(c for c in CONTROLS if c.name == name)


# The band every skin keeps for the tuning scale; the window pastes it from
# the normal skin (USA and Europe) or the pressed skin (Japan).
SCALE_BAND = box(0, 77, CLIENT_WIDTH, 27)

# The tuning slider lies inside the band; its thumb stands at
# trunc((f - min) * scale) from the left edge.
TUNING_TRACK = box(0, 79, CLIENT_WIDTH, 22)
TUNING_THUMB_SIZE = (22, 22)
VOLUME_TRACK = box(22, 160, 16, 56)
VOLUME_THUMB_SIZE = (16, 16)
VOLUME_RANGE = (40, 79)

Band = namedtuple("Band", "name low high")
BAND_USA = Band("USA", 880, 1080)
BAND_EUROPE = Band("Europe", 875, 1080)
BAND_JAPAN = Band("Japan", 760, 910)


def float32(value):
    """The slider keeps its pixels-per-unit ratio in a 32-bit float."""
    return struct.unpack("<f", struct.pack("<f", value))[0]


def slider_scale(travel, low, high):
    return float32(travel / (high - low))


def tuning_offset(frequency, band):
    """Left edge of the tuning thumb for a frequency, as the slider puts it."""
    travel = TUNING_TRACK[2] - TUNING_TRACK[0] - TUNING_THUMB_SIZE[0]
    return int((frequency - band.low) * slider_scale(travel, band.low, band.high))


def volume_offset(volume):
    """Top edge of the volume thumb for a volume, as the slider puts it."""
    low, high = VOLUME_RANGE
    travel = VOLUME_TRACK[3] - VOLUME_TRACK[1] - VOLUME_THUMB_SIZE[1]
    return VOLUME_TRACK[3] - VOLUME_THUMB_SIZE[1] - int((volume - low) * slider_scale(travel, low, high))


# The display's dark glass, around the read-out.
DISPLAY_GLASS = (85, 33, 232, 70)

# Words on the plate: text, centre, size in pixels, letter spacing and
# whether they sit on the display's glass. The small captions must read at
# 100 %, so they are set no smaller than 7 pixels and in full contrast.
Caption = namedtuple("Caption", "text centre size tracking on_glass")
BRAND = Caption("TAVOLIN", (148, 10), 12, 3, False)
CAPTION_GAP = 5  # from a control's bottom edge to the middle of its caption


def caption_under(first, last, text):
    """A caption centred under a control or a row of them."""
    first, last = control(first), control(last)
    return Caption(text, ((first.x + last.x + last.width) // 2, last.y + last.height + CAPTION_GAP), 8, 1, False)


CAPTIONS = (
    Caption("FM STEREO RECEIVER", (148, 23), 8, 2, False),
    caption_under("muteIndicator", "muteIndicator", "MUTE"),
    caption_under("groupButton1", "groupButton3", "PRESET GROUP"),
    Caption("VOL", ((VOLUME_TRACK[0] + VOLUME_TRACK[2]) // 2, VOLUME_TRACK[1] - 7), 8, 1, False),
    Caption("FM", (DISPLAY_GLASS[0] + 11, DISPLAY_GLASS[1] + 4), 7, 0, True),
    Caption("MHz", (DISPLAY_GLASS[2] - 12, DISPLAY_GLASS[3] - 5), 8, 0, True),
)

# The large read-out: three digits, the point, one digit, light on the
# dark display glass of the normal skin.
LARGE_DIGIT_CELL = (23, 21)
LARGE_POINT_SIZE = (6, 21)
READOUT_ORIGIN = (120, 40)
READOUT_BOX = box(*READOUT_ORIGIN, 3 * LARGE_DIGIT_CELL[0] + LARGE_POINT_SIZE[0] + LARGE_DIGIT_CELL[0],
                  LARGE_DIGIT_CELL[1])

# The preset labels: small dark digits ANDed onto a light background.
SMALL_DIGIT_CELL = (10, 9)
SMALL_POINT_SIZE = (5, 9)
LABEL_WIDTH = 3 * SMALL_DIGIT_CELL[0] + SMALL_POINT_SIZE[0] + SMALL_DIGIT_CELL[0]
LABEL_ORIGINS = ((85, 154), (184, 154), (85, 183), (184, 183), (85, 211), (184, 211))
LABEL_BOXES = tuple(box(x, y, LABEL_WIDTH, SMALL_DIGIT_CELL[1]) for x, y in LABEL_ORIGINS)


def cell_origins(origin, cell_width, point_width):
    """Left edges of the four digit cells and of the point, as the display places them."""
    x, _ = origin
    digits = (x, x + cell_width, x + 2 * cell_width, x + 3 * cell_width + point_width)
    return digits, x + 3 * cell_width


# Each strip holds the ten digits 0-9 in cells 0-9 and one more, unused,
# cell after them.
STRIP_CELLS = 11

# Bitmap resources of the program: id, file, size, and how it is drawn
# ("light" light on black, "mask" black on white, "dark" dark on white).
Resource = namedtuple("Resource", "id file width height convention mask_of")

RESOURCES = (
    Resource(133, "point_large.bmp", *LARGE_POINT_SIZE, "light", None),
    Resource(134, "point_large_mask.bmp", *LARGE_POINT_SIZE, "mask", 133),
    Resource(135, "tuning_thumb.bmp", *TUNING_THUMB_SIZE, "light", None),
    Resource(136, "tuning_thumb_mask.bmp", *TUNING_THUMB_SIZE, "mask", 135),
    Resource(137, "tuning_thumb_drag.bmp", *TUNING_THUMB_SIZE, "light", None),
    Resource(138, "digits_large.bmp", STRIP_CELLS * LARGE_DIGIT_CELL[0], LARGE_DIGIT_CELL[1], "light", None),
    Resource(139, "digits_large_mask.bmp", STRIP_CELLS * LARGE_DIGIT_CELL[0], LARGE_DIGIT_CELL[1], "mask", 138),
    Resource(140, "point_small.bmp", *SMALL_POINT_SIZE, "dark", None),
    Resource(141, "digits_small.bmp", STRIP_CELLS * SMALL_DIGIT_CELL[0], SMALL_DIGIT_CELL[1], "dark", None),
    Resource(142, "volume_thumb.bmp", *VOLUME_THUMB_SIZE, "light", None),
    Resource(143, "volume_thumb_mask.bmp", *VOLUME_THUMB_SIZE, "mask", 142),
    Resource(144, "volume_thumb_drag.bmp", *VOLUME_THUMB_SIZE, "light", None),
)

# Drag thumbs share the mask of their thumb: same silhouette, pressed shading.
DRAG_THUMBS = {137: 135, 144: 142}

SKIN_FILES = {"normal": "BK_U.bmp", "pressed": "BK_P.bmp", "lit": "BK_E.bmp"}
ICON_FILE, ICON_ID, ICON_SIZES = "Tavolin.ico", 107, (16, 32, 48)
SOUND_FILE = "Default.wav"


def resource(resource_id):
    return next(r for r in RESOURCES if r.id == resource_id)


def output_files():
    return (*SKIN_FILES.values(), *(r.file for r in RESOURCES), ICON_FILE, SOUND_FILE)
