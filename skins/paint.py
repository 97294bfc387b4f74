"""Drawing tools shared by the faceplate and the resource art: smooth shapes
rendered at four times the size and averaged down, gradients, glows and
hinted text from fixed font files, so the same script always yields the
same pixels."""

from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont

SUPERSAMPLE = 4
FONT_DIR = "/usr/share/fonts/truetype/dejavu/"
SANS_BOLD = "DejaVuSans-Bold.ttf"
CONDENSED_BOLD = "DejaVuSansCondensed-Bold.ttf"

_fonts = {}


def font(name, size):
    key = (name, size)
    if key not in _fonts:
        _fonts[key] = ImageFont.truetype(FONT_DIR + name, size)
    return _fonts[key]


def shape_mask(size, draw_shapes):
    """Coverage mask of shapes drawn by draw_shapes(draw, s), where s scales
    pixel coordinates to the supersampled canvas."""
    width, height = size
    big = Image.new("L", (width * SUPERSAMPLE, height * SUPERSAMPLE), 0)
    draw_shapes(ImageDraw.Draw(big), SUPERSAMPLE)
    return big.reduce(SUPERSAMPLE)


def rounded_box_mask(size, box, radius):
    """Smooth mask of a rounded rectangle given in pixel edges (exclusive)."""
    left, top, right, bottom = box

    def shapes(draw, s):
        draw.rounded_rectangle((left * s, top * s, right * s - 1, bottom * s - 1), radius * s, fill=255)
    return shape_mask(size, shapes)


def ellipse_mask(size, box):
    left, top, right, bottom = box

    def shapes(draw, s):
        draw.ellipse((left * s, top * s, right * s - 1, bottom * s - 1), fill=255)
    return shape_mask(size, shapes)


def vertical_gradient(size, top, bottom):
    width, height = size
    column = Image.new("RGB", (1, height))
    for y in range(height):
        t = y / max(1, height - 1)
        column.putpixel((0, y), mix(top, bottom, t))
    return column.resize((width, height), Image.NEAREST)


def radial_gradient(size, centre, radius, inner, outer):
    width, height = size
    image = Image.new("RGB", size)
    cx, cy = centre
    for y in range(height):
        for x in range(width):
            distance = ((x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2) ** 0.5
            image.putpixel((x, y), mix(inner, outer, min(1.0, distance / radius)))
    return image


def mix(a, b, t):
    return tuple(round(p + (q - p) * t) for p, q in zip(a, b))


def scale_colour(colour, factor):
    return tuple(max(0, min(255, round(c * factor))) for c in colour)


def paint(target, origin, source, mask=None):
    """Lay an image or a flat colour over target at origin through a mask."""
    if not isinstance(source, Image.Image):
        source = Image.new("RGB", mask.size, source)
    target.paste(source, origin, mask)


def glow(target, origin, mask, colour, radius, strength):
    """Soft light around the covered area of mask, added to what is there."""
    halo = mask.filter(ImageFilter.GaussianBlur(radius)).point(lambda v: min(255, round(v * strength)))
    light = Image.new("RGB", mask.size, colour)
    lit = ImageChops.multiply(light, Image.merge("RGB", (halo, halo, halo)))
    region = (*origin, origin[0] + mask.size[0], origin[1] + mask.size[1])
    target.paste(ImageChops.add(target.crop(region), lit), origin)


def text_mask(size, anchor_xy, string, typeface, tracking=0, anchor="mm"):
    """Hinted, anti-aliased text coverage; tracking adds pixels between letters."""
    mask = Image.new("L", size, 0)
    draw = ImageDraw.Draw(mask)
    if tracking == 0:
        draw.text(anchor_xy, string, fill=255, font=typeface, anchor=anchor)
        return mask
    widths = [typeface.getlength(ch) for ch in string]
    total = sum(widths) + tracking * (len(string) - 1)
    x, y = anchor_xy
    x -= {"m": total / 2, "l": 0, "r": total}[anchor[0]]
    for ch, w in zip(string, widths):
        draw.text((round(x), y), ch, fill=255, font=typeface, anchor="l" + anchor[1])
        x += w + tracking
    return mask


def engrave(target, origin, mask, colour, shadow, highlight=None):
    """Letters or marks cut into the plate: a dark edge above, a light one
    below, the fill between."""
    x, y = origin
    if highlight is not None:
        paint(target, (x, y + 1), highlight, mask)
    paint(target, (x, y - 1), shadow, mask)
    paint(target, origin, colour, mask)


def hash_noise(x, y, seed):
    """Repeatable noise in [0, 1) without a random generator."""
    n = (x * 374761393 + y * 668265263 + seed * 2147483647) & 0xFFFFFFFF
    n = ((n ^ (n >> 13)) * 1274126177) & 0xFFFFFFFF
    return ((n ^ (n >> 16)) & 0xFFFF) / 65536.0
