#!/usr/bin/env python3
"""Draws the patchers' application icon (a disc with a French flag) into a multi-size .ico file.

The picture is described by shapes in a unit square and rendered at each size with 4x4
supersampling, so every size is drawn for its own grid rather than scaled down from a large one.
The sizes up to 64 are stored as 32-bit bitmaps with their AND mask, the 256 one as PNG, as the
Windows shell expects of a modern icon. The output is deterministic: run it again and the file is
the same byte for byte (the resource test checks the committed icon against it).

    python3 resources/make_icon.py resources/frpatch.ico
    python3 resources/make_icon.py --check resources/frpatch.ico   # exit 1 when they differ
"""

import math
import struct
import sys
import zlib

SIZES = (16, 24, 32, 48, 64, 256)
PNG_FROM = 256  # sizes from this one on are stored as PNG
SUPERSAMPLE = 4

DISC_RADIUS = 0.47
HUB_RADIUS = 0.17
HOLE_RADIUS = 0.075
FLAG = (0.50, 0.56, 0.97, 0.90)  # left, top, right, bottom
FLAG_BORDER = 0.025
STRIPES = ((0, 85, 164), (255, 255, 255), (239, 65, 53))  # blue, white, red
OUTLINE = (40, 44, 56)


def disc_colour(x, y):
    """The disc's colour at (x, y), or None outside it: silver rings with a diagonal glint."""
    dx, dy = x - 0.5, y - 0.5
    r = math.hypot(dx, dy)
    if r > DISC_RADIUS or r < HOLE_RADIUS:
        return None
    if r > DISC_RADIUS - 0.03 or r < HOLE_RADIUS + 0.015:
        return OUTLINE
    if r < HUB_RADIUS:
        return (212, 216, 224) if r < HUB_RADIUS - 0.02 else (150, 156, 170)
    angle = math.atan2(dy, dx)
    glint = 0.5 + 0.5 * math.cos(2 * (angle + math.pi / 4))  # brightest along one diagonal
    groove = 0.06 * math.sin(r * 120)  # faint tracks
    level = 0.62 + 0.33 * glint + groove
    tint = (0.86 + 0.10 * math.sin(angle * 3), 0.92, 1.0)  # a hint of the data side's colours
    return tuple(max(0, min(255, int(255 * level * t))) for t in tint)


def flag_colour(x, y):
    left, top, right, bottom = FLAG
    if not (left <= x <= right and top <= y <= bottom):
        return None
    if x < left + FLAG_BORDER or x > right - FLAG_BORDER or y < top + FLAG_BORDER or y > bottom - FLAG_BORDER:
        return OUTLINE
    stripe = min(2, int((x - left - FLAG_BORDER) / (right - left - 2 * FLAG_BORDER) * 3))
    return STRIPES[stripe]


def sample(x, y):
    """Colour and coverage (0 or 1) of one sample point; the flag lies over the disc."""
    for shape in (flag_colour, disc_colour):
        colour = shape(x, y)
        if colour is not None:
            return colour, 1
    return (0, 0, 0), 0


def render(size):
    """Rows of (r, g, b, a) pixels, top row first, alpha premultiplied out again."""
    rows = []
    step = 1.0 / (size * SUPERSAMPLE)
    for py in range(size):
        row = []
        for px in range(size):
            red = green = blue = covered = 0
            for sy in range(SUPERSAMPLE):
                for sx in range(SUPERSAMPLE):
                    x = (px * SUPERSAMPLE + sx + 0.5) * step
                    y = (py * SUPERSAMPLE + sy + 0.5) * step
                    (r, g, b), c = sample(x, y)
                    red += r * c
                    green += g * c
                    blue += b * c
                    covered += c
            if covered == 0:
                row.append((0, 0, 0, 0))
                continue
            alpha = round(255 * covered / SUPERSAMPLE ** 2)
            row.append((round(red / covered), round(green / covered), round(blue / covered), alpha))
        rows.append(row)
    return rows


def bitmap_image(rows):
    """A 32-bit icon bitmap: header with the doubled height, BGRA rows bottom-up, AND mask."""
    size = len(rows)
    mask_stride = ((size + 31) // 32) * 4
    pixels = bytearray()
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, (r, g, b, a) in enumerate(row):
            pixels += bytes((b, g, r, a))
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0)
    return header + bytes(pixels) + bytes(mask)


def png_image(rows):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    size = len(rows)
    raw = b"".join(b"\0" + bytes(v for pixel in row for v in pixel) for row in rows)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def icon_file(sizes=SIZES):
    images = [png_image(render(size)) if size >= PNG_FROM else bitmap_image(render(size)) for size in sizes]
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip(sizes, images):
        side = size % 256  # 0 stands for 256
        directory += struct.pack("<BBBBHHII", side, side, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    return directory + b"".join(images)


def main():
    arguments = sys.argv[1:]
    checking = arguments[:1] == ["--check"]
    if checking:
        arguments = arguments[1:]
    if len(arguments) != 1:
        sys.exit("usage: make_icon.py [--check] ICON.ico")
    drawn = icon_file()
    if not checking:
        with open(arguments[0], "wb") as output:
            output.write(drawn)
        return 0
    with open(arguments[0], "rb") as committed:
        if committed.read() != drawn:
            print("FAILED: %s is not what make_icon.py draws; run it again" % arguments[0])
            return 1
    print("PASSED: %s is what make_icon.py draws" % arguments[0])
    return 0


if __name__ == "__main__":
    sys.exit(main())
