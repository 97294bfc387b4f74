#!/usr/bin/python3
"""Draws every piece of the radio's art into a folder (this one by default):
the three skins, the program's bitmap resources, its icon and its sound.

    skins/generate.py [folder]

Run it with Debian's own Python 3 (python3-pil, fonts-dejavu-core): the
files are compared byte for byte with the ones kept in the repository, and
another Pillow or FreeType may set text a pixel differently."""

import os
import sys

# The art is drawn from the source tree; leave no compiled files in it.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import bmpfile  # noqa: E402
import faceplate  # noqa: E402
import glyphs  # noqa: E402
import icon  # noqa: E402
import layout  # noqa: E402
import sound  # noqa: E402


def art_files():
    """Every output file's name and bytes."""
    files = {}
    for name, image in faceplate.skins().items():
        files[layout.SKIN_FILES[name]] = bmpfile.bmp_bytes(image)
    images = glyphs.resource_images()
    for resource in layout.RESOURCES:
        files[resource.file] = bmpfile.bmp_bytes(images[resource.id])
    files[layout.ICON_FILE] = bmpfile.ico_bytes(icon.icon_images(layout.ICON_SIZES))
    files[layout.SOUND_FILE] = sound.wav_bytes()
    return files


def write_art(folder):
    os.makedirs(folder, exist_ok=True)
    for name, data in art_files().items():
        with open(os.path.join(folder, name), "wb") as out:
            out.write(data)


def main(argv):
    if len(argv) > 2:
        sys.exit(__doc__)
    write_art(argv[1] if len(argv) == 2 else os.path.dirname(os.path.abspath(__file__)))


if __name__ == "__main__":
    main(sys.argv)
