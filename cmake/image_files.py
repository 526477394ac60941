# The Windows image files that the resource scripts draw (imported by
# examples/gallery/make_images.py and tests/toolkit/images/make_test_images.py):
# a bottom-up 24-bit .bmp and a one-image 32-bit .ico, each from a function of
# the pixel; the .ico's mask marks the fully transparent pixels.
import struct


def bitmap(width, height, pixel):
    """A bottom-up 24-bit BMP of pixel(x, y) -> (r, g, b), y down."""
    row_size = (width * 3 + 3) // 4 * 4
    data = bytearray()
    for y in range(height - 1, -1, -1):
        row = bytearray()
        for x in range(width):
            r, g, b = pixel(x, y)
            row += bytes((b, g, r))
        data += row + bytes(row_size - len(row))
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(data), 0, 0, 14 + 40)
    return header + info + bytes(data)


def icon(size, pixel):
    """A .ico with one 32-bit image of size x size from pixel(x, y) ->
    (r, g, b, alpha), y down, in straight (not premultiplied) alpha."""
    pixels = bytearray()
    mask = bytearray()
    mask_row = (size + 31) // 32 * 4
    for y in range(size - 1, -1, -1):
        bits = 0
        for x in range(size):
            r, g, b, a = pixel(x, y)
            pixels += bytes((b, g, r, a))
            bits = bits << 1 | (1 if a == 0 else 0)
        mask += bits.to_bytes(size // 8, "big") + bytes(mask_row - size // 8)
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(pixels) + len(mask),
                       0, 0, 0, 0)
    image = info + bytes(pixels) + bytes(mask)
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(image), 6 + 16)
    return directory + entry + image
