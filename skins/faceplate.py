"""The three skins: the whole window face with every control up and every lamp
dark (normal), every button sunk (pressed), every toggle and lamp glowing
(lit). The program copies each control's rectangle from the skin of its
state, so all three share one plate and differ only inside the controls and
in the scale band, where the pressed skin carries the Japan dial."""

from collections import namedtuple

from PIL import Image, ImageChops, ImageDraw

import layout
import palette
from glyphs import NEEDLE_COLUMNS, SEGMENT_GLYPH, SEGMENTS_OF_DIGIT, POINT_BOX, draw_segments
from paint import (CONDENSED_BOLD, SANS_BOLD, ellipse_mask, engrave, font, glow, hash_noise, mix, paint,
                   radial_gradient, rounded_box_mask, scale_colour, shape_mask, text_mask, vertical_gradient)

NORMAL, PRESSED, LIT = "normal", "pressed", "lit"

# What a control shows in each skin.
UP, DOWN, GLOWING, DARK = "up", "down", "glowing", "dark"


def look(control, skin):
    """Lamps are never pressed, so they stay dark in the pressed skin; plain
    buttons never light, so they stand up in the lit one."""
    if control.kind == layout.LAMP:
        return GLOWING if skin == LIT else DARK
    if skin == PRESSED:
        return DOWN
    return GLOWING if skin == LIT and control.kind == layout.TOGGLE else UP


# --- Key faces ---------------------------------------------------------------

# text: the label, moved sideways by text_dx; icon: a drawing of coverage
# shapes (draw, scale, width, height) or None; accent: the colour the key
# lights with; led: a lamp bar across the top of a tall toggle.
Face = namedtuple("Face", "text size typeface text_dx icon accent led")


def _chevrons(pointing, left):
    """Two filled triangles, the seek sign, with their outer tip at x = left."""
    def icon(draw, s, width, height):
        middle, half = height / 2, 5.5
        for step in (0, 7):
            tip = left - pointing * step
            back = tip - pointing * 7
            draw.polygon([(tip * s, middle * s), (back * s, (middle - half) * s), (back * s, (middle + half) * s)],
                         fill=255)
    return icon


def _power(draw, s, width, height):
    cx, cy, r = width / 2, height / 2 + 0.5, 5.2
    draw.arc(((cx - r) * s, (cy - r) * s, (cx + r) * s, (cy + r) * s), -60, 240, fill=255, width=round(1.8 * s))
    draw.rounded_rectangle(((cx - 0.9) * s, (cy - r - 1.5) * s, (cx + 0.9) * s, (cy + 0.5) * s), 0.9 * s, fill=255)


def _minimise(draw, s, width, height):
    draw.rectangle((5.5 * s, (height - 7) * s, (width - 5.5) * s, (height - 5) * s), fill=255)


def _face(name):
    if name.startswith("presetButton"):
        return Face(name[-1], 13, SANS_BOLD, 0, None, palette.AMBER, False)
    if name.startswith("groupButton"):
        return Face("GROUP " + name[-1], 8, CONDENSED_BOLD, 0, None, palette.AMBER, False)
    return {
        "tuneDownButton": Face("TUNE", 10, SANS_BOLD, 8, _chevrons(-1, 12), palette.AMBER, False),
        "tuneUpButton": Face("TUNE", 10, SANS_BOLD, -8, _chevrons(1, 84), palette.AMBER, False),
        "autoSearchButton": Face("AUTO", 9, SANS_BOLD, 0, None, palette.AMBER, True),
        "monoButton": Face("MONO", 8, CONDENSED_BOLD, 0, None, palette.AMBER, False),
        "muteButton": Face("MUTE", 9, CONDENSED_BOLD, 0, None, palette.RED, True),
        "powerButton": Face("", 0, None, 0, _power, palette.RED, False),
        "minimizeButton": Face("", 0, None, 0, _minimise, palette.AMBER, False),
        "rdsButton": Face("RDS", 9, SANS_BOLD, 0, None, palette.AMBER, False),
    }[name]


KEY_RADIUS = 3
LED_SIZE = (14, 2)
LED_TOP = 4


def _shifted(mask, dy):
    moved = Image.new("L", mask.size, 0)
    moved.paste(mask, (0, dy))
    return moved


def _label_mask(control, face):
    size = (control.width, control.height)
    centre_y = control.height / 2 + (2 if face.led else 0)
    mask = Image.new("L", size, 0)
    if face.text:
        typeface = font(face.typeface, face.size)
        centre_x = control.width / 2 + face.text_dx
        mask = text_mask(size, (round(centre_x), round(centre_y)), face.text, typeface, tracking=1)
    if face.icon is not None:
        icon = shape_mask(size, lambda draw, s: face.icon(draw, s, control.width, control.height))
        mask = ImageChops.lighter(mask, icon)
    return mask


def draw_key(skin, control, state):
    """A rounded key with a bevel: raised when up or glowing, sunk when down."""
    face = _face(control.name)
    size, origin = (control.width, control.height), (control.x, control.y)
    outline = rounded_box_mask(size, (0, 0, *size), KEY_RADIUS)
    body = rounded_box_mask(size, (1, 1, size[0] - 1, size[1] - 1), KEY_RADIUS - 1)
    paint(skin, origin, palette.KEY_EDGE, outline)
    if state == DOWN:
        paint(skin, origin, vertical_gradient(size, palette.KEY_DOWN_TOP, palette.KEY_DOWN_BOTTOM), body)
        paint(skin, origin, palette.KEY_DOWN_SHADE, ImageChops.subtract(body, _shifted(body, 2)))
    else:
        top, bottom = palette.KEY_UP_TOP, palette.KEY_UP_BOTTOM
        if state == GLOWING:
            top, bottom = mix(top, face.accent, 0.10), mix(bottom, face.accent, 0.06)
        paint(skin, origin, vertical_gradient(size, top, bottom), body)
        paint(skin, origin, palette.KEY_UP_HIGHLIGHT, ImageChops.subtract(body, _shifted(body, 1)))
        paint(skin, origin, palette.KEY_UP_SHADE, ImageChops.subtract(body, _shifted(body, -1)))
    label = _label_mask(control, face)
    if state == DOWN:
        label = _shifted(label, 1)
        label = ImageChops.offset(label, 1, 0)
    if face.led:
        led = Image.new("L", size, 0)
        left, top = (control.width - LED_SIZE[0]) // 2, LED_TOP + (1 if state == DOWN else 0)
        led.paste(255, (left, top, left + LED_SIZE[0], top + LED_SIZE[1]))
        paint(skin, origin, face.accent if state == GLOWING else palette.LED_OFF, led)
        if state == GLOWING:
            glow(skin, origin, led, face.accent, 2, 1.5)
    colour = {UP: palette.KEY_LABEL, DOWN: palette.KEY_LABEL_DOWN,
              GLOWING: mix(face.accent, palette.KEY_LABEL, 0.3)}[state]
    if state == GLOWING:
        glow(skin, origin, label, face.accent, 2, 0.7)
    paint(skin, origin, colour, label)


# --- Lamps -------------------------------------------------------------------

def draw_mute_lamp(skin, control, state):
    """A round red lamp in a chrome bezel."""
    size, origin = (control.width, control.height), (control.x, control.y)
    w, h = size
    paint(skin, origin, vertical_gradient(size, palette.CHROME_TOP, palette.CHROME_BOTTOM),
          ellipse_mask(size, (0, 0, w, h)))
    paint(skin, origin, palette.KEY_EDGE, ellipse_mask(size, (2, 2, w - 2, h - 2)))
    glass = ellipse_mask(size, (3, 3, w - 3, h - 3))
    centre = (w / 2 - 1.5, h / 2 - 1.5)
    if state == GLOWING:
        light = radial_gradient(size, centre, w / 2 - 2, (255, 214, 190), palette.RED_DEEP)
    else:
        light = radial_gradient(size, centre, w / 2 - 2, scale_colour(palette.RED_OFF, 1.6), palette.RED_OFF)
    paint(skin, origin, light, glass)
    shine = ellipse_mask(size, (7, 5.5, 13, 9.5)).point(lambda v: v * 2 // 5)
    paint(skin, origin, (255, 255, 255), shine)


def draw_stereo_lamp(skin, control, state):
    """The stereo sign, two interlaced rings, lit in the display's amber."""
    size, origin = (control.width, control.height), (control.x, control.y)
    w, h = size

    def rings(draw, s):
        for cx in (w / 2 - 3, w / 2 + 3):
            draw.ellipse(((cx - 5) * s, (h / 2 - 5) * s, (cx + 5) * s, (h / 2 + 5) * s),
                         outline=255, width=round(1.6 * s))
    mask = shape_mask(size, rings)
    if state == GLOWING:
        glow(skin, origin, mask, palette.AMBER, 1.5, 1.0)
    paint(skin, origin, palette.AMBER if state == GLOWING else palette.AMBER_GHOST, mask)


LAMPS = {"muteIndicator": draw_mute_lamp, "stereoIndicator": draw_stereo_lamp}


def draw_control(skin, control, skin_name):
    (LAMPS.get(control.name) or draw_key)(skin, control, look(control, skin_name))


# --- The plate ---------------------------------------------------------------

DISPLAY_BEZEL = 2


def brushed_plate():
    """Graphite with fine horizontal brush marks."""
    width, height = layout.CLIENT_WIDTH, layout.CLIENT_HEIGHT
    pixels = []
    for y in range(height):
        base = mix(palette.PLATE_TOP, palette.PLATE_BOTTOM, y / (height - 1))
        streak = (hash_noise(0, y, 1) - 0.5) * palette.PLATE_GRAIN
        for x in range(width):
            grain = streak + (hash_noise(x // 3, y, 2) - 0.5) * 2
            pixels.append(tuple(max(0, min(255, round(c + grain))) for c in base))
    plate = Image.new("RGB", (width, height))
    plate.putdata(pixels)
    return plate


def engraved_text(skin, centre, string, size, typeface=SANS_BOLD, tracking=1, colour=palette.ENGRAVED_TEXT):
    whole = (layout.CLIENT_WIDTH, layout.CLIENT_HEIGHT)
    mask = text_mask(whole, centre, string, font(typeface, size), tracking)
    engrave(skin, (0, 0), mask, colour, palette.ENGRAVED_SHADOW)


# Small type loses its strokes to anti-aliasing: partly covered pixels are
# pushed towards full ink, so each stroke keeps a solid core.
CAPTION_INK_GAIN = 1.6


def caption_mask(caption):
    """Where a caption's letters are, as the skin carries them."""
    whole = (layout.CLIENT_WIDTH, layout.CLIENT_HEIGHT)
    mask = text_mask(whole, caption.centre, caption.text, font(CONDENSED_BOLD, caption.size), caption.tracking)
    return mask.point(lambda v: min(255, round(v * CAPTION_INK_GAIN)))


def draw_caption(skin, caption):
    """Light words cut into the plate, or amber signs on the display glass."""
    if caption.on_glass:
        paint(skin, (0, 0), palette.AMBER, caption_mask(caption))
    else:
        engrave(skin, (0, 0), caption_mask(caption), palette.CAPTION_TEXT, palette.ENGRAVED_SHADOW)


def groove(skin, left, right, y):
    """A line cut across the plate."""
    ImageDraw.Draw(skin).line((left, y, right - 1, y), fill=palette.GROOVE_DARK)
    ImageDraw.Draw(skin).line((left, y + 1, right - 1, y + 1), fill=palette.GROOVE_LIGHT)


def draw_display(skin):
    """The read-out's dark glass: faint unlit segments where the digits
    light, and the FM and MHz signs."""
    left, top, right, bottom = layout.DISPLAY_GLASS
    whole = (layout.CLIENT_WIDTH, layout.CLIENT_HEIGHT)
    bezel = rounded_box_mask(whole, (left - DISPLAY_BEZEL, top - DISPLAY_BEZEL,
                                     right + DISPLAY_BEZEL, bottom + DISPLAY_BEZEL), 4)
    paint(skin, (0, 0), palette.GLASS_BEZEL, bezel)
    paint(skin, (0, 0), palette.GROOVE_LIGHT, ImageChops.subtract(_shifted(bezel, 1), bezel))
    paint(skin, (0, 0), palette.GLASS, rounded_box_mask(whole, layout.DISPLAY_GLASS, 2))
    digit_cells, point_x = layout.cell_origins(layout.READOUT_ORIGIN, layout.LARGE_DIGIT_CELL[0],
                                               layout.LARGE_POINT_SIZE[0])
    y = layout.READOUT_ORIGIN[1]

    def ghosts(draw, s):
        for x in digit_cells:
            draw_segments(draw, s, (x, y), SEGMENTS_OF_DIGIT[8], **SEGMENT_GLYPH)
        px1, py1, px2, py2 = POINT_BOX
        draw.rectangle(((point_x + px1) * s, (y + py1) * s, (point_x + px2) * s - 1, (y + py2) * s - 1),
                       fill=255)
    paint(skin, (0, 0), palette.AMBER_GHOST, shape_mask(whole, ghosts))


# The band each skin's dial is drawn for. The normal skin's dial also serves
# Europe (87.5-108), which the slider maps a little differently; USA is the
# band the program starts with, so its marks are the exact ones. The lit
# skin's band is never shown and carries the normal dial.
DIALS = {NORMAL: layout.BAND_USA, PRESSED: layout.BAND_JAPAN, LIT: layout.BAND_USA}
LABEL_STEP = 20  # a number every 2 MHz
# Mark heights hanging from the top of the dial and standing on its bottom:
# labelled megahertz, other whole megahertz, half megahertz.
MARK_LENGTHS = (6, 4, 2)
DIAL_TOP_MARKS = layout.SCALE_BAND[1] + 2
DIAL_BOTTOM_MARKS = layout.SCALE_BAND[3] - 3


def dial_marks(band):
    """(frequency, kind) of every mark: 0 labelled, 1 whole MHz, 2 half MHz."""
    first = (band.low + 4) // 5 * 5
    for frequency in range(first, band.high + 1, 5):
        if frequency % LABEL_STEP == 0:
            yield frequency, 0
        elif frequency % 10 == 0:
            yield frequency, 1
        else:
            yield frequency, 2


def draw_dial(skin, band):
    """The tuning scale: ivory marks on dark glass, each standing exactly
    under the thumb's hairline at its frequency."""
    left, top, right, bottom = layout.SCALE_BAND
    draw = ImageDraw.Draw(skin)
    draw.rectangle((left, top, right - 1, bottom - 1), fill=palette.DIAL_GLASS)
    draw.line((left, top, right - 1, top), fill=palette.DIAL_RIM)
    draw.line((left, bottom - 1, right - 1, bottom - 1), fill=palette.GROOVE_DARK)
    whole = (layout.CLIENT_WIDTH, layout.CLIENT_HEIGHT)
    numbers = Image.new("L", whole, 0)
    for frequency, kind in dial_marks(band):
        x = layout.TUNING_TRACK[0] + layout.tuning_offset(frequency, band)
        columns = NEEDLE_COLUMNS if kind < 2 else NEEDLE_COLUMNS[:1]
        colour = palette.DIAL_INK if kind < 2 else palette.DIAL_INK_MINOR
        length = MARK_LENGTHS[kind]
        for column in columns:
            draw.line((x + column, DIAL_TOP_MARKS, x + column, DIAL_TOP_MARKS + length - 1), fill=colour)
            draw.line((x + column, DIAL_BOTTOM_MARKS - length + 1, x + column, DIAL_BOTTOM_MARKS), fill=colour)
        if kind == 0:
            centre = x + (NEEDLE_COLUMNS[0] + NEEDLE_COLUMNS[-1] + 1) / 2
            label = text_mask(whole, (round(centre), (top + bottom) // 2), str(frequency // 10),
                              font(CONDENSED_BOLD, 9))
            numbers = ImageChops.lighter(numbers, label)
    paint(skin, (0, 0), palette.DIAL_INK, numbers)


WEDGE_COLUMNS = (6, 15)


def draw_volume_track(skin):
    """The slot the volume slide runs in, a loudness wedge beside it."""
    whole = (layout.CLIENT_WIDTH, layout.CLIENT_HEIGHT)
    left, top, right, bottom = layout.VOLUME_TRACK
    thumb_h = layout.VOLUME_THUMB_SIZE[1]
    centre = left + (right - left) / 2
    travel_top, travel_bottom = top + thumb_h / 2, bottom - thumb_h / 2
    slot = rounded_box_mask(whole, (centre - 2, travel_top - 2, centre + 2, travel_bottom + 2), 2)
    paint(skin, (0, 0), palette.GROOVE_DARK, slot)
    paint(skin, (0, 0), palette.GROOVE_LIGHT, ImageChops.subtract(_shifted(slot, 1), slot))
    wedge_left, wedge_right = WEDGE_COLUMNS

    def wedge(draw, s):
        draw.polygon([(wedge_left * s, travel_top * s), (wedge_right * s, travel_top * s),
                      (wedge_right * s, travel_bottom * s)], fill=255)
    engrave(skin, (0, 0), shape_mask(whole, wedge), palette.GROOVE_LIGHT, palette.ENGRAVED_SHADOW)


def draw_label_plates(skin):
    """Ivory strips for the preset labels, which are printed on them in dark
    ink by ANDing."""
    whole = (layout.CLIENT_WIDTH, layout.CLIENT_HEIGHT)
    for left, top, right, bottom in layout.LABEL_BOXES:
        edge = rounded_box_mask(whole, (left - 1, top - 3, right + 2, bottom + 3), 2)
        paint(skin, (0, 0), palette.LABEL_PLATE_EDGE, edge)
        paint(skin, (0, 0), palette.LABEL_PLATE, rounded_box_mask(whole, (left, top - 2, right + 1, bottom + 2), 1.5))


def draw_plate(skin):
    """Everything that is not a control: name, display, dial frame, grooves,
    volume slot, label strips and captions."""
    brand = layout.BRAND
    engraved_text(skin, brand.centre, brand.text, brand.size, SANS_BOLD, brand.tracking)
    draw_display(skin)
    # Grooves between the dial and the tune keys, and above the bottom row.
    groove(skin, 0, layout.CLIENT_WIDTH, layout.SCALE_BAND[3] + 1)
    preset6, mute = layout.control("presetButton6"), layout.control("muteButton")
    groove(skin, 0, layout.CLIENT_WIDTH, (preset6.y + preset6.height + mute.y) // 2 - 1)
    draw_volume_track(skin)
    draw_label_plates(skin)
    for caption in layout.CAPTIONS:
        draw_caption(skin, caption)


def skins():
    """The three whole-window skins by name: normal, pressed and lit."""
    plate = brushed_plate()
    draw_plate(plate)
    result = {}
    for name in (NORMAL, PRESSED, LIT):
        image = plate.copy()
        draw_dial(image, DIALS[name])
        for control in layout.CONTROLS:
            draw_control(image, control, name)
        result[name] = image
    return result
