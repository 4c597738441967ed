#!/usr/bin/env python3
"""Draws Mokuna's default files: the character (climon.bmp) with its frames (climon-blink.bmp, eyes closed;
climon-talk.bmp, mouth open), the speech balloon (fukidasi.bmp), the calendar background (back.bmp), the
tray and program icon (mokuna.ico) and the version notes (version.txt).

Standard library only; run it from anywhere:  python3 assets/make_assets.py
With --check it draws everything into a temporary folder and fails when a committed file differs.
The pictures are 24-bit bitmaps whose pixel (0, 0) holds the transparent colour. The outer edge of each
shape is hard (a pixel is either shape or background, decided at its centre) so that the mask cut from the
colour of pixel (0, 0) follows the outline exactly and leaves no halo; only the inside is smoothed."""
import math
import os
import struct
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = HERE
TRANSPARENT = (255, 0, 255)
SUB = 4  # sub-samples per pixel side for the smoothed inside


# ---------------------------------------------------------------------------------------------- files

def write_bmp(path, width, height, pixel):
    """24-bit bottom-up Windows bitmap; pixel(x, y) -> (r, g, b)."""
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(height - 1, -1, -1):
        row = bytearray()
        for x in range(width):
            r, g, b = pixel(x, y)
            row += bytes((round(b), round(g), round(r)))
        row += b"\0" * (stride - len(row))
        rows.append(bytes(row))
    data = b"".join(rows)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(data), 0, 0, 14 + len(info))
    with open(path, "wb") as f:
        f.write(header + info + data)


def write_ico(path, images):
    """images: list of (size, pixel(x, y) -> (r, g, b, a)); 32-bit images with an AND mask."""
    blobs = []
    for size, pixel in images:
        xor = bytearray()
        mask = bytearray()
        mask_stride = ((size + 31) // 32) * 4
        for y in range(size - 1, -1, -1):
            bits = bytearray(mask_stride)
            for x in range(size):
                r, g, b, a = pixel(x, y)
                xor += bytes((b, g, r, a))
                if a == 0:
                    bits[x // 8] |= 0x80 >> (x % 8)
            mask += bits
        info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
        blobs.append((size, info + bytes(xor) + bytes(mask)))
    out = struct.pack("<HHH", 0, 1, len(blobs))
    offset = 6 + 16 * len(blobs)
    for size, blob in blobs:
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
    with open(path, "wb") as f:
        f.write(out + b"".join(blob for _, blob in blobs))


# ------------------------------------------------------------------------------------------ drawing

def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def ellipse(cx, cy, rx, ry, grow=0.0):
    rx, ry = rx + grow, ry + grow
    return lambda x, y: ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1.0


def rotated_ellipse(cx, cy, rx, ry, angle, grow=0.0):
    c, s = math.cos(angle), math.sin(angle)
    inside = ellipse(0, 0, rx, ry, grow)
    return lambda x, y: inside((x - cx) * c + (y - cy) * s, -(x - cx) * s + (y - cy) * c)


def smooth(width, height, sample):
    """pixel(x, y): None when the centre sample is background, else the mean of the inside sub-samples."""
    def pixel(x, y):
        if sample(x + 0.5, y + 0.5) is None:
            return None
        acc, n = [0.0, 0.0, 0.0], 0
        for j in range(SUB):
            for i in range(SUB):
                c = sample(x + (i + 0.5) / SUB, y + (j + 0.5) / SUB)
                if c is not None:
                    acc = [acc[k] + c[k] for k in range(3)]
                    n += 1
        return tuple(min(255, max(0, round(v / n))) for v in acc)
    return pixel


def opaque(pixel, colour=TRANSPARENT):
    def fixed(x, y):
        c = pixel(x, y)
        if c is None:
            return colour
        # The inside must never hit the transparent colour exactly, or the mask would get a hole.
        return (c[0], c[1], min(254, c[2])) if c == TRANSPARENT else c
    return fixed


# ------------------------------------------------------------------------------------- the character

CHAR_W, CHAR_H = 116, 102
INK = (62, 44, 36)


def character(x, y, eyes_closed=False, mouth_open=False):
    """Climon, a round lemon sprite with a leaf; colour at (x, y) in picture pixels, or None. The frames
    change the face only, so their outline is the picture's."""
    colour = None
    line = 2.0

    def layer(shape_outer, shape_inner, fill):
        nonlocal colour
        if shape_inner(x, y):
            colour = fill(x, y) if callable(fill) else fill
        elif shape_outer(x, y):
            colour = INK

    # Arms and feet sit behind the body.
    for cx in (15, 101):
        layer(ellipse(cx, 66, 7, 10, line), ellipse(cx, 66, 7, 10), (250, 204, 70))
    for cx in (41, 75):
        layer(ellipse(cx, 92, 12, 6, line), ellipse(cx, 92, 12, 6), (236, 150, 62))
    # Stem and leaf on the top.
    layer(ellipse(58, 20, 3, 8, line), ellipse(58, 20, 3, 8), (132, 92, 52))
    leaf = rotated_ellipse(73, 14, 14, 6.5, -0.45)
    layer(rotated_ellipse(73, 14, 14, 6.5, -0.45, line), leaf,
          lambda px, py: (70, 150, 60) if abs((px - 73) * math.sin(-0.45) - (py - 14) * math.cos(-0.45)) < 0.8
          else mix((150, 215, 100), (96, 178, 74), min(1.0, max(0.0, (py - 6) / 16))))

    def body_fill(px, py):
        # Light from the upper left.
        t = min(1.0, max(0.0, ((px - 30) * 0.4 + (py - 28)) / 80))
        c = mix((255, 240, 140), (244, 192, 52), t)
        if ellipse(38, 38, 9, 6)(px, py):
            c = mix(c, (255, 255, 240), 0.7)
        return c

    layer(ellipse(58, 58, 45, 36, line), ellipse(58, 58, 45, 36), body_fill)
    if colour is None or not ellipse(58, 58, 45, 36)(x, y):
        return colour

    # Face, inside the body only.
    for cx, cheek in ((42, 29), (74, 87)):
        if ellipse(cheek, 67, 7, 4)(x, y):
            colour = mix(colour, (255, 120, 130), 0.55)
        if eyes_closed:
            # A lid line curved like a smile, where the eye's lower half was.
            if y >= 52 and abs(math.hypot((x - cx) / 1.15, y - 50) - 6.5) <= 1.25:
                colour = INK
            continue
        if ellipse(cx, 51, 8, 10, 1.5)(x, y):
            colour = INK
        if ellipse(cx, 51, 8, 10)(x, y):
            colour = (255, 255, 255)
        if ellipse(cx + 2, 53, 5, 7)(x, y):
            colour = (40, 30, 34)
        if ellipse(cx + 3.5, 49.5, 2, 2)(x, y):
            colour = (255, 255, 255)
    if mouth_open:
        # A round open mouth, taller than the smile, with the tongue at its bottom.
        if ellipse(58, 70, 7, 8.5)(x, y):
            colour = (250, 130, 140) if ellipse(58, 76, 4.5, 3)(x, y) else (150, 40, 52)
        elif ellipse(58, 70, 7, 8.5, 1.6)(x, y):
            colour = INK
        return colour
    mouth = lambda px, py: py >= 66 and ellipse(58, 66, 8, 8)(px, py)
    if mouth(x, y):
        colour = (250, 130, 140) if ellipse(58, 74, 5, 3)(x, y) else (190, 56, 64)
    elif y >= 65.2 and ellipse(58, 66, 8, 8, 1.6)(x, y):
        colour = INK
    return colour


# ------------------------------------------------------------------------------------------ balloon

BALLOON_W, BALLOON_H = 330, 170


def rounded_rect_distance(x, y, left, top, right, bottom, radius):
    cx, cy = (left + right) / 2, (top + bottom) / 2
    hx, hy = (right - left) / 2 - radius, (bottom - top) / 2 - radius
    qx, qy = abs(x - cx) - hx, abs(y - cy) - hy
    outside = math.hypot(max(qx, 0), max(qy, 0))
    return outside + min(max(qx, qy), 0) - radius


def polygon_distance(x, y, points):
    d = float("inf")
    inside = False
    n = len(points)
    for i in range(n):
        (ax, ay), (bx, by) = points[i], points[(i + 1) % n]
        ex, ey = bx - ax, by - ay
        t = max(0.0, min(1.0, ((x - ax) * ex + (y - ay) * ey) / (ex * ex + ey * ey)))
        d = min(d, math.hypot(x - ax - ex * t, y - ay - ey * t))
        if (ay > y) != (by > y) and x < ax + (y - ay) * ex / ey:
            inside = not inside
    return -d if inside else d


TAIL = [(258, 108), (326, 160), (252, 150)]


def balloon(x, y):
    d = min(rounded_rect_distance(x, y, 4, 4, 298, 158, 22), polygon_distance(x, y, TAIL))
    if d > 2.2:
        return None
    if d > 0:
        return (88, 96, 112)
    shade = min(1.0, max(0.0, (y - 4) / 154))
    return mix((255, 255, 255), (236, 244, 252), shade)


# ------------------------------------------------------------------------------------------ calendar

def calendar(x, y):
    if y < 14:
        c = (214, 236, 206)
    elif x < 41 and y < 158:
        c = (253, 236, 234)
    elif x >= 196 and y < 158:
        c = (234, 240, 253)
    else:
        c = (253, 250, 238)
    if y == 14:
        c = (150, 190, 140)
    elif y >= 20 and (y - 14) % 24 == 23 and x % 3 != 2:
        c = mix(c, (180, 170, 150), 0.5)
    if x == 0 or y == 159 or x == 231:
        c = (150, 190, 140)
    return c


# ---------------------------------------------------------------------------------------------- icon

def icon(size):
    margin = 0.5
    scale = (CHAR_W + 2 * margin) / size
    top = (CHAR_H - CHAR_W) / 2 - margin

    def pixel(x, y):
        acc, n = [0.0, 0.0, 0.0], 0
        for j in range(SUB):
            for i in range(SUB):
                c = character(-margin + (x + (i + 0.5) / SUB) * scale, top + (y + (j + 0.5) / SUB) * scale)
                if c is not None:
                    acc = [acc[k] + c[k] for k in range(3)]
                    n += 1
        if n == 0:
            return (0, 0, 0, 0)
        a = n / (SUB * SUB)
        # Premultiplied-free straight alpha; the colour is the mean of the covered samples.
        return tuple(round(v / n) for v in acc) + (round(255 * a),)
    return pixel


VERSION_NOTES = """Oribel Mokuna バージョン 1.0.0

デスクトップに住むキャラクターが、予定やメールの到着を吹き出しで知らせます。

1.0.0 の主な内容
・キャラクターは輪郭どおりに切り抜かれ、ドラッグで好きな場所に置けます。
・ダブルクリックで今日の日付と時刻を話します。
・拡張DLL Fennick で POP3 / APOP のメールを定期的に確認します。
・カレンダーと時計を表示できます。

設定は edll.ini に保存され、次の起動で読み込まれます。
"""


def main():
    write_bmp(os.path.join(OUT, "climon.bmp"), CHAR_W, CHAR_H, opaque(smooth(CHAR_W, CHAR_H, character)))
    for name, closed, open_mouth in (("climon-blink.bmp", True, False), ("climon-talk.bmp", False, True)):
        frame = lambda x, y, c=closed, o=open_mouth: character(x, y, eyes_closed=c, mouth_open=o)
        write_bmp(os.path.join(OUT, name), CHAR_W, CHAR_H, opaque(smooth(CHAR_W, CHAR_H, frame)))
    write_bmp(os.path.join(OUT, "fukidasi.bmp"), BALLOON_W, BALLOON_H,
              opaque(smooth(BALLOON_W, BALLOON_H, balloon)))
    write_bmp(os.path.join(OUT, "back.bmp"), 232, 160, calendar)
    # The tray draws the small size of the screen's scale (16 at 100 %, 20, 24, 32 at 200 %); 48 is for Explorer.
    write_ico(os.path.join(OUT, "mokuna.ico"), [(s, icon(s)) for s in (16, 20, 24, 32, 48)])
    with open(os.path.join(OUT, "version.txt"), "wb") as f:
        f.write(VERSION_NOTES.replace("\n", "\r\n").encode("cp932"))


FILES = ("climon.bmp", "climon-blink.bmp", "climon-talk.bmp", "fukidasi.bmp", "back.bmp", "mokuna.ico", "version.txt")


def check():
    """0 when drawing again gives exactly the committed files."""
    global OUT
    with tempfile.TemporaryDirectory() as OUT:
        main()
        stale = [f for f in FILES
                 if open(os.path.join(OUT, f), "rb").read() != open(os.path.join(HERE, f), "rb").read()]
    for f in stale:
        print(f"assets/{f} differs from what make_assets.py draws; run it and commit the result")
    return 1 if stale else 0


if __name__ == "__main__":
    sys.exit(check() if sys.argv[1:] == ["--check"] else main())
