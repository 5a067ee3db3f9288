#!/usr/bin/env python3
"""Draws res/modview.ico: a document page with a magnifying glass, 32x32 and
16x16, 16 colours (4 bits per pixel, standard VGA palette)."""
import struct, sys, os

PALETTE = [  # (R, G, B), the 16 standard VGA colours
    (0, 0, 0), (0, 0, 128), (0, 128, 0), (0, 128, 128), (128, 0, 0), (128, 0, 128),
    (128, 128, 0), (192, 192, 192), (128, 128, 128), (0, 0, 255), (0, 255, 0),
    (0, 255, 255), (255, 0, 0), (255, 0, 255), (255, 255, 0), (255, 255, 255)]
BLACK, TEAL, GREY, SILVER, WHITE, NAVY = 0, 3, 8, 7, 15, 1

def draw(n):
    s = n / 32.0
    px = [[None] * n for _ in range(n)]   # None = transparent
    def rect(x0, y0, x1, y1, c):
        for y in range(int(y0 * s), max(int(y1 * s), int(y0 * s) + 1)):
            for x in range(int(x0 * s), max(int(x1 * s), int(x0 * s) + 1)):
                if 0 <= x < n and 0 <= y < n:
                    px[y][x] = c
    # page with a teal title bar and text lines
    rect(5, 2, 24, 30, BLACK)
    rect(6, 3, 23, 29, WHITE)
    rect(6, 3, 23, 7, TEAL)
    for y in (10, 14, 18, 22):
        rect(8, y, 21, y + 1.5, GREY)
    # magnifying glass over the lower right corner
    cx, cy, r = 21 * s, 20 * s, 6.5 * s
    for y in range(n):
        for x in range(n):
            d = ((x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2) ** 0.5
            if d <= r - 1.6 * s:
                px[y][x] = SILVER if (x + y) % 2 else WHITE
            elif d <= r:
                px[y][x] = NAVY
    for i in range(int(7 * s)):
        for w in range(max(1, int(2.5 * s))):
            x, y = int(cx + r * 0.7) + i, int(cy + r * 0.7) + i + w
            if x < n and y < n:
                px[y][x] = BLACK
    return px

def dib(n):
    px = draw(n)
    header = struct.pack('<IiiHHIIiiII', 40, n, 2 * n, 1, 4, 0, 0, 0, 0, 16, 0)
    pal = b''.join(struct.pack('<BBBB', b, g, r, 0) for (r, g, b) in PALETTE)
    xor = b''
    row_bytes = ((n * 4 + 31) // 32) * 4
    for y in reversed(range(n)):
        row = bytearray(row_bytes)
        for x in range(n):
            c = px[y][x] if px[y][x] is not None else 0
            row[x // 2] |= c << (4 if x % 2 == 0 else 0)
        xor += row
    and_bytes = ((n + 31) // 32) * 4
    mask = b''
    for y in reversed(range(n)):
        row = bytearray(and_bytes)
        for x in range(n):
            if px[y][x] is None:
                row[x // 8] |= 0x80 >> (x % 8)
        mask += row
    return header + pal + xor + mask

def main(out):
    images = [dib(32), dib(16)]
    data = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for n, img in zip((32, 16), images):
        data += struct.pack('<BBBBHHII', n, n, 16, 0, 1, 4, len(img), offset)
        offset += len(img)
    with open(out, 'wb') as f:
        f.write(data + b''.join(images))

if __name__ == '__main__':
    main(sys.argv[1] if len(sys.argv) > 1 else
         os.path.join(os.path.dirname(__file__), '..', 'res', 'modview.ico'))
