#!/usr/bin/env python3
"""Tests of the skin build step: texts to code page 932 with CR LF, the
refusals that fail the build, and pictures drawn from their descriptions."""
import json
import os
import struct
import subprocess
import sys
import tempfile
import unittest
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
SCRIPT = os.path.join(HERE, "skinbuild.py")
HEADER = "<RVK2 Skin Definition File Version 0.10>"


def run(*args):
    return subprocess.run([sys.executable, SCRIPT, *args], capture_output=True, text=True)


def read_png(path):
    """Width, height and rows of (r, g, b) of an 8-bit RGB PNG without filters."""
    with open(path, "rb") as f:
        data = f.read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n"
    pos, idat, header = 8, b"", None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        crc, = struct.unpack(">I", data[pos + 8 + length:pos + 12 + length])
        assert crc == zlib.crc32(kind + body)
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    width, height, depth, colour_type = header[:4]
    raw = zlib.decompress(idat)
    rows = []
    for y in range(height):
        line = raw[y * (1 + 3 * width):(y + 1) * (1 + 3 * width)]
        assert line[0] == 0
        rows.append([tuple(line[1 + 3 * x:4 + 3 * x]) for x in range(width)])
    return width, height, depth, colour_type, rows


class SkinTextTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()

    def tearDown(self):
        self.dir.cleanup()

    def build(self, text):
        source = os.path.join(self.dir.name, "Win.txt")
        output = os.path.join(self.dir.name, "out", "WIN.TXT")
        with open(source, "wb") as f:
            f.write(text.encode("utf-8"))
        return run("text", source, output), output

    def test_converts_to_cp932_with_crlf(self):
        result, output = self.build(HEADER + "\nS{A=\"表示\";}\n")
        self.assertEqual(result.returncode, 0, result.stderr)
        with open(output, "rb") as f:
            self.assertEqual(f.read(), HEADER.encode() + b"\r\nS{A=\"\x95\x5c\x8e\xa6\";}\r\n")

    def test_refusals_name_file_and_line(self):
        cases = {
            "no_cp932_form": (HEADER + "\nS{}\nT{A=\"\U0001F600\";}\n", ":3:"),
            "wrong_header": ("<Skin>\nS{}\n", ":1:"),
            "empty": ("", ":1:"),
            "crlf_source": (HEADER + "\r\nS{}\r\n", "carriage return"),
            "byte_order_mark": ("\ufeff" + HEADER + "\n", "byte-order mark"),
        }
        for name, (text, where) in cases.items():
            with self.subTest(name):
                result, output = self.build(text)
                self.assertEqual(result.returncode, 1)
                self.assertIn(where, result.stderr)
                self.assertIn("Win.txt", result.stderr)
                self.assertFalse(os.path.exists(output))


class SkinArtTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()

    def tearDown(self):
        self.dir.cleanup()

    def build(self, description):
        source = os.path.join(self.dir.name, "P.png.json")
        output = os.path.join(self.dir.name, "P.PNG")
        with open(source, "w") as f:
            json.dump(description, f)
        return run("art", source, output), output

    def test_draws_rectangles_borders_and_grids_in_24_bit_rgb(self):
        result, output = self.build({"size": [20, 10], "fill": [1, 2, 3], "rects": [
            {"name": "r", "rect": [0, 0, 4, 4], "fill": [255, 0, 255], "border": [9, 9, 9]},
            {"name": "g", "grid": [8, 10, 18, 20, 0, 2, 8, 10], "corner": [1, 1, 1],
             "edge": [2, 2, 2], "top": [3, 3, 3], "centre": [4, 4, 4]}]})
        self.assertEqual(result.returncode, 0, result.stderr)
        width, height, depth, colour_type, rows = read_png(output)
        self.assertEqual((width, height, depth, colour_type), (20, 10, 8, 2))
        self.assertEqual(rows[0][0], (9, 9, 9))
        self.assertEqual(rows[1][1], (255, 0, 255))
        self.assertEqual(rows[5][5], (1, 2, 3))
        self.assertEqual(rows[0][8], (1, 1, 1))
        self.assertEqual(rows[0][12], (3, 3, 3))
        self.assertEqual(rows[9][12], (2, 2, 2))
        self.assertEqual(rows[5][9], (2, 2, 2))
        self.assertEqual(rows[5][12], (4, 4, 4))

    def test_refusals(self):
        cases = {
            "outside": {"size": [4, 4], "rects": [{"name": "a", "rect": [0, 0, 5, 4],
                                                   "fill": [0, 0, 0]}]},
            "same_name": {"size": [4, 4], "rects": [
                {"name": "a", "rect": [0, 0, 1, 1], "fill": [0, 0, 0]},
                {"name": "a", "rect": [1, 1, 2, 2], "fill": [0, 0, 0]}]},
            "key_in_border": {"size": [4, 4], "rects": [
                {"name": "a", "rect": [0, 0, 4, 4], "fill": [0, 0, 0],
                 "border": [255, 0, 255]}]},
            "falling_grid": {"size": [9, 9], "rects": [
                {"name": "a", "grid": [0, 5, 3, 9, 0, 1, 2, 3], "corner": [0, 0, 0],
                 "edge": [0, 0, 0], "centre": [0, 0, 0]}]},
            "bad_colour": {"size": [4, 4], "rects": [{"name": "a", "rect": [0, 0, 1, 1],
                                                      "fill": [256, 0, 0]}]},
            "no_size": {"rects": []},
        }
        for name, description in cases.items():
            with self.subTest(name):
                result, output = self.build(description)
                self.assertEqual(result.returncode, 1, name)
                self.assertIn("P.png.json", result.stderr)
                self.assertFalse(os.path.exists(output))


def read_bmp(path):
    """Width, height and top-down rows of (r, g, b) of a 24-bit BMP."""
    with open(path, "rb") as f:
        data = f.read()
    magic, size, _, _, offset = struct.unpack("<2sIHHI", data[:14])
    assert magic == b"BM" and size == len(data)
    header, width, height, planes, bits, compression = struct.unpack("<IiiHHI", data[14:34])
    assert (header, planes, bits, compression) == (40, 1, 24, 0)
    stride = (width * 3 + 3) & ~3
    assert len(data) == offset + stride * height
    rows = []
    for y in range(height):
        line = data[offset + y * stride:offset + y * stride + width * 3]
        rows.append([(line[3 * x + 2], line[3 * x + 1], line[3 * x]) for x in range(width)])
    return width, height, rows[::-1]


class SkinBitmapTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()

    def tearDown(self):
        self.dir.cleanup()

    def build(self, description):
        source = os.path.join(self.dir.name, "B.bmp.json")
        output = os.path.join(self.dir.name, "B.bmp")
        with open(source, "w") as f:
            json.dump(description, f)
        return run("bmp", source, output), output

    def test_same_picture_as_png_with_padded_bottom_up_rows(self):
        # 7 pixels: 21 bytes a row, padded to 24.
        description = {"size": [7, 3], "fill": [10, 20, 30], "rects": [
            {"name": "a", "rect": [0, 0, 2, 1], "fill": [200, 100, 50]},
            {"name": "b", "rect": [6, 2, 7, 3], "fill": [1, 2, 3]}]}
        result, output = self.build(description)
        self.assertEqual(result.returncode, 0, result.stderr)
        width, height, rows = read_bmp(output)
        self.assertEqual((width, height), (7, 3))
        self.assertEqual(rows[0][0], (200, 100, 50))
        self.assertEqual(rows[0][2], (10, 20, 30))
        self.assertEqual(rows[2][6], (1, 2, 3))
        png_source = os.path.join(self.dir.name, "B.png.json")
        with open(png_source, "w") as f:
            json.dump(description, f)
        png_output = os.path.join(self.dir.name, "B.png")
        self.assertEqual(run("art", png_source, png_output).returncode, 0)
        self.assertEqual(read_png(png_output)[4], rows)

    def test_arrows_point_their_way(self):
        ink = (9, 9, 9)
        cases = {  # direction: (tip, a base end) in an 11 x 11 button
            "up": ((5, 4), (3, 6)),
            "down": ((5, 6), (3, 4)),
            "left": ((4, 5), (6, 3)),
            "right": ((6, 5), (4, 3)),
        }
        for direction, (tip, base) in cases.items():
            with self.subTest(direction):
                result, output = self.build({"size": [11, 11], "rects": [
                    {"name": "b", "rect": [0, 0, 11, 11], "fill": [255, 255, 255],
                     "arrow": direction, "arrow_fill": list(ink)}]})
                self.assertEqual(result.returncode, 0, result.stderr)
                rows = read_bmp(output)[2]
                self.assertEqual(rows[tip[1]][tip[0]], ink)
                self.assertEqual(rows[base[1]][base[0]], ink)
                inked = sum(p == ink for row in rows for p in row)
                self.assertEqual(inked, 9)

    def test_refuses_a_bad_arrow(self):
        result, output = self.build({"size": [4, 4], "rects": [
            {"name": "a", "rect": [0, 0, 4, 4], "fill": [0, 0, 0], "arrow": "sideways"}]})
        self.assertEqual(result.returncode, 1)
        self.assertIn("B.bmp.json", result.stderr)
        self.assertFalse(os.path.exists(output))


class CursorTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()

    def tearDown(self):
        self.dir.cleanup()

    def build(self, description):
        source = os.path.join(self.dir.name, "C.cur.json")
        output = os.path.join(self.dir.name, "C.cur")
        with open(source, "w") as f:
            json.dump(description, f)
        return run("cur", source, output), output

    def test_hot_spot_colour_and_mask(self):
        result, output = self.build({"size": [32, 32], "fill": [255, 0, 255], "hotspot": [3, 5],
                                     "rects": [{"name": "a", "rect": [0, 0, 1, 1],
                                                "fill": [10, 20, 30]}]})
        self.assertEqual(result.returncode, 0, result.stderr)
        with open(output, "rb") as f:
            data = f.read()
        reserved, kind, count = struct.unpack_from("<HHH", data, 0)
        self.assertEqual((reserved, kind, count), (0, 2, 1))
        w, h, _, _, x, y, size, offset = struct.unpack_from("<BBBBHHII", data, 6)
        self.assertEqual((w, h, x, y, offset), (32, 32, 3, 5, 22))
        self.assertEqual(len(data), offset + size)
        header = struct.unpack_from("<IiiHH", data, offset)
        self.assertEqual(header, (40, 32, 64, 1, 24))
        top_row = offset + 40 + 31 * 96  # rows run bottom-up
        self.assertEqual(data[top_row:top_row + 3], bytes((30, 20, 10)))
        mask_top = offset + 40 + 32 * 96 + 31 * 4
        self.assertEqual(data[mask_top], 0x7F, "the coloured pixel is opaque, the rest keyed")

    def test_refuses_other_sizes_and_a_hot_spot_outside(self):
        for description in ({"size": [16, 16]}, {"size": [32, 32], "hotspot": [32, 0]}):
            result, output = self.build(description)
            self.assertEqual(result.returncode, 1)
            self.assertFalse(os.path.exists(output))


if __name__ == "__main__":
    unittest.main()
