#!/usr/bin/env python3
"""Builds a program's skin resources from the sources kept in git.

  skinbuild.py text SOURCE OUTPUT   UTF-8/LF skin text -> code page 932/CR LF
  skinbuild.py art SOURCE OUTPUT    picture description (JSON) -> 24-bit PNG
  skinbuild.py bmp SOURCE OUTPUT    picture description (JSON) -> 24-bit BMP
                                    (for pictures the programs load as bitmaps)
  skinbuild.py cur SOURCE OUTPUT    32 x 32 picture description with a
                                    "hotspot" [x, y] -> cursor file; magenta
                                    is the transparent part

Every failure names the source file (and line) and ends the build.
"""
import json
import os
import struct
import sys
import zlib

HEADER = "<RVK2 Skin Definition File Version 0.10>"
KEY = (255, 0, 255)


class BuildError(Exception):
    pass


def build_text(source, output):
    with open(source, "rb") as f:
        raw = f.read()
    try:
        text = raw.decode("utf-8")
    except UnicodeDecodeError as e:
        raise BuildError(f"{source}: not UTF-8 at byte {e.start}")
    if text.startswith("\ufeff"):
        raise BuildError(f"{source}:1: byte-order mark; skin sources are UTF-8 without one")
    if "\r" in text:
        raise BuildError(f"{source}: carriage return; skin sources use LF line ends")
    lines = text.split("\n")
    if lines[0] != HEADER:
        raise BuildError(f"{source}:1: the first line must be {HEADER}")
    encoded = []
    for number, line in enumerate(lines, 1):
        try:
            encoded.append(line.encode("cp932"))
        except UnicodeEncodeError as e:
            raise BuildError(
                f"{source}:{number}: {line[e.start:e.end]!r} has no code page 932 form")
    write_if_changed(output, b"\r\n".join(encoded))


def colour(value, where):
    if (not isinstance(value, list) or len(value) != 3 or
            not all(isinstance(c, int) and 0 <= c <= 255 for c in value)):
        raise BuildError(f"{where}: a colour is [red, green, blue] of 0..255")
    return tuple(value)


def render(source):
    """Width, height and rows of RGB bytes drawn from a picture description."""
    with open(source, "r", encoding="utf-8") as f:
        try:
            spec = json.load(f)
        except json.JSONDecodeError as e:
            raise BuildError(f"{source}:{e.lineno}: {e.msg}")
    width, height = spec["size"]
    if not (0 < width <= 4096 and 0 < height <= 4096):
        raise BuildError(f"{source}: size out of range")
    pixels = [bytearray(colour(spec.get("fill", [0, 0, 0]), source) * width)
              for _ in range(height)]

    def fill(x0, y0, x1, y1, rgb):
        for y in range(y0, y1):
            pixels[y][x0 * 3:x1 * 3] = bytes(rgb) * (x1 - x0)

    def check_inside(name, x0, y0, x1, y1):
        if not (0 <= x0 <= x1 <= width and 0 <= y0 <= y1 <= height):
            raise BuildError(f"{source}: {name} lies outside the {width}x{height} picture")

    names = set()
    for item in spec.get("rects", []):
        name = item.get("name")
        if not name or name in names:
            raise BuildError(f"{source}: every rectangle needs a name of its own ({name!r})")
        names.add(name)
        where = f"{source}: {name}"
        if "grid" in item:
            g = item["grid"]
            if len(g) != 8 or g[0:4] != sorted(g[0:4]) or g[4:8] != sorted(g[4:8]):
                raise BuildError(f"{where}: a grid is four rising x and four rising y positions")
            xs, ys = g[0:4], g[4:8]
            check_inside(name, xs[0], ys[0], xs[3], ys[3])
            corner = colour(item["corner"], where)
            edge = item["edge"]
            # Each edge may have a colour of its own; every cell stays solid.
            cells = {(1, 1): colour(item["centre"], where),
                     (0, 1): colour(item.get("top", edge), where),
                     (2, 1): colour(item.get("bottom", edge), where),
                     (1, 0): colour(item.get("left", edge), where),
                     (1, 2): colour(item.get("right", edge), where)}
            for row in range(3):
                for col in range(3):
                    rgb = cells.get((row, col), corner)
                    fill(xs[col], ys[row], xs[col + 1], ys[row + 1], rgb)
            continue
        x0, y0, x1, y1 = item["rect"]
        check_inside(name, x0, y0, x1, y1)
        if "gradient" in item:
            top = colour(item["gradient"][0], where)
            bottom = colour(item["gradient"][1], where)
            span = max(1, y1 - y0 - 1)
            for y in range(y0, y1):
                t = (y - y0) / span
                rgb = tuple(round(a + (b - a) * t) for a, b in zip(top, bottom))
                if rgb == KEY:
                    rgb = (254, 0, 255)
                fill(x0, y, x1, y + 1, rgb)
        else:
            fill(x0, y0, x1, y1, colour(item["fill"], where))
        if "border" in item:
            rgb = colour(item["border"], where)
            if rgb == KEY:
                raise BuildError(f"{where}: the key colour belongs in solid areas only")
            w = item.get("border_width", 1)
            fill(x0, y0, x1, min(y1, y0 + w), rgb)
            fill(x0, max(y0, y1 - w), x1, y1, rgb)
            fill(x0, y0, min(x1, x0 + w), y1, rgb)
            fill(max(x0, x1 - w), y0, x1, y1, rgb)
        if "arrow" in item:
            arrow(pixels, item["arrow"], x0, y0, x1, y1,
                  colour(item.get("arrow_fill", [0, 0, 0]), where), where)
    return width, height, pixels


def arrow(pixels, direction, x0, y0, x1, y1, rgb, where):
    """A solid triangle centred in the rectangle, pointing one way: its base
    spans half the rectangle's side across the direction, its height half of
    that again, so an 11-pixel button gets the usual 5-pixel base."""
    if direction not in ("up", "down", "left", "right"):
        raise BuildError(f"{where}: an arrow points up, down, left or right")
    if rgb == KEY:
        raise BuildError(f"{where}: the key colour belongs in solid areas only")
    vertical = direction in ("up", "down")
    across = (x1 - x0) if vertical else (y1 - y0)
    along = (y1 - y0) if vertical else (x1 - x0)
    half = max(0, (across // 2 - 1) // 2)  # the base is 2 * half + 1 wide
    tall = half + 1
    start_across = (x0 if vertical else y0) + across // 2
    start_along = (y0 if vertical else x0) + (along - tall) // 2
    for step in range(tall):
        # The tip row comes first for up and left.
        width = step if direction in ("up", "left") else tall - 1 - step
        for offset in range(-width, width + 1):
            a = start_along + step
            c = start_across + offset
            x, y = (c, a) if vertical else (a, c)
            pixels[y][x * 3:x * 3 + 3] = bytes(rgb)


def build_art(source, output):
    width, height, pixels = render(source)
    write_if_changed(output, png(width, height, pixels))


def build_bmp(source, output):
    width, height, pixels = render(source)
    write_if_changed(output, bmp(width, height, pixels))


def build_cur(source, output):
    width, height, pixels = render(source)
    with open(source, "r", encoding="utf-8") as f:
        hotspot = json.load(f).get("hotspot", [0, 0])
    write_if_changed(output, cur(width, height, pixels, hotspot))


def cur(width, height, rows, hotspot):
    """A one-image Windows cursor: a 24-bit colour image and its AND mask,
    the magenta key colour being the transparent part."""
    if width != 32 or height != 32:
        raise BuildError("a cursor is 32 x 32")
    x, y = hotspot
    if not (0 <= x < width and 0 <= y < height):
        raise BuildError("the hot spot lies outside the cursor")
    colour_rows = []
    mask_rows = []
    for row in reversed(rows):
        line = bytearray()
        bits = 0
        mask = bytearray()
        for i in range(width):
            r, g, b = row[3 * i], row[3 * i + 1], row[3 * i + 2]
            key = (r, g, b) == (255, 0, 255)
            line += b"\x00\x00\x00" if key else bytes((b, g, r))
            bits = (bits << 1) | (1 if key else 0)
            if i % 8 == 7:
                mask.append(bits)
                bits = 0
        colour_rows.append(bytes(line))
        mask_rows.append(bytes(mask))
    image = b"".join(colour_rows) + b"".join(mask_rows)
    info = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, 24, 0, len(image), 0, 0, 0, 0)
    body = info + image
    directory = struct.pack("<HHH", 0, 2, 1) + struct.pack(
        "<BBBBHHII", width, height, 0, 0, x, y, len(body), 6 + 16)
    return directory + body


def png(width, height, rows):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    raw = b"".join(b"\x00" + bytes(row) for row in rows)
    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)  # 8-bit RGB, no alpha
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def bmp(width, height, rows):
    """An uncompressed 24-bit Windows bitmap: rows bottom-up in blue, green,
    red order, each padded to four bytes."""
    stride = (width * 3 + 3) & ~3
    body = bytearray()
    for row in reversed(rows):
        line = bytearray(row)
        line[0::3], line[2::3] = row[2::3], row[0::3]
        body += line + b"\x00" * (stride - width * 3)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(body), 2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(body), 0, 0, 14 + len(info))
    return header + info + bytes(body)


def write_if_changed(path, data):
    if os.path.exists(path):
        with open(path, "rb") as f:
            if f.read() == data:
                return
    os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
    temp = path + ".tmp"
    with open(temp, "wb") as f:
        f.write(data)
    os.replace(temp, path)


def main(argv):
    try:
        if len(argv) == 4 and argv[1] == "text":
            build_text(argv[2], argv[3])
        elif len(argv) == 4 and argv[1] == "art":
            build_art(argv[2], argv[3])
        elif len(argv) == 4 and argv[1] == "bmp":
            build_bmp(argv[2], argv[3])
        elif len(argv) == 4 and argv[1] == "cur":
            build_cur(argv[2], argv[3])
        else:
            print(__doc__, file=sys.stderr)
            return 2
    except BuildError as e:
        print(f"skinbuild: {e}", file=sys.stderr)
        return 1
    except (KeyError, ValueError, TypeError) as e:
        print(f"skinbuild: {argv[2]}: bad description ({e})", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
