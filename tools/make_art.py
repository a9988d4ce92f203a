#!/usr/bin/env python3
"""Draws the program's pictures: the icon (48 x 48, 32 bpp) and the menu-icon bitmap
(12 x 12, 8 bpp). Run it after changing the drawing; the results are kept in res/."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
RES = os.path.join(HERE, "..", "res")

BRAND = (160, 0, 0)


def coverage(inside, x, y, samples=4):
    """Fraction of pixel (x, y) that the shape covers, by supersampling."""
    hits = 0
    for i in range(samples):
        for j in range(samples):
            if inside(x + (i + 0.5) / samples, y + (j + 0.5) / samples):
                hits += 1
    return hits / (samples * samples)


def rounded_rect(left, top, right, bottom, radius):
    def inside(px, py):
        if not (left <= px < right and top <= py < bottom):
            return False
        cx = min(max(px, left + radius), right - radius)
        cy = min(max(py, top + radius), bottom - radius)
        return (px - cx) ** 2 + (py - cy) ** 2 <= radius ** 2
    return inside


def icon_pixels(size=48):
    """A dark-red rounded tile with three white news lines: a bold headline and two
    shorter lines of text, chunky enough to read at 16 pixels."""
    s = size / 48.0
    tile = rounded_rect(2 * s, 2 * s, 46 * s, 46 * s, 9 * s)
    lines = [rounded_rect(10 * s, 11 * s, 38 * s, 19 * s, 2.5 * s),
             rounded_rect(10 * s, 23 * s, 38 * s, 28 * s, 2 * s),
             rounded_rect(10 * s, 32 * s, 30 * s, 37 * s, 2 * s)]
    pixels = []
    for y in range(size):
        row = []
        for x in range(size):
            a = coverage(tile, x, y)
            white = max(coverage(line, x, y) for line in lines)
            shade = 1.0 - 0.25 * (y / size)  # a little lighter at the top
            r, g, b = (int(c * (0.8 + 0.2 * shade)) for c in BRAND)
            r = round(r + (255 - r) * white)
            g = round(g + (255 - g) * white)
            b = round(b + (255 - b) * white)
            row.append((r, g, b, round(255 * a)))
        pixels.append(row)
    return pixels


def write_icon(path, pixels):
    size = len(pixels)
    xor = b"".join(struct.pack("BBBB", b, g, r, a) for row in reversed(pixels) for (r, g, b, a) in row)
    mask_row = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(pixels):
        bits = bytearray(mask_row)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    image = header + xor + bytes(mask)
    directory = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), 22)
    with open(path, "wb") as f:
        f.write(directory + image)


def write_menu_bitmap(path):
    """A small dark triangle pointing down on the dialog's face colour: 'a menu opens here'."""
    size = 12
    face, ink = (240, 240, 240), (64, 64, 64)
    palette = [face, ink] + [(0, 0, 0)] * 254
    rows = []
    for y in range(size):
        row = bytearray(size)
        for x in range(size):
            # triangle with its top edge on row 4 from x 2 to 9, its tip at row 8
            if 4 <= y <= 8 and 2 + (y - 4) <= x <= 9 - (y - 4):
                row[x] = 1
        rows.append(bytes(row) + b"\0" * ((4 - size % 4) % 4))
    pixels = b"".join(reversed(rows))
    info = struct.pack("<IiiHHIIiiII", 40, size, size, 1, 8, 0, len(pixels), 2835, 2835, 256, 0)
    colours = b"".join(struct.pack("BBBB", b, g, r, 0) for (r, g, b) in palette)
    offset = 14 + len(info) + len(colours)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    with open(path, "wb") as f:
        f.write(header + info + colours + pixels)


if __name__ == "__main__":
    write_icon(os.path.join(RES, "Lullcast.ico"), icon_pixels())
    write_menu_bitmap(os.path.join(RES, "MenuIcon.bmp"))
