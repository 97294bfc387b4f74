"""The program's small bitmaps: the digit strips and points of the two
read-outs, the thumbs of the two sliders and their masks.

Light images are drawn over black with a mask that is black exactly where the
image is not, because the program lays them with the mask ANDed first and the
image ORed after. The anti-aliased rim of a light shape is therefore mixed
with the colour it will usually stand on (the display glass, the dial, the
plate) rather than with black, so it does not ring the shape in a dark line."""

from PIL import Image, ImageChops

import layout
import palette
from paint import paint, rounded_box_mask, shape_mask, vertical_gradient

BLACK = (0, 0, 0)

# Seven segments: a top, b top right, c bottom right, d bottom, e bottom
# left, f top left, g middle.
SEGMENTS_OF_DIGIT = ("abcdef", "bc", "abdeg", "abcdg", "bcfg", "acdfg", "acdefg", "abc", "abcdefg", "abcdfg")

# The large glyph inside its 23 x 21 cell: an italic seven-segment figure.
SEGMENT_GLYPH = dict(left=4.0, top=1.5, width=13.0, height=18.0, thickness=3.0, gap=0.5, slant=0.12)
# The point sits on the baseline, in the narrow cell between the third and
# fourth digit.
POINT_BOX = (1.0, 16.5, 4.0, 19.5)


def segment_polygons(origin, segments, left, top, width, height, thickness, gap, slant):
    """Polygons of the named segments, in pixel coordinates (not scaled)."""
    ox, oy = origin
    half = thickness / 2
    right, bottom, middle = left + width, top + height, top + height / 2

    def horizontal(y):
        x1, x2 = left + half + gap, right - half - gap
        return [(x1, y), (x1 + half, y - half), (x2 - half, y - half), (x2, y), (x2 - half, y + half),
                (x1 + half, y + half)]

    def vertical(x, y1, y2):
        y1, y2 = y1 + gap, y2 - gap
        return [(x, y1), (x + half, y1 + half), (x + half, y2 - half), (x, y2), (x - half, y2 - half),
                (x - half, y1 + half)]

    shapes = dict(
        a=horizontal(top + half), g=horizontal(middle), d=horizontal(bottom - half),
        f=vertical(left + half, top + half, middle), b=vertical(right - half, top + half, middle),
        e=vertical(left + half, middle, bottom - half), c=vertical(right - half, middle, bottom - half))
    return [[(ox + x + slant * (bottom - y), oy + y) for x, y in shapes[name]] for name in segments]


def draw_segments(draw, scale, origin, segments, **glyph):
    for polygon in segment_polygons(origin, segments, **glyph):
        draw.polygon([(x * scale, y * scale) for x, y in polygon], fill=255)


def light_image(size, rim, layers):
    """Light image of coloured layers (colour or image, coverage mask), each
    laid over the last; the rims are mixed with the rim colour and whatever
    no layer covers stays pure black."""
    canvas = Image.new("RGB", size, rim)
    coverage = Image.new("L", size, 0)
    for colour, mask in layers:
        paint(canvas, (0, 0), colour, mask)
        coverage = ImageChops.lighter(coverage, mask)
    covered = coverage.point(lambda v: 255 if v else 0)
    return Image.composite(canvas, Image.new("RGB", size, BLACK), covered)


def mask_of(light):
    """Black where the light image has anything, white elsewhere."""
    red, green, blue = light.split()
    ink = ImageChops.lighter(ImageChops.lighter(red, green), blue)
    return ink.point(lambda v: 255 if v == 0 else 0).convert("RGB")


def large_digits():
    """Strip 138: amber seven-segment digits 0-9 in cells 0-9, cell 10 empty."""
    cell_width, cell_height = layout.LARGE_DIGIT_CELL
    size = (layout.STRIP_CELLS * cell_width, cell_height)

    def shapes(draw, scale):
        for digit, segments in enumerate(SEGMENTS_OF_DIGIT):
            draw_segments(draw, scale, (digit * cell_width, 0), segments, **SEGMENT_GLYPH)
    amber = vertical_gradient(size, palette.AMBER, palette.AMBER_DEEP)
    return light_image(size, palette.GLASS, [(amber, shape_mask(size, shapes))])


def large_point():
    """Point 133: a square dot on the digits' baseline."""
    size = layout.LARGE_POINT_SIZE
    amber = vertical_gradient(size, palette.AMBER, palette.AMBER_DEEP)
    return light_image(size, palette.GLASS, [(amber, rounded_box_mask(size, POINT_BOX, 0.5))])


# The preset labels' digits: a bold pixel face, crisp at nine pixels, each
# glyph six pixels wide and set two pixels into its ten-pixel cell.
SMALL_FACE = (
    (".####.", "##..##", "##..##", "##..##", "##..##", "##..##", "##..##", "##..##", ".####."),
    ("..##..", ".###..", "####..", "..##..", "..##..", "..##..", "..##..", "..##..", "######"),
    (".####.", "##..##", "....##", "....##", "...##.", "..##..", ".##...", "##....", "######"),
    (".####.", "##..##", "....##", "....##", "..###.", "....##", "....##", "##..##", ".####."),
    ("...##.", "..###.", ".####.", "##.##.", "##.##.", "######", "...##.", "...##.", "...##."),
    ("######", "##....", "##....", "#####.", "....##", "....##", "....##", "##..##", ".####."),
    ("..###.", ".##...", "##....", "#####.", "##..##", "##..##", "##..##", "##..##", ".####."),
    ("######", "....##", "....##", "...##.", "...##.", "..##..", "..##..", ".##...", ".##..."),
    (".####.", "##..##", "##..##", "##..##", ".####.", "##..##", "##..##", "##..##", ".####."),
    (".####.", "##..##", "##..##", "##..##", ".#####", "....##", "....##", "...##.", ".###.."),
)
SMALL_GLYPH_LEFT = 2
SMALL_POINT = (".....", ".....", ".....", ".....", ".....", ".....", ".....", ".##..", ".##..")


def _stamp(image, origin, rows, colour):
    ox, oy = origin
    for y, row in enumerate(rows):
        for x, pixel in enumerate(row):
            if pixel == "#":
                image.putpixel((ox + x, oy + y), colour)


def small_digits():
    """Strip 141: dark digits on white in ten-pixel cells, cell 10 empty."""
    cell_width, cell_height = layout.SMALL_DIGIT_CELL
    strip = Image.new("RGB", (layout.STRIP_CELLS * cell_width, cell_height), palette.PAPER)
    for digit, rows in enumerate(SMALL_FACE):
        _stamp(strip, (digit * cell_width + SMALL_GLYPH_LEFT, 0), rows, palette.LABEL_INK)
    return strip


def small_point():
    """Point 140: a dark dot on white, on the labels' baseline."""
    point = Image.new("RGB", layout.SMALL_POINT_SIZE, palette.PAPER)
    _stamp(point, (0, 0), SMALL_POINT, palette.LABEL_INK)
    return point


# The tuning thumb is a dial pointer: a red hairline two pixels wide down
# the middle of the thumb (columns 10 and 11), a small chrome arrow at the
# top and a ribbed chrome tab at the bottom to take hold of. The dial's marks
# stand under the hairline.
NEEDLE_COLUMNS = (10, 11)


def tuning_thumb(dragged):
    size = layout.TUNING_THUMB_SIZE
    left, right = NEEDLE_COLUMNS[0], NEEDLE_COLUMNS[-1] + 1
    middle = (left + right) / 2

    def arrow(draw, s):
        draw.polygon([((middle - 4.5) * s, 0), ((middle + 4.5) * s, 0), (middle * s, 4.5 * s)], fill=255)

    def ribs(draw, s):
        for x in (6, 8, 14, 16):
            draw.rectangle((x * s, 17 * s, (x + 1) * s - 1, 21 * s - 1), fill=255)
    tab = rounded_box_mask(size, (middle - 7, 15, middle + 7, 22), 2)
    chrome = vertical_gradient(size, *((palette.CHROME_DOWN_TOP, palette.CHROME_DOWN_BOTTOM) if dragged
                                        else (palette.CHROME_TOP, palette.CHROME_BOTTOM)))
    needle = Image.new("L", size, 0)
    needle.paste(255, (left, 0, right, size[1]))
    needle_colour = Image.new("RGB", size, palette.NEEDLE_DRAG if dragged else palette.NEEDLE)
    needle_colour.paste(palette.NEEDLE_DRAG if dragged else palette.NEEDLE_LIGHT, (left, 0, left + 1, size[1]))
    return light_image(size, palette.DIAL_GLASS, [
        (chrome, shape_mask(size, arrow)), (chrome, tab),
        (palette.CHROME_GRIP, shape_mask(size, ribs)), (needle_colour, needle)])


def volume_thumb(dragged):
    """A ribbed chrome slide with an amber index line across its middle."""
    size = layout.VOLUME_THUMB_SIZE
    body = rounded_box_mask(size, (1, 1, 15, 15), 3)
    chrome = vertical_gradient(size, *((palette.CHROME_DOWN_TOP, palette.CHROME_DOWN_BOTTOM) if dragged
                                        else (palette.CHROME_TOP, palette.CHROME_BOTTOM)))
    grooves = Image.new("L", size, 0)
    for y in (4, 11):
        grooves.paste(255, (3, y, 13, y + 1))
    index = Image.new("L", size, 0)
    index.paste(255, (2, 7, 14, 9))
    plate = tuple((a + b) // 2 for a, b in zip(palette.PLATE_TOP, palette.PLATE_BOTTOM))
    return light_image(size, plate, [
        (chrome, body), (palette.CHROME_GRIP, grooves),
        (palette.AMBER if dragged else palette.AMBER_DEEP, index)])


def resource_images():
    """Every bitmap resource by id."""
    digits, point = large_digits(), large_point()
    thumb, volume = tuning_thumb(False), volume_thumb(False)
    return {
        133: point, 134: mask_of(point),
        135: thumb, 136: mask_of(thumb), 137: tuning_thumb(True),
        138: digits, 139: mask_of(digits),
        140: small_point(), 141: small_digits(),
        142: volume, 143: mask_of(volume), 144: volume_thumb(True),
    }
