#!/usr/bin/env python3
"""Draws the explorer's icons and writes them as GIF files into web/images
(and the site icon web/favicon.ico). Run it again after changing a drawing;
the files it writes are committed, so building never needs it."""
import math
import os
import struct
import sys

# Palette index 0 is transparent.
PALETTE = [
    (255, 255, 255),  # 0 transparent
    (31, 78, 121),    # 1 dark blue: outlines
    (66, 133, 214),   # 2 blue: arrow fill
    (255, 255, 255),  # 3 white
    (46, 125, 50),    # 4 green
    (198, 40, 40),    # 5 red
    (96, 108, 118),   # 6 grey: box outline
    (236, 240, 244),  # 7 light grey: box fill
    (245, 166, 35),   # 8 amber
]


class Canvas:
    def __init__(self, width, height):
        self.width, self.height = width, height
        self.pixels = [[0] * width for _ in range(height)]

    def plot(self, x, y, colour):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.pixels[y][x] = colour

    def fill(self, inside, colour):
        """Colours every pixel whose centre satisfies inside(x, y)."""
        for y in range(self.height):
            for x in range(self.width):
                if inside(x + 0.5, y + 0.5):
                    self.pixels[y][x] = colour

    def polygon(self, points, colour):
        def inside(px, py):
            crossings = False
            for (x1, y1), (x2, y2) in zip(points, points[1:] + points[:1]):
                if (y1 > py) != (y2 > py) and px < x1 + (py - y1) * (x2 - x1) / (y2 - y1):
                    crossings = not crossings
            return crossings
        self.fill(inside, colour)

    def line(self, x1, y1, x2, y2, width, colour):
        def inside(px, py):
            dx, dy = x2 - x1, y2 - y1
            t = max(0.0, min(1.0, ((px - x1) * dx + (py - y1) * dy) / (dx * dx + dy * dy)))
            return math.hypot(px - (x1 + t * dx), py - (y1 + t * dy)) <= width / 2
        self.fill(inside, colour)

    def outline(self, colour, around):
        """Draws `colour` on transparent pixels that touch a pixel of `around`."""
        marks = []
        for y in range(self.height):
            for x in range(self.width):
                if self.pixels[y][x] == 0 and any(
                        0 <= x + dx < self.width and 0 <= y + dy < self.height
                        and self.pixels[y + dy][x + dx] == around
                        for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1))):
                    marks.append((x, y))
        for x, y in marks:
            self.pixels[y][x] = colour

    def rotated(self):
        """The canvas turned a quarter clockwise."""
        turned = Canvas(self.height, self.width)
        for y in range(self.height):
            for x in range(self.width):
                turned.pixels[x][self.height - 1 - y] = self.pixels[y][x]
        return turned


def arrow_right():
    """A fat arrow pointing right, blue with a dark outline, 15 by 15."""
    c = Canvas(15, 15)
    c.polygon([(1.5, 5.5), (7.5, 5.5), (7.5, 2), (13.5, 7.5), (7.5, 13), (7.5, 9.5), (1.5, 9.5)], 2)
    c.outline(1, 2)
    return c


def box(size):
    """A small grey-edged square, the base of the heading action icons."""
    c = Canvas(size, size)
    c.fill(lambda x, y: True, 7)
    for i in range(size):
        for x, y in ((i, 0), (i, size - 1), (0, i), (size - 1, i)):
            c.plot(x, y, 6)
    return c


def expand():
    c = box(11)
    c.line(2.5, 5.5, 8.5, 5.5, 1.2, 1)
    c.line(5.5, 2.5, 5.5, 8.5, 1.2, 1)
    return c


def collapse():
    c = box(11)
    c.line(2.5, 5.5, 8.5, 5.5, 1.2, 1)
    return c


def isolate():
    """A funnel: keep only this heading."""
    c = box(11)
    c.polygon([(2, 2.5), (9, 2.5), (6.3, 5.5), (6.3, 9), (4.7, 8.2), (4.7, 5.5)], 1)
    return c


def remove():
    c = box(11)
    c.line(2.8, 2.8, 8.2, 8.2, 1.6, 5)
    c.line(8.2, 2.8, 2.8, 8.2, 1.6, 5)
    return c


def sync():
    """Two green arrows chasing each other round a circle, 16 by 16."""
    c = Canvas(16, 16)
    cx, cy = 8, 8

    def ring(start, end):
        def inside(px, py):
            r = math.hypot(px - cx, py - cy)
            a = math.degrees(math.atan2(cy - py, px - cx)) % 360
            return 4.2 <= r <= 6.4 and start <= a <= end
        return inside

    c.fill(ring(40, 180), 4)
    c.fill(ring(220, 360), 4)
    # Arrow heads at the clockwise ends of the two arcs.
    c.polygon([(10.0, 6.0), (16.0, 6.0), (13.0, 10.0)], 4)
    c.polygon([(6.0, 10.0), (0.0, 10.0), (3.0, 6.0)], 4)
    return c


def to_gif(canvas):
    colours = PALETTE + [(0, 0, 0)] * (16 - len(PALETTE))
    out = bytearray(b"GIF89a")
    out += struct.pack("<HHBBB", canvas.width, canvas.height, 0xF3, 0, 0)  # 16-entry global table
    for r, g, b in colours:
        out += bytes((r, g, b))
    out += bytes((0x21, 0xF9, 4, 0x01, 0, 0, 0, 0))  # index 0 is transparent
    out += b"," + struct.pack("<HHHHB", 0, 0, canvas.width, canvas.height, 0)
    # LZW with 9-bit codes and a clear code before the table would grow, so
    # every pixel is one literal code: simple, and read alike by every decoder.
    min_code_size = 8
    clear, end = 1 << min_code_size, (1 << min_code_size) + 1
    codes = []
    pixels = [p for row in canvas.pixels for p in row]
    for start in range(0, len(pixels), 250):
        codes.append(clear)
        codes.extend(pixels[start:start + 250])
    codes.append(end)
    bits, count, data = 0, 0, bytearray()
    for code in codes:
        bits |= code << count
        count += 9
        while count >= 8:
            data.append(bits & 0xFF)
            bits >>= 8
            count -= 8
    if count:
        data.append(bits & 0xFF)
    out.append(min_code_size)
    for start in range(0, len(data), 255):
        block = data[start:start + 255]
        out.append(len(block))
        out += block
    out += b"\x00;"
    return bytes(out)


def to_ico(canvas):
    """A 32-bit icon image; transparent pixels have alpha 0."""
    w, h = canvas.width, canvas.height
    rows = bytearray()
    for y in reversed(range(h)):
        for x in range(w):
            p = canvas.pixels[y][x]
            r, g, b = PALETTE[p]
            rows += bytes((b, g, r, 0 if p == 0 else 255))
    mask = bytes(((w + 31) // 32) * 4 * h)
    header = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, len(rows) + len(mask), 0, 0, 0, 0)
    image = header + rows + mask
    return struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", w, h, 0, 0, 1, 32, len(image), 22) + image


def cube_icon():
    """The site icon: a cube seen from above, 16 by 16."""
    c = Canvas(16, 16)
    c.polygon([(8, 1), (15, 4.5), (8, 8), (1, 4.5)], 2)       # top
    c.polygon([(1, 4.5), (8, 8), (8, 15), (1, 11.5)], 1)      # left
    c.polygon([(8, 8), (15, 4.5), (15, 11.5), (8, 15)], 8)    # right
    return c


def main():
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "web")
    right = arrow_right()
    down = right.rotated()
    left = down.rotated()
    up = left.rotated()
    icons = {"right": right, "down": down, "left": left, "up": up, "sync": sync(),
             "expand": expand(), "collapse": collapse(), "isolate": isolate(), "remove": remove()}
    os.makedirs(os.path.join(root, "images"), exist_ok=True)
    for name, canvas in icons.items():
        with open(os.path.join(root, "images", name + ".gif"), "wb") as f:
            f.write(to_gif(canvas))
    with open(os.path.join(root, "favicon.ico"), "wb") as f:
        f.write(to_ico(cube_icon()))
    if "--show" in sys.argv:
        for name, canvas in icons.items():
            print(name)
            for row in canvas.pixels:
                print("".join(" .#o+x=:*"[p] for p in row))


if __name__ == "__main__":
    main()
