#!/usr/bin/env python3
# Writes the image resources of the image-control tests into this folder:
# small 24-bit bitmaps of one colour each (with a one-pixel white corner, so a
# bitmap upside down shows) and a 32x32 icon of one colour with a transparent
# edge. Usage: make_test_images.py
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "..", "cmake"))
import image_files  # noqa: E402


def bitmap(width, height, colour):
    """A 24-bit BMP filled with colour (r, g, b); the top-left pixel is white."""
    return image_files.bitmap(
        width, height, lambda x, y: (255, 255, 255) if (x, y) == (0, 0) else colour)


def icon(size, colour):
    """A 32-bit .ico of size x size, colour (r, g, b) inside a transparent
    one-pixel edge."""
    def pixel(x, y):
        edge = x in (0, size - 1) or y in (0, size - 1)
        return (0, 0, 0, 0) if edge else colour + (255,)
    return image_files.icon(size, pixel)


FILES = {
    "red_16x12.bmp": bitmap(16, 12, (255, 0, 0)),
    "green_20x10.bmp": bitmap(20, 10, (0, 160, 0)),
    "blue_8x8.bmp": bitmap(8, 8, (0, 0, 255)),
    "purple_32.ico": icon(32, (128, 0, 160)),
}

for name, data in FILES.items():
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data)
