#!/usr/bin/env python3
"""Draws Keymoor's images and writes them in the Windows formats the .rc file compiles.

  keymoor.ico  application icon: a padlock, 16, 20, 24, 32, 40, 48 and 64 pixels square at
               24 bits with a mask, and 256 pixels as a PNG image with alpha
  hand.cur     link cursor: a pointing hand, 32 x 32 monochrome, hot spot at the fingertip (5, 0)
  about.bmp    About box picture: 65 x 274, 24 bits

Standard library only; the output is the same on every run. The build uses the committed
files, so this runs only when a picture changes:  python3 resources/make_images.py
"""

import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


def bitmap_info_header(width, height, bit_count, image_size, colors_used=0):
    # BITMAPINFOHEADER, uncompressed (BI_RGB).
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, bit_count, 0, image_size, 0, 0, colors_used, 0)


def row_stride(width, bit_count):
    return (width * bit_count + 31) // 32 * 4


def pixels_24(pixels, width, height):
    """Bottom-up rows of BGR bytes, each row padded to 4 bytes. pixels[y][x] is (r, g, b)."""
    stride = row_stride(width, 24)
    out = bytearray()
    for y in reversed(range(height)):
        row = bytearray()
        for r, g, b in pixels[y]:
            row += bytes((b, g, r))
        out += row + bytes(stride - len(row))
    return bytes(out)


def pixels_1(bits, width, height):
    """Bottom-up rows of 1-bit pixels, most significant bit first. bits[y][x] is 0 or 1."""
    stride = row_stride(width, 1)
    out = bytearray()
    for y in reversed(range(height)):
        row = bytearray(stride)
        for x in range(width):
            if bits[y][x]:
                row[x // 8] |= 0x80 >> (x % 8)
        out += row
    return bytes(out)


# --- Icon: a padlock ---------------------------------------------------------------------

GOLD = (226, 170, 40)
GOLD_LIGHT = (250, 214, 110)
GOLD_DARK = (140, 92, 12)
STEEL = (150, 158, 170)
STEEL_DARK = (70, 76, 88)
KEYHOLE = (48, 32, 8)


def padlock(size):
    """Returns size x size pixels: (r, g, b) or None where the icon is transparent."""
    body_left, body_right = round(size * 0.16), round(size * 0.84)
    body_top, body_bottom = round(size * 0.44), size - max(1, size // 16)
    cx = size / 2
    shackle_outer, shackle_inner = size * 0.30, size * 0.17
    shackle_cy = body_top
    shackle_top = round(shackle_cy - shackle_outer)
    hole_cy, hole_r = body_top + (body_bottom - body_top) * 0.38, max(1.0, size * 0.07)
    slot_half, slot_bottom = max(0.5, size * 0.035), body_top + (body_bottom - body_top) * 0.78

    pixels = []
    for y in range(size):
        row = []
        for x in range(size):
            px, py = x + 0.5, y + 0.5
            colour = None
            if body_left <= x < body_right and body_top <= y < body_bottom:
                edge = x in (body_left, body_right - 1) or y in (body_top, body_bottom - 1)
                in_hole = math.hypot(px - cx, py - hole_cy) <= hole_r or (
                    abs(px - cx) <= slot_half and hole_cy <= py <= slot_bottom)
                if edge:
                    colour = GOLD_DARK
                elif in_hole:
                    colour = KEYHOLE
                elif y < body_top + max(1, size // 10):
                    colour = GOLD_LIGHT
                else:
                    colour = GOLD
            elif shackle_top <= y < body_top:
                d = math.hypot(px - cx, py - shackle_cy) if py < shackle_cy else abs(px - cx)
                if py < shackle_cy and shackle_inner <= d <= shackle_outer:
                    rim = d - shackle_inner < 1 or shackle_outer - d < 1
                    colour = STEEL_DARK if rim else STEEL
            row.append(colour)
        pixels.append(row)
    return pixels


def icon_image(pixels, size):
    """One icon image: header (height doubled for the two masks), 24-bit colours, AND mask."""
    colours = [[c if c is not None else (0, 0, 0) for c in row] for row in pixels]
    mask = [[1 if c is None else 0 for c in row] for row in pixels]
    xor = pixels_24(colours, size, size)
    and_mask = pixels_1(mask, size, size)
    return bitmap_info_header(size, size * 2, 24, len(xor) + len(and_mask)) + xor + and_mask


def png_image(pixels, size):
    """One icon image as a PNG file: 8-bit RGBA, transparent where the icon is."""
    raw = bytearray()
    for row in pixels:
        raw.append(0)  # filter: none
        for c in row:
            raw += bytes(c + (255,)) if c is not None else bytes(4)

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + \
        chunk(b"IEND", b"")


# Sizes from this one on are stored as PNG, as large icons usually are: far smaller.
PNG_FROM = 256


def write_icon(path, sizes):
    images = [png_image(padlock(s), s) if s >= PNG_FROM else icon_image(padlock(s), s) for s in sizes]
    data = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip(sizes, images):
        bits = 32 if size >= PNG_FROM else 24
        # A width or height of 256 is written as 0.
        data += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, bits, len(image), offset)
        offset += len(image)
    write(path, data + b"".join(images))


# --- Cursor: a pointing hand -------------------------------------------------------------

# '#' black, '.' white, ' ' transparent. The tip of the index finger is at column 5, row 0.
HAND = [
    "     ##",
    "    #..#",
    "    #..#",
    "    #..#",
    "    #..#",
    "    #..###",
    "    #..#..###",
    "    #..#..#..###",
    " ## #..#..#..#..#",
    "#..##..#..#..#..#",
    "#...#..........#",
    " #.............#",
    " #.............#",
    "  #............#",
    "  #............#",
    "   #...........#",
    "   #..........#",
    "    #.........#",
    "    #.........#",
    "     #........#",
    "     ##########",
]
HAND_HOT_SPOT = (5, 0)


def write_cursor(path, size=32):
    rows = [line.ljust(size) for line in HAND] + [" " * size] * (size - len(HAND))
    # Monochrome cursor: AND 0 / XOR 0 is black, AND 0 / XOR 1 white, AND 1 / XOR 0 transparent.
    xor = [[1 if ch == "." else 0 for ch in row] for row in rows]
    and_mask = [[1 if ch == " " else 0 for ch in row] for row in rows]
    palette = bytes((0, 0, 0, 0, 255, 255, 255, 0))
    bits = pixels_1(xor, size, size) + pixels_1(and_mask, size, size)
    image = bitmap_info_header(size, size * 2, 1, len(bits), 2) + palette + bits
    hot_x, hot_y = HAND_HOT_SPOT
    data = struct.pack("<HHH", 0, 2, 1)
    data += struct.pack("<BBBBHHII", size, size, 2, 0, hot_x, hot_y, len(image), 6 + 16)
    write(path, data + image)


# --- About picture: a key on a night-blue band -------------------------------------------

def about_picture(width=65, height=274):
    cx = width / 2
    bow_cy, bow_outer, bow_inner = 52.0, 20.0, 10.0
    shaft_half, shaft_top, shaft_bottom = 4.0, bow_cy + bow_outer - 2, 232.0
    bits = [(206, 6), (218, 9), (230, 6)]  # (top row of a bit, its length to the right)
    pixels = []
    for y in range(height):
        t = y / (height - 1)
        background = (round(16 + 20 * t), round(40 + 70 * t), round(96 + 60 * t))
        row = []
        for x in range(width):
            px, py = x + 0.5, y + 0.5
            # Faint diagonal hatching gives the band some texture.
            shade = 6 if (x + y) % 12 < 2 else 0
            colour = tuple(min(255, c + shade) for c in background)
            d = math.hypot(px - cx, py - bow_cy)
            in_bow = bow_inner <= d <= bow_outer
            in_shaft = abs(px - cx) <= shaft_half and shaft_top <= py <= shaft_bottom
            in_bit = any(top <= py <= top + 7 and cx <= px <= cx + shaft_half + length for top, length in bits)
            if in_bow or in_shaft or in_bit:
                # Brass, lit from the upper left.
                light = 1.0 - 0.35 * ((px / width) * 0.5 + (py / height) * 0.5)
                colour = (round(236 * light), round(190 * light), round(72 * light))
            row.append(colour)
        pixels.append(row)
    return pixels


def write_bitmap(path, pixels, width, height):
    bits = pixels_24(pixels, width, height)
    info = bitmap_info_header(width, height, 24, len(bits))
    file_header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(bits), 0, 0, 14 + len(info))
    write(path, file_header + info + bits)


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


def main():
    write_icon(os.path.join(HERE, "keymoor.ico"), [16, 20, 24, 32, 40, 48, 64, 256])
    write_cursor(os.path.join(HERE, "hand.cur"))
    write_bitmap(os.path.join(HERE, "about.bmp"), about_picture(), 65, 274)


if __name__ == "__main__":
    main()
