#!/usr/bin/env python3
# The skin's bitmap generator: the shipped art draws, and a bad edit fails with file:line.
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

SKIN = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "companions", "skin")
TOOL = os.path.join(SKIN, "tools", "make_bitmaps.py")
ART = os.path.join(SKIN, "art")


def run(art_dir, out_dir):
    return subprocess.run([sys.executable, TOOL, art_dir, out_dir], capture_output=True, text=True)


def read_bmp(path):
    with open(path, "rb") as handle:
        data = handle.read()
    assert data[:2] == b"BM"
    offset, = struct.unpack_from("<I", data, 10)
    width, height, planes, bits, compression = struct.unpack_from("<iiHHI", data, 18)
    stride = (width * 3 + 3) & ~3
    pixels = {}
    for row in range(height):
        y = height - 1 - row  # bottom-up
        for x in range(width):
            b, g, r = data[offset + row * stride + 3 * x: offset + row * stride + 3 * x + 3]
            pixels[x, y] = (r, g, b)
    return width, height, bits, compression, len(data), offset + stride * height, pixels


class GeneratorTest(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp()
        self.art = os.path.join(self.work, "art")
        shutil.copytree(ART, self.art)
        self.out = os.path.join(self.work, "out")

    def tearDown(self):
        shutil.rmtree(self.work)

    def edit(self, name, old, new):
        path = os.path.join(self.art, name)
        with open(path) as handle:
            text = handle.read()
        self.assertIn(old, text)
        with open(path, "w") as handle:
            handle.write(text.replace(old, new, 1))

    def test_shipped_art_gives_ten_plain_bmps_of_their_sizes(self):
        result = run(self.art, self.out)
        self.assertEqual(0, result.returncode, result.stderr)
        sizes = {"Prod%d" % i: (66, 16) for i in range(1, 7)}
        sizes.update({name: (13, 13) for name in ("EDITOR_Hi1", "EDITOR_Hi2", "Sort1", "Sort2")})
        self.assertEqual(sorted(n + ".bmp" for n in sizes), sorted(os.listdir(self.out)))
        for name, (w, h) in sizes.items():
            width, height, bits, compression, length, end, pixels = read_bmp(os.path.join(self.out, name + ".bmp"))
            self.assertEqual((w, h, 24, 0), (width, height, bits, compression), name)
            self.assertEqual(end, length, name + ": padded rows must fill the file exactly")
            if w == 13:
                self.assertEqual((192, 192, 192), pixels[0, 0], name + ": the corner is the transparent key")

    def test_generation_is_reproducible(self):
        run(self.art, self.out)
        again = os.path.join(self.work, "again")
        run(self.art, again)
        for name in os.listdir(self.out):
            with open(os.path.join(self.out, name), "rb") as a, open(os.path.join(again, name), "rb") as b:
                self.assertEqual(a.read(), b.read(), name)

    def test_silver_in_a_menu_drawing_is_rejected(self):
        # Turning a drawn arrow pixel into the key colour would make a hole in the icon.
        self.edit("Sort1.txt", "color a 1F4E8C", "color a C0C0C0")
        result = run(self.art, self.out)
        self.assertEqual(1, result.returncode)
        self.assertRegex(result.stderr, r"Sort1\.txt:\d+: ")

    def test_a_short_row_is_rejected_with_its_line(self):
        self.edit("Sort1.txt", "..a....bdbdbd\n", "..a....bdbdb\n")
        result = run(self.art, self.out)
        self.assertEqual(1, result.returncode)
        self.assertRegex(result.stderr, r"Sort1\.txt:\d+: ")
        self.assertFalse(os.path.exists(os.path.join(self.out, "Sort1.bmp")))

    def test_a_wrong_size_is_rejected(self):
        self.edit("Sort1.txt", "size 13 13", "size 14 13")
        result = run(self.art, self.out)
        self.assertEqual(1, result.returncode)
        self.assertIn("Sort1.txt", result.stderr)


if __name__ == "__main__":
    unittest.main()
