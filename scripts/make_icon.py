#!/usr/bin/env python3
"""Writes src/ui/icon.ico: the stub's program icon, an open box with an arrow going in, at 32x32 and 16x16 in 16 colours."""
import struct
import sys
from pathlib import Path

# The standard 16-colour palette, as (red, green, blue).
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
# Picture letters to palette indexes; '.' is transparent.
INK = {'K': 0, 'O': 3, 'N': 4, 'G': 8, 'S': 7, 'Y': 11, 'B': 12, 'C': 14, 'W': 15}


def draw(size):
    """An open carton (olive front, dark inside, yellow rim) with a blue arrow pointing down into it."""
    s = size // 16  # pixels per unit of the 16x16 design
    grid = [['.'] * size for _ in range(size)]

    def fill(x0, y0, x1, y1, ink):
        for y in range(y0 * s, (y1 + 1) * s):
            for x in range(x0 * s, (x1 + 1) * s):
                grid[y][x] = ink

    # Inside of the box, seen over its front edge.
    fill(1, 7, 14, 9, 'K')
    fill(2, 8, 13, 9, 'G')
    # The arrow: shaft, then a head narrowing by one unit per row, tip just below the rim.
    fill(6, 0, 9, 4, 'N')
    fill(7, 0, 8, 4, 'B')
    for row in range(5):
        left, right = 2 + row, 13 - row
        fill(left, 5 + row, right, 5 + row, 'N')
        if right - left > 1:
            fill(left + 1, 5 + row, right - 1, 5 + row, 'B')
    # Outline the head's upper edge beside the shaft, and light the shaft's left side.
    fill(2, 5, 13, 5, 'N')
    fill(7, 0, 8, 5, 'B')
    fill(7, 0, 7, 5, 'C')
    # The front of the box covers the arrow's tip.
    fill(0, 10, 15, 15, 'K')
    fill(1, 11, 14, 14, 'O')
    fill(1, 11, 14, 11, 'Y')
    # A strip of tape across the front.
    fill(6, 12, 9, 14, 'S')
    return grid


def bitmap(grid):
    """The icon image: header with doubled height, palette, 4-bit colour rows and 1-bit mask rows, bottom-up."""
    size = len(grid)
    colour_stride = (size * 4 + 31) // 32 * 4
    mask_stride = (size + 31) // 32 * 4
    colour = bytearray()
    mask = bytearray()
    for row in reversed(grid):
        line = bytearray(colour_stride)
        bits = bytearray(mask_stride)
        for x, letter in enumerate(row):
            if letter == '.':
                bits[x // 8] |= 0x80 >> (x % 8)
                index = 0
            else:
                index = INK[letter]
            line[x // 2] |= index << (4 if x % 2 == 0 else 0)
        colour += line
        mask += bits
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0, len(colour) + len(mask), 0, 0, 16, 0)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in PALETTE)
    return header + palette + bytes(colour) + bytes(mask)


def icon(sizes):
    images = [bitmap(draw(size)) for size in sizes]
    data = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip(sizes, images):
        data += struct.pack('<BBBBHHII', size, size, 16, 0, 1, 4, len(image), offset)
        offset += len(image)
    return data + b''.join(images)


if __name__ == '__main__':
    target = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parent.parent / 'src/ui/icon.ico'
    target.write_bytes(icon([32, 16]))
