#!/usr/bin/python3
"""Checks of the radio's art as the program will use it: the kept files are
what the generator draws, every bitmap has the size and cell layout the
program expects, masks cover their images exactly, each control looks
different in the skins where it must, the dial's marks stand where the thumb
stops, and the read-out and labels stay legible once laid on."""

import os
import struct
import sys
import tempfile
import unittest
import wave

HERE = os.path.dirname(os.path.abspath(__file__))
PREVIEW = os.path.join(HERE, "..", "docs", "preview.png")
sys.dont_write_bytecode = True  # leave no compiled files in the source tree
sys.path.insert(0, HERE)

import bmpfile  # noqa: E402
import compose  # noqa: E402
import generate  # noqa: E402
import layout  # noqa: E402

# Sizes the program relies on, stated here on their own rather than read
# from the generator's layout.
EXPECTED_SIZES = {
    133: (6, 21), 134: (6, 21), 135: (22, 22), 136: (22, 22), 137: (22, 22), 138: (253, 21), 139: (253, 21),
    140: (5, 9), 141: (110, 9), 142: (16, 16), 143: (16, 16), 144: (16, 16),
}
MASKED = {133: 134, 135: 136, 137: 136, 138: 139, 142: 143, 144: 143}
BLACK, WHITE = (0, 0, 0), (255, 255, 255)
SEVEN_SEGMENTS = ("abcdef", "bc", "abdeg", "abcdg", "bcfg", "acdfg", "acdefg", "abc", "abcdefg", "abcdfg")


def luminance(pixel):
    r, g, b = pixel
    return (299 * r + 587 * g + 114 * b) / 1000


def read(name):
    with open(os.path.join(HERE, name), "rb") as source:
        return source.read()


def bitmap(name):
    return bmpfile.read_bmp(read(name))[1]


def image_of(resource_id):
    return bitmap(layout.resource(resource_id).file)


def skins():
    return {state: bitmap(name) for state, name in layout.SKIN_FILES.items()}


def pixels(image, box=None):
    region = image.crop(box) if box else image
    return list(region.getdata())


def contrast(a, b):
    """Contrast ratio of two colours as the web's accessibility rules measure
    it: 1 for equal colours, 21 for black on white."""
    def relative(colour):
        channels = [v / 255 for v in colour[:3]]
        linear = [v / 12.92 if v <= 0.04045 else ((v + 0.055) / 1.055) ** 2.4 for v in channels]
        return 0.2126 * linear[0] + 0.7152 * linear[1] + 0.0722 * linear[2]
    lighter, darker = sorted((relative(a), relative(b)), reverse=True)
    return (lighter + 0.05) / (darker + 0.05)


def ink_box(image, box, lit):
    """Bounding box (in image coordinates) of the pixels where lit(pixel)."""
    left, top, right, bottom = box
    found = [(x, y) for y in range(top, bottom) for x in range(left, right) if lit(image.getpixel((x, y)))]
    xs, ys = [x for x, _ in found], [y for _, y in found]
    return (min(xs), min(ys), max(xs) + 1, max(ys) + 1) if found else None


class KeptArtIsWhatTheGeneratorDraws(unittest.TestCase):
    def test_regenerated_files_equal_the_kept_ones_byte_for_byte(self):
        with tempfile.TemporaryDirectory() as folder:
            generate.write_art(folder)
            for name in layout.output_files():
                with self.subTest(file=name), open(os.path.join(folder, name), "rb") as fresh:
                    self.assertEqual(fresh.read(), read(name), f"{name} differs: run skins/generate.py")

    def test_the_kept_preview_shows_the_current_art(self):
        from PIL import Image
        import preview
        import faceplate
        import glyphs
        fresh = preview.preview(faceplate.skins(), glyphs.resource_images())
        with Image.open(PREVIEW) as kept:
            self.assertEqual(kept.size, fresh.size)
            self.assertEqual(kept.convert("RGB").tobytes(), fresh.tobytes(),
                             "run skins/preview.py docs/preview.png")

    def test_two_runs_draw_the_same_bytes(self):
        self.assertEqual(generate.art_files(), generate.art_files())


class BitmapFiles(unittest.TestCase):
    def test_every_bitmap_is_a_plain_uncompressed_24_bit_file(self):
        names = list(layout.SKIN_FILES.values()) + [r.file for r in layout.RESOURCES]
        for name in names:
            with self.subTest(file=name):
                data = read(name)
                header, image = bmpfile.read_bmp(data)
                self.assertEqual(header["header_size"], 40)
                self.assertEqual(header["offset"], 54)
                self.assertEqual(header["file_size"], len(data))
                self.assertEqual(header["colours_used"], 0)
                stride = (image.size[0] * 3 + 3) // 4 * 4
                self.assertEqual(header["image_size"], stride * image.size[1])
                self.assertEqual(len(data), 54 + stride * image.size[1])

    def test_skins_cover_the_whole_client_area(self):
        for state, image in skins().items():
            with self.subTest(skin=state):
                self.assertEqual(image.size, (240, 268))

    def test_resources_have_their_stated_sizes(self):
        self.assertEqual(sorted(r.id for r in layout.RESOURCES), list(range(133, 145)))
        for resource_id, size in EXPECTED_SIZES.items():
            with self.subTest(resource=resource_id):
                self.assertEqual(image_of(resource_id).size, size)


class DigitStrips(unittest.TestCase):
    def segments_lit(self, strip, cell_width, digit, frame):
        """Which of the seven segments show ink in a cell, judged by regions
        of the frame that the figure 8 fills."""
        left, top, right, bottom = frame
        offset = digit * cell_width
        third = (right - left) / 3
        height = bottom - top
        regions = {
            "a": (left + third, top, right - third, top + 3),
            "g": (left + third, top + height / 2 - 1, right - third, top + height / 2 + 1),
            "d": (left + third, bottom - 3, right - third, bottom),
            "f": (left, top + height * 0.2, left + third, top + height * 0.35),
            "b": (right - third, top + height * 0.2, right, top + height * 0.35),
            "e": (left, top + height * 0.65, left + third, top + height * 0.8),
            "c": (right - third, top + height * 0.65, right, top + height * 0.8),
        }
        lit = set()
        for name, (x1, y1, x2, y2) in regions.items():
            for y in range(round(y1), round(y2)):
                for x in range(round(x1), round(x2)):
                    if luminance(strip.getpixel((offset + x, y))) > 128:
                        lit.add(name)
        return "".join(sorted(lit))

    def test_large_cell_k_shows_digit_k(self):
        strip = image_of(138)
        width = 23
        frame = ink_box(strip, (8 * width, 0, 9 * width, 21), lambda p: luminance(p) > 128)
        frame = (frame[0] - 8 * width, frame[1], frame[2] - 8 * width, frame[3])
        for digit, expected in enumerate(SEVEN_SEGMENTS):
            with self.subTest(digit=digit):
                self.assertEqual(self.segments_lit(strip, width, digit, frame), "".join(sorted(expected)))

    def test_large_digits_are_light_on_black_and_keep_to_their_cells(self):
        strip = image_of(138)
        for cell in range(10):
            with self.subTest(cell=cell):
                box = ink_box(strip, (cell * 23, 0, cell * 23 + 23, 21), lambda p: p != BLACK)
                self.assertIsNotNone(box)
                self.assertGreater(box[0], cell * 23, "glyph touches the cell's left edge")
                self.assertLess(box[2], cell * 23 + 23, "glyph touches the cell's right edge")
                brightest = max(luminance(p) for p in pixels(strip, (cell * 23, 0, cell * 23 + 23, 21)))
                self.assertGreater(brightest, 150)

    def test_the_cell_after_nine_is_left_empty(self):
        self.assertEqual(set(pixels(image_of(138), (230, 0, 253, 21))), {BLACK})
        self.assertEqual(set(pixels(image_of(139), (230, 0, 253, 21))), {WHITE})
        self.assertEqual(set(pixels(image_of(141), (100, 0, 110, 9))), {WHITE})

    def test_small_digits_are_dark_on_white_one_per_cell(self):
        strip = image_of(141)
        glyphs = []
        for cell in range(10):
            with self.subTest(cell=cell):
                cell_box = (cell * 10, 0, cell * 10 + 10, 9)
                ink = [p for p in pixels(strip, cell_box) if p != WHITE]
                self.assertTrue(ink, "empty cell")
                self.assertTrue(all(luminance(p) < 64 for p in ink), "ink is not dark")
                box = ink_box(strip, cell_box, lambda p: p != WHITE)
                self.assertGreater(box[0], cell * 10, "glyph touches the cell's left edge")
                self.assertLess(box[2], cell * 10 + 10, "glyph touches the cell's right edge")
                glyphs.append(tuple(pixels(strip, cell_box)))
        self.assertEqual(len(set(glyphs)), 10, "two digits look the same")

    def test_small_cell_k_reads_as_digit_k(self):
        """Each small glyph, scaled to a common size, is closer to the same
        digit of an ordinary typeface than to any other digit."""
        from PIL import Image, ImageDraw, ImageFont
        typeface = ImageFont.truetype("/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf", 40)
        common = (12, 18)

        def inked(grey):
            ink = grey.point(lambda v: 255 - v)
            return ink.crop(ink.getbbox()).resize(common, Image.BILINEAR)

        references = []
        for digit in range(10):
            sample = Image.new("L", (40, 50), 255)
            ImageDraw.Draw(sample).text((5, 2), str(digit), font=typeface, fill=0)
            references.append(list(inked(sample).getdata()))
        strip = image_of(141).convert("L")
        for cell in range(10):
            with self.subTest(cell=cell):
                glyph = list(inked(strip.crop((cell * 10, 0, cell * 10 + 10, 9))).getdata())
                distances = [sum(abs(a - b) for a, b in zip(glyph, ref)) for ref in references]
                self.assertEqual(distances.index(min(distances)), cell)

    def test_points_sit_on_the_baseline(self):
        large = ink_box(image_of(133), (0, 0, 6, 21), lambda p: p != BLACK)
        self.assertGreaterEqual(large[1], 14)
        small = ink_box(image_of(140), (0, 0, 5, 9), lambda p: p != WHITE)
        self.assertGreaterEqual(small[1], 6)
        self.assertTrue(all(luminance(p) < 64 for p in pixels(image_of(140)) if p != WHITE))


class Masks(unittest.TestCase):
    def test_masks_are_black_exactly_where_their_image_is_not(self):
        for image_id, mask_id in MASKED.items():
            with self.subTest(image=image_id, mask=mask_id):
                image, mask = pixels(image_of(image_id)), pixels(image_of(mask_id))
                self.assertEqual(set(mask), {BLACK, WHITE})
                wrong = [i for i, (p, m) in enumerate(zip(image, mask)) if (p != BLACK) != (m == BLACK)]
                self.assertEqual(wrong, [], "mask and image disagree at these pixels")

    def test_drag_thumbs_are_the_thumbs_shaded_differently(self):
        for drag_id, thumb_id in layout.DRAG_THUMBS.items():
            with self.subTest(drag=drag_id):
                self.assertNotEqual(pixels(image_of(drag_id)), pixels(image_of(thumb_id)))

    def test_thumbs_are_light_knobs(self):
        for thumb_id in (135, 137, 142, 144):
            with self.subTest(thumb=thumb_id):
                ink = [luminance(p) for p in pixels(image_of(thumb_id)) if p != BLACK]
                self.assertGreater(sum(ink) / len(ink), 100)


class Skins(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.skins = skins()

    def region(self, state, control):
        return pixels(self.skins[state], layout.control_box(control))

    @staticmethod
    def glowing(region):
        """Pixels of warm light: amber or red, bright."""
        return sum(1 for r, g, b in region if r > 200 and r - b > 90)

    def test_every_button_sinks_when_pressed(self):
        for control in layout.CONTROLS:
            if control.kind == layout.LAMP:
                continue
            with self.subTest(control=control.name):
                up, down = self.region("normal", control), self.region("pressed", control)
                self.assertNotEqual(up, down)
                self.assertLess(sum(map(luminance, down)), sum(map(luminance, up)) * 0.85, "pressed is not darker")

    def test_every_toggle_and_lamp_glows_when_lit(self):
        for control in layout.CONTROLS:
            if control.kind == layout.PLAIN:
                continue
            with self.subTest(control=control.name):
                dark, lit = self.region("normal", control), self.region("lit", control)
                self.assertNotEqual(dark, lit)
                self.assertGreaterEqual(self.glowing(lit), self.glowing(dark) + 15)

    def test_lamps_stay_dark_in_the_pressed_skin_and_plain_buttons_up_in_the_lit_one(self):
        for control in layout.CONTROLS:
            with self.subTest(control=control.name):
                if control.kind == layout.LAMP:
                    self.assertEqual(self.region("pressed", control), self.region("normal", control))
                if control.kind == layout.PLAIN:
                    self.assertEqual(self.region("lit", control), self.region("normal", control))

    def test_the_plate_is_the_same_in_every_skin_outside_the_controls(self):
        covered = [layout.control_box(c) for c in layout.CONTROLS] + [layout.SCALE_BAND]
        width, height = self.skins["normal"].size
        for y in range(height):
            for x in range(width):
                if any(l <= x < r and t <= y < b for l, t, r, b in covered):
                    continue
                normal = self.skins["normal"].getpixel((x, y))
                self.assertEqual(self.skins["pressed"].getpixel((x, y)), normal, (x, y))
                self.assertEqual(self.skins["lit"].getpixel((x, y)), normal, (x, y))

    def test_the_readout_place_is_dark_glass(self):
        self.assertEqual(layout.READOUT_BOX, (120, 40, 218, 61))
        glass = [luminance(p) for p in pixels(self.skins["normal"], layout.READOUT_BOX)]
        self.assertLess(max(glass), 48)
        self.assertLess(sum(glass) / len(glass), 20)

    def test_label_places_are_light(self):
        for box in layout.LABEL_BOXES:
            with self.subTest(label=box):
                self.assertEqual(box[2] - box[0], 45)
                self.assertTrue(all(min(p) >= 180 for p in pixels(self.skins["normal"], box)))

    def test_normal_and_pressed_skins_carry_different_dials(self):
        self.assertNotEqual(pixels(self.skins["normal"], layout.SCALE_BAND),
                            pixels(self.skins["pressed"], layout.SCALE_BAND))


class ScaleMarks(unittest.TestCase):
    def test_slider_mapping_matches_the_stated_examples(self):
        self.assertEqual(layout.tuning_offset(880, layout.BAND_USA), 0)
        self.assertEqual(layout.tuning_offset(1079, layout.BAND_USA), 216)
        self.assertEqual(layout.tuning_offset(1080, layout.BAND_USA), 218)
        self.assertEqual(layout.tuning_offset(910, layout.BAND_JAPAN), 218)
        self.assertEqual(layout.volume_offset(79), 160)
        self.assertEqual(layout.volume_offset(40), 200)

    def needle_columns(self):
        """Columns of the thumb where the red hairline runs top to bottom."""
        thumb = image_of(135)
        return [x for x in range(thumb.size[0])
                if all(thumb.getpixel((x, y))[0] > 200 and thumb.getpixel((x, y))[1] < 170
                       for y in range(thumb.size[1]))]

    def check_marks(self, skin, band):
        needle = self.needle_columns()
        self.assertEqual(len(needle), 2)
        for frequency in range((band.low + 9) // 10 * 10, band.high + 1, 10):
            with self.subTest(band=band.name, frequency=frequency):
                x = layout.tuning_offset(frequency, band)
                for row in (79, 101):
                    for column in needle:
                        self.assertGreater(luminance(skin.getpixel((x + column, row))), 150, (x + column, row))
                    for column in (needle[0] - 2, needle[-1] + 2):
                        self.assertLess(luminance(skin.getpixel((x + column, row))), 60, (x + column, row))

    def test_usa_marks_stand_under_the_thumb_on_the_normal_skin(self):
        self.check_marks(bitmap("BK_U.bmp"), layout.BAND_USA)

    def test_japan_marks_stand_under_the_thumb_on_the_pressed_skin(self):
        self.check_marks(bitmap("BK_P.bmp"), layout.BAND_JAPAN)


class LaidOn(unittest.TestCase):
    """The art as the program lays it together."""

    @classmethod
    def setUpClass(cls):
        cls.images = {r.id: image_of(r.id) for r in layout.RESOURCES}
        cls.window = compose.window(skins(), cls.images, compose.Scene(
            layout.BAND_USA, 1088, 71, (881, 945, 985, 1003, 1047, 1069), (), False))

    def test_readout_digits_read_light_on_the_glass(self):
        shown = pixels(self.window, layout.READOUT_BOX)
        bright = [luminance(p) for p in shown if luminance(p) > 100]
        self.assertGreater(len(bright), 150)
        self.assertGreater(sum(bright) / len(bright), 150)

    def test_labels_read_dark_on_their_plates(self):
        for box in layout.LABEL_BOXES:
            with self.subTest(label=box):
                shown = [luminance(p) for p in pixels(self.window, box)]
                ink = [v for v in shown if v < 100]
                self.assertGreater(len(ink), 40)
                self.assertLess(max(ink), 60)
                self.assertTrue(all(v > 180 for v in shown if v >= 100))


class Captions(unittest.TestCase):
    """The small words on the plate read at 100 %: the cores of their strokes
    stand out from what is around them as ordinary text must (a contrast of
    at least 4.5)."""

    def test_every_caption_stands_out_from_its_ground(self):
        import faceplate
        skin = skins()["normal"]
        for caption in layout.CAPTIONS:
            with self.subTest(caption=caption.text):
                self.assertGreaterEqual(caption.size, 7)
                mask = faceplate.caption_mask(caption)
                box = mask.getbbox()
                left, top, right, bottom = box[0] - 1, box[1] - 2, box[2] + 1, box[3] + 1
                ink, ground = [], []
                for y in range(top, bottom):
                    for x in range(left, right):
                        covered = mask.getpixel((x, y))
                        if covered >= 230:
                            ink.append(skin.getpixel((x, y)))
                        # Neither a letter nor the engraved edge above one.
                        elif covered == 0 and (y + 1 >= skin.size[1] or mask.getpixel((x, y + 1)) == 0):
                            ground.append(skin.getpixel((x, y)))
                ground.sort(key=luminance)
                plate = ground[len(ground) // 2]
                self.assertGreater(len(ink), 4 * len(caption.text.replace(" ", "")), "strokes without solid cores")
                ratios = sorted(contrast(p, plate) for p in ink)
                self.assertGreaterEqual(ratios[len(ratios) // 5], 4.5, "faint letters")


class IconAndSound(unittest.TestCase):
    def test_icon_holds_16_32_and_48_pixel_pictures_with_alpha(self):
        entries = bmpfile.read_ico_entries(read(layout.ICON_FILE))
        self.assertEqual([e[:3] for e in entries], [(16, 16, 32), (32, 32, 32), (48, 48, 32)])
        for width, height, bits, dib_width, dib_height, dib_bits in entries:
            self.assertEqual((dib_width, dib_height, dib_bits), (width, height, bits))

    def test_icon_pictures_have_a_shape_on_a_clear_ground(self):
        from PIL import Image
        with Image.open(os.path.join(HERE, layout.ICON_FILE)) as icon:
            for size in layout.ICON_SIZES:
                with self.subTest(size=size):
                    picture = icon.ico.getimage((size, size)).convert("RGBA")
                    alpha = [a for *_, a in picture.getdata()]
                    self.assertEqual(picture.getpixel((0, size - 1))[3], 0)
                    self.assertGreater(sum(1 for a in alpha if a == 255), size * size // 3)

    def small_pictures(self):
        from PIL import Image
        with Image.open(os.path.join(HERE, layout.ICON_FILE)) as icon:
            return {size: icon.ico.getimage((size, size)).convert("RGBA") for size in (16, 32)}

    def test_small_pictures_are_set_on_whole_pixels_with_few_colours(self):
        for size, picture in self.small_pictures().items():
            with self.subTest(size=size):
                pixels_ = list(picture.getdata())
                self.assertEqual({a for *_, a in pixels_}, {0, 255}, "soft edges")
                self.assertLessEqual(len({p for p in pixels_ if p[3]}), 14, "too many shades to read")

    def test_small_pictures_stand_out_on_dark_and_light_taskbars(self):
        """Along the picture's edge, the outer pixel or the one inside it
        contrasts at least 3 to 1 with the taskbar, dark or light."""
        for size, picture in self.small_pictures().items():
            for taskbar in ((32, 32, 32), (243, 243, 243)):
                with self.subTest(size=size, taskbar=taskbar):
                    self.assertGreaterEqual(self.edge_share(picture, taskbar), 0.85)

    @staticmethod
    def edge_share(picture, taskbar):
        width, height = picture.size

        def opaque(x, y):
            return 0 <= x < width and 0 <= y < height and picture.getpixel((x, y))[3] >= 128

        edges = clear = 0
        for y in range(height):
            for x in range(width):
                if not opaque(x, y):
                    continue
                for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)):
                    if opaque(x + dx, y + dy):
                        continue
                    edges += 1
                    best = contrast(picture.getpixel((x, y)), taskbar)
                    if opaque(x - dx, y - dy):
                        best = max(best, contrast(picture.getpixel((x - dx, y - dy)), taskbar))
                    clear += best >= 3
        return clear / edges

    def test_sound_is_a_short_clean_tone(self):
        with wave.open(os.path.join(HERE, layout.SOUND_FILE)) as sound:
            self.assertEqual((sound.getnchannels(), sound.getsampwidth(), sound.getcomptype()), (1, 2, "NONE"))
            seconds = sound.getnframes() / sound.getframerate()
            self.assertTrue(0.15 <= seconds <= 0.8, seconds)
            frames = sound.readframes(sound.getnframes())
        samples = struct.unpack(f"<{len(frames) // 2}h", frames)
        peak = max(abs(s) for s in samples)
        self.assertTrue(8000 < peak < 32767, "too quiet or clipped")
        self.assertLess(abs(samples[0]), 500, "starts with a click")
        self.assertLess(max(abs(s) for s in samples[-20:]), 200, "ends with a click")


if __name__ == "__main__":
    unittest.main(verbosity=2)
