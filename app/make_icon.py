#!/usr/bin/env python3
# Draws the program's icon, a gold padlock with a dark keyhole, and writes it
# as a Windows .ico with a 32x32 and a 16x16 image in 16 colours (4 bits per
# pixel, transparency from the AND mask). Usage: make_icon.py [OUTPUT.ico]
import math
import os
import struct
import sys

# The standard 16-colour palette, as (red, green, blue).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, OLIVE, SILVER, GREY, YELLOW, WHITE, NAVY = 0, 3, 7, 8, 11, 15, 4
CLEAR = None


def in_body(x, y):
    """Rounded rectangle of the lock's body, on a 32-unit grid."""
    left, top, right, bottom, r = 5.0, 14.0, 27.0, 30.0, 2.5
    if not (left <= x <= right and top <= y <= bottom):
        return False
    cx = min(max(x, left + r), right - r)
    cy = min(max(y, top + r), bottom - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def in_shackle(x, y, thick):
    """The bow: a half ring over the body with two legs down into it."""
    cx, cy = 16.0, 12.0
    outer, inner = (10.0, 4.5) if thick else (9.0, 5.5)
    if y <= cy:
        d = math.hypot(x - cx, y - cy)
        return inner <= d <= outer
    return y <= 15.0 and (cx - outer <= x <= cx - inner or cx + inner <= x <= cx + outer)


def in_keyhole(x, y):
    if math.hypot(x - 16.0, y - 20.5) <= 2.6:
        return True
    return 20.5 <= y <= 26.0 and abs(x - 16.0) <= 1.0 + (y - 20.5) * 0.12


def shape(x, y, thick):
    """What lies at a point of the 32-unit grid: 'body', 'hole', 'shackle' or
    None; a small image gets a thicker bow so that it keeps an inside."""
    if in_body(x, y):
        return 'hole' if in_keyhole(x, y) else 'body'
    if in_shackle(x, y, thick):
        return 'shackle'
    return None


def draw(size):
    """Rows of palette indices (CLEAR where transparent), top row first."""
    s = 32.0 / size
    kinds = [[shape((px + 0.5) * s, (py + 0.5) * s, size <= 16) for px in range(size)] for py in range(size)]
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            kind = kinds[py][px]
            if kind is None:
                row.append(CLEAR)
                continue
            edge = any(
                not (0 <= px + dx < size and 0 <= py + dy < size)
                or kinds[py + dy][px + dx] is None
                or (kinds[py + dy][px + dx] == 'shackle') != (kind == 'shackle')
                for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)))
            x = (px + 0.5) * s
            y = (py + 0.5) * s
            if kind == 'hole':
                row.append(NAVY if size > 16 else BLACK)
            elif edge:
                row.append(BLACK)
            elif kind == 'shackle':
                row.append(WHITE if x < 16.0 - 6.5 and size > 16 else SILVER if x < 20 else GREY)
            else:
                row.append(OLIVE if y > 26.5 or x > 23.5 else YELLOW)
        rows.append(row)
    return rows


def icon_image(size):
    """BITMAPINFOHEADER, palette, 4-bit colour rows and 1-bit mask rows, bottom up."""
    rows = draw(size)
    color_stride = ((size * 4 + 31) // 32) * 4
    mask_stride = ((size + 31) // 32) * 4
    color = bytearray()
    mask = bytearray()
    for row in reversed(rows):
        line = bytearray(color_stride)
        bits = bytearray(mask_stride)
        for px, value in enumerate(row):
            index = 0 if value is CLEAR else value
            line[px // 2] |= index << (4 if px % 2 == 0 else 0)
            if value is CLEAR:
                bits[px // 8] |= 0x80 >> (px % 8)
        color += line
        mask += bits
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0,
                         len(color) + len(mask), 0, 0, 16, 0)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in PALETTE)
    return header + palette + bytes(color) + bytes(mask)


def write_icon(path, sizes=(32, 16)):
    images = [icon_image(size) for size in sizes]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip(sizes, images):
        out += struct.pack('<BBBBHHII', size, size, 16, 0, 1, 4, len(image), offset)
        offset += len(image)
    with open(path, 'wb') as f:
        f.write(out + b''.join(images))


if __name__ == '__main__':
    here = os.path.dirname(os.path.abspath(__file__))
    write_icon(sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, 'vornelle.ico'))
