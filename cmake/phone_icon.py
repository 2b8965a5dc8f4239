#!/usr/bin/env python3
"""Draws the menu icon of one of the suite's programs as a PNG: a rounded
square in the program's colour with its two-letter mark in white.

    phone_icon.py <output.png> <size> <#rrggbb> <mark>
"""
import struct
import sys
import zlib

# 5 x 7 glyphs of the marks' letters, one string per row.
GLYPHS = {
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    "D": ["11110", "10001", "10001", "10001", "10001", "10001", "11110"],
    "F": ["11111", "10000", "10000", "11110", "10000", "10000", "10000"],
    "K": ["10001", "10010", "10100", "11000", "10100", "10010", "10001"],
    "L": ["10000", "10000", "10000", "10000", "10000", "10000", "11111"],
    "N": ["10001", "11001", "10101", "10011", "10001", "10001", "10001"],
    "P": ["11110", "10001", "10001", "11110", "10000", "10000", "10000"],
    "S": ["01111", "10000", "10000", "01110", "00001", "00001", "11110"],
    "1": ["00100", "01100", "00100", "00100", "00100", "00100", "01110"],
    "2": ["01110", "10001", "00001", "00010", "00100", "01000", "11111"],
}


def png(path, size, pixels):
    raw = b"".join(b"\x00" + bytes(row) for row in pixels)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
                + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def main():
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    out, size, colour, mark = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4]
    r, g, b = (int(colour[i:i + 2], 16) for i in (1, 3, 5))
    radius = size // 5
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            # Inside the rounded square? Corners are quarter circles.
            cx = min(max(x, radius), size - 1 - radius)
            cy = min(max(y, radius), size - 1 - radius)
            inside = (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2
            row += [r, g, b, 255] if inside else [0, 0, 0, 0]
        rows.append(row)
    # The mark: its letters side by side with a one-column gap, scaled to
    # fill about 60 % of the width, centred.
    cols = 6 * len(mark) - 1
    scale = max(1, (size * 6 // 10) // cols)
    left = (size - cols * scale) // 2
    top = (size - 7 * scale) // 2
    for i, letter in enumerate(mark):
        glyph = GLYPHS[letter]
        for gy, line in enumerate(glyph):
            for gx, bit in enumerate(line):
                if bit != "1":
                    continue
                for dy in range(scale):
                    for dx in range(scale):
                        x = left + (6 * i + gx) * scale + dx
                        y = top + gy * scale + dy
                        rows[y][4 * x:4 * x + 4] = [255, 255, 255, 255]
    png(out, size, rows)


if __name__ == "__main__":
    main()
