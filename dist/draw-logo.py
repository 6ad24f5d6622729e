#!/usr/bin/env python3
"""Draws dist/kelb701.png, the 100x50 logo xboard shows beside the engine's clock (standard library only)."""
import struct
import sys
import zlib

WIDTH, HEIGHT = 100, 50
BACKGROUND = (36, 52, 40)
LIGHT, DARK = (238, 222, 178), (150, 110, 70)
INK = (250, 244, 220)

# 5x7 letters, one string per row, '#' inked.
GLYPHS = {
    'K': ["#...#", "#..#.", "#.#..", "##...", "#.#..", "#..#.", "#...#"],
    'E': ["#####", "#....", "#....", "####.", "#....", "#....", "#####"],
    'L': ["#....", "#....", "#....", "#....", "#....", "#....", "#####"],
    'B': ["####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."],
    '7': ["#####", "....#", "...#.", "..#..", ".#...", ".#...", ".#..."],
    '0': [".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###."],
    '1': ["..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."],
    '.': [".....", ".....", ".....", ".....", ".....", ".##..", ".##.."],
}


def draw():
    pixels = [[BACKGROUND] * WIDTH for _ in range(HEIGHT)]
    # A small board, a1 dark in the lower left corner.
    for y in range(40):
        for x in range(40):
            light = (x // 5 + y // 5) % 2 == 0
            pixels[5 + y][5 + x] = LIGHT if light else DARK

    def text(word, left, top, scale):
        for i, ch in enumerate(word):
            for row, bits in enumerate(GLYPHS[ch]):
                for col, bit in enumerate(bits):
                    if bit != '#':
                        continue
                    for dy in range(scale):
                        for dx in range(scale):
                            pixels[top + row * scale + dy][left + i * 6 * scale + col * scale + dx] = INK

    text("KELB", 51, 7, 2)
    text("7.01", 51, 28, 2)
    return pixels


def png(pixels):
    raw = b"".join(b"\0" + bytes(c for p in row for c in p) for row in pixels)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", WIDTH, HEIGHT, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) +
            chunk(b"IEND", b""))


if __name__ == "__main__":
    out = sys.argv[1] if len(sys.argv) > 1 else "kelb701.png"
    with open(out, "wb") as f:
        f.write(png(draw()))
