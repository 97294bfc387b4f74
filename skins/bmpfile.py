"""Plain Windows bitmap and icon files, written by hand so that every byte is
ours: no compression, no colour profile, no time stamp, the same bytes on
every run. LoadImageA and the resource compiler read these without help."""

import struct

from PIL import Image

FILE_HEADER = struct.Struct("<2sIHHI")
INFO_HEADER = struct.Struct("<IiiHHIIiiII")
PIXELS_PER_METRE = 2835  # 72 dpi, the customary value; Windows ignores it
BI_RGB = 0


def _row_stride(width, bits):
    return (width * bits + 31) // 32 * 4


def bmp_bytes(image):
    """A 24-bit, bottom-up, uncompressed BMP of an RGB image."""
    image = image.convert("RGB")
    width, height = image.size
    stride = _row_stride(width, 24)
    padding = b"\0" * (stride - width * 3)
    raw = image.tobytes("raw", "BGR")
    rows = [raw[y * width * 3:(y + 1) * width * 3] + padding for y in reversed(range(height))]
    pixels = b"".join(rows)
    offset = FILE_HEADER.size + INFO_HEADER.size
    return (FILE_HEADER.pack(b"BM", offset + len(pixels), 0, 0, offset)
            + INFO_HEADER.pack(INFO_HEADER.size, width, height, 1, 24, BI_RGB, len(pixels),
                               PIXELS_PER_METRE, PIXELS_PER_METRE, 0, 0)
            + pixels)


def read_bmp(data):
    """Header fields and RGB image of a BMP written by bmp_bytes (or any
    uncompressed 24-bit bottom-up BMP); raises ValueError otherwise."""
    magic, file_size, _, _, offset = FILE_HEADER.unpack_from(data)
    (header_size, width, height, planes, bits, compression, image_size,
     _, _, colours_used, _) = INFO_HEADER.unpack_from(data, FILE_HEADER.size)
    header = dict(magic=magic, file_size=file_size, offset=offset, header_size=header_size,
                  width=width, height=height, planes=planes, bits=bits,
                  compression=compression, image_size=image_size, colours_used=colours_used)
    if magic != b"BM" or bits != 24 or compression != BI_RGB or height <= 0 or planes != 1:
        raise ValueError(f"not a plain 24-bit bottom-up bitmap: {header}")
    stride = _row_stride(width, 24)
    rows = [data[offset + y * stride:offset + y * stride + width * 3] for y in reversed(range(height))]
    return header, Image.frombytes("RGB", (width, height), b"".join(rows), "raw", "BGR")


def ico_bytes(images):
    """An icon file with one 32-bit BGRA entry (and its AND mask) per RGBA
    image. DIB entries rather than PNG ones, so every Windows version and
    every resource compiler takes them."""
    directory = struct.pack("<HHH", 0, 1, len(images))
    entries, bodies = [], []
    offset = len(directory) + 16 * len(images)
    for image in images:
        width, height = image.size
        rgba = image.convert("RGBA")
        colour = rgba.tobytes("raw", "BGRA")
        xor_rows = [colour[y * width * 4:(y + 1) * width * 4] for y in reversed(range(height))]
        alpha = rgba.getchannel("A")
        mask_stride = _row_stride(width, 1)
        and_rows = []
        for y in reversed(range(height)):
            bits = bytearray(mask_stride)
            for x in range(width):
                if alpha.getpixel((x, y)) == 0:
                    bits[x // 8] |= 0x80 >> (x % 8)
            and_rows.append(bytes(bits))
        pixels = b"".join(xor_rows) + b"".join(and_rows)
        body = INFO_HEADER.pack(INFO_HEADER.size, width, 2 * height, 1, 32, BI_RGB, len(pixels),
                                0, 0, 0, 0) + pixels
        entries.append(struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, 32, len(body), offset))
        bodies.append(body)
        offset += len(body)
    return directory + b"".join(entries) + b"".join(bodies)


def read_ico_entries(data):
    """(width, height, bit count) of every entry of an icon file."""
    _, kind, count = struct.unpack_from("<HHH", data)
    if kind != 1:
        raise ValueError("not an icon file")
    found = []
    for index in range(count):
        width, height, _, _, _, bits, size, offset = struct.unpack_from("<BBBBHHII", data, 6 + 16 * index)
        header = INFO_HEADER.unpack_from(data, offset)
        found.append((width or 256, height or 256, bits, header[1], header[2] // 2, header[4]))
    return found
