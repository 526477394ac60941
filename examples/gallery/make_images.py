#!/usr/bin/env python3
# Draws the gallery's two pictures and writes them next to this script:
# landscape.bmp, a 48x48 24-bit bitmap of hills under an evening sky, and
# star.ico, a 32x32 32-bit icon of a gold star with soft (alpha) edges.
# Usage: make_images.py
import math
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "cmake"))
import image_files  # noqa: E402


def mix(a, b, t):
    t = max(0.0, min(1.0, t))
    return tuple(round(x + (y - x) * t) for x, y in zip(a, b))


def landscape(x, y, size):
    """The colour (r, g, b) at pixel (x, y) of the landscape, y down."""
    u, v = (x + 0.5) / size, (y + 0.5) / size
    colour = mix((40, 70, 150), (250, 170, 90), v / 0.7)           # sky
    sun = math.hypot(u - 0.68, v - 0.42)
    if sun < 0.13:
        colour = mix((255, 240, 170), colour, (sun - 0.10) / 0.03)
    far = 0.62 + 0.08 * math.sin(u * 7.0 + 1.0)                      # far hills
    if v > far:
        colour = mix((90, 110, 150), (70, 90, 120), (v - far) / 0.2)
    near = 0.74 + 0.06 * math.sin(u * 4.0 + 3.0)                     # near hills
    if v > near:
        colour = mix((70, 140, 60), (30, 80, 35), (v - near) / 0.25)
    return colour


def star_coverage(x, y, size):
    """How much of pixel (x, y) the five-pointed star covers, 0 to 1, by
    4 x 4 supersampling."""
    inside = 0
    for sy in range(4):
        for sx in range(4):
            px = (x + (sx + 0.5) / 4) / size * 2 - 1
            py = (y + (sy + 0.5) / 4) / size * 2 - 1.08
            angle = math.atan2(px, -py) % (2 * math.pi / 5)
            sector = abs(angle - math.pi / 5) / (math.pi / 5)        # 0 mid-edge, 1 at a point
            outer, inner = 0.95, 0.40
            radius = inner + (outer - inner) * sector ** 2.2
            inside += math.hypot(px, py) <= radius
    return inside / 16


def star_pixel(x, y, size):
    """The star's colour and alpha (r, g, b, a) at pixel (x, y), y down."""
    r, g, b = mix((255, 225, 90), (215, 140, 20), y / size)
    return r, g, b, round(star_coverage(x, y, size) * 255)


with open(os.path.join(HERE, "landscape.bmp"), "wb") as f:
    f.write(image_files.bitmap(48, 48, lambda x, y: landscape(x, y, 48)))
with open(os.path.join(HERE, "star.ico"), "wb") as f:
    f.write(image_files.icon(32, lambda x, y: star_pixel(x, y, 32)))
