"""The radio's colours: a graphite plate, warm amber light for the display and
the lit keys, red for mute, an ivory dial on dark glass."""

PLATE_TOP = (58, 62, 68)
PLATE_BOTTOM = (36, 39, 43)
PLATE_GRAIN = 5               # brushed-metal streaks, in levels either way
ENGRAVED_TEXT = (176, 182, 190)
ENGRAVED_SHADOW = (16, 17, 19)
CAPTION_TEXT = (226, 230, 236)  # small captions: as light as the key labels
GROOVE_DARK = (20, 22, 25)
GROOVE_LIGHT = (84, 89, 96)

KEY_EDGE = (12, 13, 15)
KEY_UP_TOP = (104, 110, 119)
KEY_UP_BOTTOM = (62, 67, 74)
KEY_UP_HIGHLIGHT = (150, 157, 166)
KEY_UP_SHADE = (40, 43, 48)
KEY_DOWN_TOP = (36, 39, 43)
KEY_DOWN_BOTTOM = (54, 58, 64)
KEY_DOWN_SHADE = (18, 19, 22)
KEY_LABEL = (236, 238, 241)
KEY_LABEL_DOWN = (180, 185, 191)
KEY_LIT_TINT = (90, 62, 22)   # warmth added to a lit key's face

AMBER = (255, 176, 56)
AMBER_DEEP = (255, 136, 24)
AMBER_GHOST = (34, 23, 12)
RED = (255, 84, 64)
RED_DEEP = (200, 30, 20)
RED_OFF = (70, 18, 16)
LED_OFF = (52, 42, 30)

GLASS = (11, 10, 9)           # display glass; digits are rimmed with it
GLASS_BEZEL = (6, 6, 7)

DIAL_GLASS = (20, 22, 26)
DIAL_INK = (236, 226, 198)
DIAL_INK_MINOR = (150, 144, 128)
DIAL_RIM = (120, 126, 134)
NEEDLE = (255, 70, 44)
NEEDLE_LIGHT = (255, 150, 120)
NEEDLE_DRAG = (255, 190, 90)

CHROME_TOP = (232, 236, 240)
CHROME_BOTTOM = (120, 126, 134)
CHROME_DOWN_TOP = (110, 116, 124)
CHROME_DOWN_BOTTOM = (196, 202, 208)
CHROME_GRIP = (70, 74, 80)

# The small icons: a lighter graphite than the plate's, so the radio still
# stands out on a dark taskbar, inside a near-black outline for light ones.
ICON_BODY = (132, 138, 148)
ICON_BODY_SHADE = (110, 116, 125)
ICON_BODY_LIGHT = (188, 194, 202)

LABEL_PLATE = (242, 234, 212)  # preset label strips: the labels are ANDed on
LABEL_PLATE_EDGE = (120, 112, 96)
LABEL_INK = (28, 22, 16)
PAPER = (255, 255, 255)
