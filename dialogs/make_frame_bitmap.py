#!/usr/bin/env python3
"""Draws dialogs/frame.bmp, the picture behind the setup's frame window: the product name on a
white ground, as a 1-bit Windows bitmap. Run it from the repository root after changing it."""
import struct

BIG = {  # 5 x 7
    'N': ["X...X", "XX..X", "X.X.X", "X..XX", "X...X", "X...X", "X...X"],
    'O': [".XXX.", "X...X", "X...X", "X...X", "X...X", "X...X", ".XXX."],
    'R': ["XXXX.", "X...X", "X...X", "XXXX.", "X.X..", "X..X.", "X...X"],
    'V': ["X...X", "X...X", "X...X", "X...X", ".X.X.", ".X.X.", "..X.."],
    'A': [".XXX.", "X...X", "X...X", "XXXXX", "X...X", "X...X", "X...X"],
    'L': ["X....", "X....", "X....", "X....", "X....", "X....", "XXXXX"],
    'E': ["XXXXX", "X....", "X....", "XXXX.", "X....", "X....", "XXXXX"],
}
SMALL = {  # 3 x 5
    'N': ["XXX", "X.X", "X.X", "X.X", "X.X"], 'E': ["XXX", "X..", "XX.", "X..", "XXX"],
    'T': ["XXX", ".X.", ".X.", ".X.", ".X."], 'W': ["X.X", "X.X", "X.X", "XXX", "X.X"],
    'O': ["XXX", "X.X", "X.X", "X.X", "XXX"], 'R': ["XX.", "X.X", "XX.", "X.X", "X.X"],
    'K': ["X.X", "X.X", "XX.", "X.X", "X.X"], 'P': ["XXX", "X.X", "XXX", "X..", "X.."],
    'I': ["XXX", ".X.", ".X.", ".X.", "XXX"], 'G': ["XXX", "X..", "X.X", "X.X", "XXX"],
    ' ': ["...", "...", "...", "...", "..."],
}
WIDTH, HEIGHT = 72, 26
SCALE = 3  # each dot of the design is SCALE x SCALE pixels, a size that reads on a 1024 x 768 screen


def draw(pixels, font, text, top, yscale):
    glyph_w = len(next(iter(font.values()))[0])
    width = len(text) * (glyph_w + 1) - 1
    left = (WIDTH - width) // 2
    for i, ch in enumerate(text):
        for row, line in enumerate(font[ch]):
            for col, cell in enumerate(line):
                if cell == 'X':
                    for dy in range(yscale):
                        pixels[top + row * yscale + dy][left + i * (glyph_w + 1) + col] = 1


def main():
    pixels = [[0] * WIDTH for _ in range(HEIGHT)]
    draw(pixels, BIG, "NORVALE", 2, 2)
    for x in range(6, WIDTH - 6):
        pixels[17][x] = 1
    draw(pixels, SMALL, "NETWORK PRINTING", 20, 1)
    width, height = WIDTH * SCALE, HEIGHT * SCALE
    stride = (width + 31) // 32 * 4
    rows = b""
    for y in reversed(range(height)):  # bottom-up
        row = bytearray(stride)
        for x in range(width):
            if not pixels[y // SCALE][x // SCALE]:  # index 1 is white, 0 black
                row[x // 8] |= 0x80 >> (x % 8)
        rows += bytes(row)
    palette = bytes([0, 0, 0, 0, 255, 255, 255, 0])
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 1, 0, len(rows), 2835, 2835, 2, 2)
    offset = 14 + len(info) + len(palette)
    header = struct.pack("<2sIHHI", b"BM", offset + len(rows), 0, 0, offset)
    with open("dialogs/frame.bmp", "wb") as f:
        f.write(header + info + palette + rows)


if __name__ == "__main__":
    main()
