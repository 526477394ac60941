#!/usr/bin/env python3
# Writes the image resources of the image-control tests into this folder:
# small 24-bit bitmaps of one colour each (with a one-pixel white corner, so a
# bitmap upside down shows) and a 32x32 icon of one colour with a transparent
# edge. Usage: make_test_images.py
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def bitmap(width, height, colour):
    """A bottom-up 24-bit BMP filled with colour (r, g, b); the top-left
    pixel is white."""
    row_size = (width * 3 + 3) // 4 * 4
    rows = []
    for y in range(height - 1, -1, -1):
        row = bytearray()
        for x in range(width):
            r, g, b = (255, 255, 255) if (x, y) == (0, 0) else colour
            row += bytes((b, g, r))
        row += bytes(row_size - len(row))
        rows.append(bytes(row))
    pixels = b"".join(rows)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    return header + info + pixels


def icon(size, colour):
    """A .ico with one 32-bit image of size x size, colour (r, g, b) inside a
    transparent one-pixel edge."""
    r, g, b = colour
    pixels = bytearray()
    mask = bytearray()
    mask_row = (size + 31) // 32 * 4
    for y in range(size - 1, -1, -1):
        bits = 0
        for x in range(size):
            edge = x in (0, size - 1) or y in (0, size - 1)
            pixels += bytes((0, 0, 0, 0)) if edge else bytes((b, g, r, 255))
            bits = bits << 1 | (1 if edge else 0)
        mask += bits.to_bytes(size // 8, "big") + bytes(mask_row - size // 8)
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(pixels) + len(mask),
                       0, 0, 0, 0)
    image = info + bytes(pixels) + bytes(mask)
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(image), 6 + 16)
    return directory + entry + image


FILES = {
    "red_16x12.bmp": bitmap(16, 12, (255, 0, 0)),
    "green_20x10.bmp": bitmap(20, 10, (0, 160, 0)),
    "blue_8x8.bmp": bitmap(8, 8, (0, 0, 255)),
    "purple_32.ico": icon(32, (128, 0, 160)),
}

for name, data in FILES.items():
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data)
