#!/usr/bin/env python3
# Builds the skin's bitmaps from the text drawings in art/: one 24-bit Windows BMP per manifest entry.
# Every drawing is checked first (sizes, row lengths, palette, transparent key) so a bad edit fails the build.
"""Usage: make_bitmaps.py ART_DIR OUT_DIR [--expect NAME ...]

Reads ART_DIR/manifest.txt, draws every bitmap it lists from ART_DIR/<Name>.txt and writes
OUT_DIR/<Name>.bmp. With --expect, the manifest must list exactly those names. On the first
fault it prints "file:line: reason" and exits with status 1. The art format is described in the
skin's README.md.
"""

import os
import struct
import sys

MANIFEST = "manifest.txt"
SUPERSAMPLE = 4  # sub-pixels per side when measuring how much of a pixel a rounded shape covers


def fail(path, line, reason):
    sys.stderr.write("%s:%d: %s\n" % (path, line, reason))
    sys.exit(1)


def parse_int(path, line, text, what, low=None):
    try:
        value = int(text, 10)
    except ValueError:
        fail(path, line, "%s must be a whole number, not '%s'" % (what, text))
    if low is not None and value < low:
        fail(path, line, "%s must be at least %d, not %d" % (what, low, value))
    return value


def parse_rgb(path, line, text):
    if len(text) != 6 or any(c not in "0123456789abcdefABCDEF" for c in text):
        fail(path, line, "colour must be six hex digits RRGGBB, not '%s'" % text)
    value = int(text, 16)
    return ((value >> 16) & 255, (value >> 8) & 255, value & 255)


def meaningful_lines(path):
    """Yields (line number, text) of a text file, without line ends."""
    try:
        with open(path, "r", encoding="ascii") as handle:
            lines = handle.read().split("\n")
    except OSError as error:
        fail(path, 0, "cannot read: %s" % error.strerror)
    except UnicodeDecodeError:
        fail(path, 0, "only ASCII text is allowed")
    if lines and lines[-1] == "":
        lines.pop()
    return [(number, text.rstrip("\r")) for number, text in enumerate(lines, 1)]


def skip(text):
    stripped = text.strip()
    return stripped == "" or stripped.startswith("#")


# ---------------------------------------------------------------- manifest

def read_manifest(art_dir):
    """Returns a list of entries {name, width, height, key, line} in manifest order."""
    path = os.path.join(art_dir, MANIFEST)
    entries = []
    for number, text in meaningful_lines(path):
        if skip(text):
            continue
        words = text.split()
        if len(words) not in (3, 4):
            fail(path, number, "expected 'Name width height [key=RRGGBB]'")
        name = words[0]
        if not all(c.isalnum() or c == "_" for c in name):
            fail(path, number, "bitmap name '%s' may hold only letters, digits and '_'" % name)
        if any(e["name"] == name for e in entries):
            fail(path, number, "bitmap '%s' is listed twice" % name)
        key = None
        if len(words) == 4:
            if not words[3].startswith("key="):
                fail(path, number, "fourth field must be key=RRGGBB")
            key = parse_rgb(path, number, words[3][4:])
        entries.append({
            "name": name,
            "width": parse_int(path, number, words[1], "width", 1),
            "height": parse_int(path, number, words[2], "height", 1),
            "key": key,
            "line": number,
        })
    if not entries:
        fail(path, 1, "the manifest lists no bitmaps")
    return entries


# ---------------------------------------------------------------- font

def read_font(path):
    """A pixel font: 'height N', 'spacing N', then 'glyph C' blocks of N rows of '#' (ink) and '.'."""
    font = {"height": None, "spacing": 1, "glyphs": {}, "path": path}
    lines = meaningful_lines(path)
    index = 0
    while index < len(lines):
        number, text = lines[index]
        index += 1
        if skip(text):
            continue
        words = text.split()
        if words[0] == "height" and len(words) == 2:
            font["height"] = parse_int(path, number, words[1], "height", 1)
        elif words[0] == "spacing" and len(words) == 2:
            font["spacing"] = parse_int(path, number, words[1], "spacing", 0)
        elif words[0] == "glyph" and len(words) == 2:
            if font["height"] is None:
                fail(path, number, "'height' must come before the first glyph")
            char = " " if words[1] == "space" else words[1]
            if len(char) != 1:
                fail(path, number, "a glyph is one character or the word 'space'")
            if char in font["glyphs"]:
                fail(path, number, "glyph '%s' is defined twice" % char)
            rows = []
            width = None
            for _ in range(font["height"]):
                if index >= len(lines):
                    fail(path, number, "glyph '%s' needs %d rows" % (char, font["height"]))
                row_number, row = lines[index]
                index += 1
                row = row.strip()
                if row == "" or any(c not in "#." for c in row):
                    fail(path, row_number, "glyph rows hold only '#' and '.'")
                if width is None:
                    width = len(row)
                elif len(row) != width:
                    fail(path, row_number, "glyph '%s' row is %d wide, earlier rows %d"
                         % (char, len(row), width))
                rows.append(row)
            font["glyphs"][char] = rows
        else:
            fail(path, number, "unknown font line '%s'" % text.strip())
    if not font["glyphs"]:
        fail(path, 1, "the font defines no glyphs")
    return font


def text_width(font, text):
    widths = [len(font["glyphs"][c][0]) for c in text]
    return sum(widths) + font["spacing"] * (len(widths) - 1)


# ---------------------------------------------------------------- drawing

def new_canvas(width, height):
    return {
        "width": width,
        "height": height,
        "rgb": [[(0, 0, 0)] * width for _ in range(height)],
        "is_background": [[False] * width for _ in range(height)],
        "painted": [[False] * width for _ in range(height)],
        "source_line": [[0] * width for _ in range(height)],
    }


def put(canvas, x, y, rgb, background, line):
    canvas["rgb"][y][x] = rgb
    canvas["is_background"][y][x] = background
    canvas["painted"][y][x] = True
    canvas["source_line"][y][x] = line


def check_inside(canvas, path, line, x, y, width, height, what):
    if x < 0 or y < 0 or x + width > canvas["width"] or y + height > canvas["height"]:
        fail(path, line, "%s at (%d,%d) size %dx%d does not fit the %dx%d bitmap"
             % (what, x, y, width, height, canvas["width"], canvas["height"]))


def rounded_coverage(px, py, x, y, width, height, radius):
    """Fraction of pixel (px,py) inside the rectangle (x,y,width,height) with circular corners."""
    inside = 0
    for sy in range(SUPERSAMPLE):
        for sx in range(SUPERSAMPLE):
            fx = px + (sx + 0.5) / SUPERSAMPLE
            fy = py + (sy + 0.5) / SUPERSAMPLE
            cx = min(max(fx, x + radius), x + width - radius)
            cy = min(max(fy, y + radius), y + height - radius)
            if (fx - cx) ** 2 + (fy - cy) ** 2 <= radius * radius:
                inside += 1
    return inside / float(SUPERSAMPLE * SUPERSAMPLE)


def blend(over, under, alpha):
    return tuple(int(round(o * alpha + u * (1.0 - alpha))) for o, u in zip(over, under))


# ---------------------------------------------------------------- art files

def draw_art(art_dir, entry, manifest, fonts, stack):
    """Draws one art file; returns its canvas and palette. stack guards against stamp loops."""
    name = entry["name"]
    path = os.path.join(art_dir, name + ".txt")
    if name in stack:
        fail(path, 1, "stamps form a loop: %s" % " -> ".join(stack + [name]))
    stack = stack + [name]

    canvas = None
    palette = {}          # char -> (rgb, line)
    background = None     # char
    background_line = 0
    font = None
    lines = meaningful_lines(path)
    index = 0

    def need_canvas(number):
        if canvas is None:
            fail(path, number, "'size' must come before any drawing")

    def colour_of(number, char):
        if len(char) != 1 or char not in palette:
            fail(path, number, "unknown palette character '%s'" % char)
        return palette[char][0]

    while index < len(lines):
        number, text = lines[index]
        index += 1
        if skip(text):
            continue
        words = text.split()
        command = words[0]

        if command == "size":
            if len(words) != 3:
                fail(path, number, "expected 'size width height'")
            if canvas is not None:
                fail(path, number, "'size' given twice")
            width = parse_int(path, number, words[1], "width", 1)
            height = parse_int(path, number, words[2], "height", 1)
            if (width, height) != (entry["width"], entry["height"]):
                fail(path, number, "size is %dx%d but %s must be exactly %dx%d"
                     % (width, height, name, entry["width"], entry["height"]))
            canvas = new_canvas(width, height)

        elif command == "color":
            if len(words) != 3 or len(words[1]) != 1:
                fail(path, number, "expected 'color C RRGGBB' with C one character")
            if words[1] in palette:
                fail(path, number, "palette character '%s' defined twice" % words[1])
            palette[words[1]] = (parse_rgb(path, number, words[2]), number)

        elif command == "background":
            need_canvas(number)
            if len(words) != 2:
                fail(path, number, "expected 'background C'")
            if background is not None:
                fail(path, number, "'background' given twice")
            if any(any(row) for row in canvas["painted"]):
                fail(path, number, "'background' must come before any drawing")
            rgb = colour_of(number, words[1])
            background, background_line = words[1], number
            for y in range(canvas["height"]):
                for x in range(canvas["width"]):
                    put(canvas, x, y, rgb, True, number)

        elif command == "font":
            if len(words) != 2:
                fail(path, number, "expected 'font FILE'")
            font_path = os.path.join(art_dir, words[1])
            if font_path not in fonts:
                fonts[font_path] = read_font(font_path)
            font = fonts[font_path]

        elif command == "rect" or command == "round":
            need_canvas(number)
            count = 6 if command == "rect" else 7
            if len(words) != count:
                fail(path, number, "expected '%s x y width height %sC'"
                     % (command, "" if command == "rect" else "radius "))
            x, y = parse_int(path, number, words[1], "x"), parse_int(path, number, words[2], "y")
            width = parse_int(path, number, words[3], "width", 1)
            height = parse_int(path, number, words[4], "height", 1)
            radius = 0 if command == "rect" else parse_int(path, number, words[5], "radius", 0)
            if 2 * radius > min(width, height):
                fail(path, number, "radius %d is too large for %dx%d" % (radius, width, height))
            char = words[-1]
            rgb = colour_of(number, char)
            check_inside(canvas, path, number, x, y, width, height, command)
            for py in range(y, y + height):
                for px in range(x, x + width):
                    alpha = 1.0 if radius == 0 else rounded_coverage(px, py, x, y, width, height, radius)
                    if alpha <= 0.0:
                        continue
                    if alpha >= 1.0:
                        put(canvas, px, py, rgb, char == background, number)
                    else:
                        put(canvas, px, py, blend(rgb, canvas["rgb"][py][px], alpha), False, number)

        elif command == "text":
            need_canvas(number)
            if len(words) < 5:
                fail(path, number, "expected 'text x|center y|center C WORDS'")
            if font is None:
                fail(path, number, "'font' must come before 'text'")
            rgb = colour_of(number, words[3])
            # The words are the rest of the line after the fourth field, spaces kept.
            rest = text.split(None, 4)[4].strip()
            for c in rest:
                if c not in font["glyphs"]:
                    fail(path, number, "the font has no glyph for '%s'" % c)
            width, height = text_width(font, rest), font["height"]
            x = (canvas["width"] - width) // 2 if words[1] == "center" else parse_int(path, number, words[1], "x")
            y = (canvas["height"] - height) // 2 if words[2] == "center" else parse_int(path, number, words[2], "y")
            check_inside(canvas, path, number, x, y, width, height, "text '%s'" % rest)
            pen = x
            for c in rest:
                rows = font["glyphs"][c]
                for gy, row in enumerate(rows):
                    for gx, ink in enumerate(row):
                        if ink == "#":
                            put(canvas, pen + gx, y + gy, rgb, words[3] == background, number)
                pen += len(rows[0]) + font["spacing"]

        elif command == "stamp":
            need_canvas(number)
            if len(words) != 4:
                fail(path, number, "expected 'stamp x y Name'")
            x, y = parse_int(path, number, words[1], "x"), parse_int(path, number, words[2], "y")
            source = next((e for e in manifest if e["name"] == words[3]), None)
            if source is None:
                fail(path, number, "'%s' is not in the manifest" % words[3])
            check_inside(canvas, path, number, x, y, source["width"], source["height"], "stamp " + words[3])
            stamp, _ = draw_art(art_dir, source, manifest, fonts, stack)
            for sy in range(stamp["height"]):
                for sx in range(stamp["width"]):
                    if not stamp["is_background"][sy][sx]:
                        put(canvas, x + sx, y + sy, stamp["rgb"][sy][sx], False, number)

        elif command == "pixels":
            need_canvas(number)
            if len(words) != 1:
                fail(path, number, "'pixels' takes no arguments; the rows follow it")
            for y in range(canvas["height"]):
                if index >= len(lines):
                    fail(path, number, "'pixels' needs %d rows, the file ends after %d"
                         % (canvas["height"], y))
                row_number, row = lines[index]
                index += 1
                row = row.rstrip()
                if len(row) != canvas["width"]:
                    fail(path, row_number, "row is %d characters, %s is %d wide"
                         % (len(row), name, canvas["width"]))
                for x, char in enumerate(row):
                    put(canvas, x, y, colour_of(row_number, char), char == background, row_number)

        else:
            fail(path, number, "unknown command '%s'" % command)

    if canvas is None:
        fail(path, 1, "no 'size' line")
    for y in range(canvas["height"]):
        for x in range(canvas["width"]):
            if not canvas["painted"][y][x]:
                fail(path, 1, "pixel (%d,%d) is never drawn; give a 'background'" % (x, y))

    key = entry["key"]
    if key is not None:
        if background is None:
            fail(path, 1, "%s is drawn over a transparent key and needs a 'background'" % name)
        if palette[background][0] != key:
            fail(path, background_line, "the background of %s must be exactly %02X%02X%02X, the transparent key"
                 % ((name,) + key))
        for char, (rgb, line) in sorted(palette.items(), key=lambda item: item[1][1]):
            if char != background and rgb == key:
                fail(path, line, "colour '%s' equals the transparent key %02X%02X%02X and would vanish"
                     % ((char,) + key))
        for y in range(canvas["height"]):
            for x in range(canvas["width"]):
                if not canvas["is_background"][y][x] and canvas["rgb"][y][x] == key:
                    fail(path, canvas["source_line"][y][x],
                         "pixel (%d,%d) is drawn in the transparent key colour" % (x, y))
    return canvas, palette


# ---------------------------------------------------------------- output

def bmp_bytes(canvas):
    """24 bits per pixel, BI_RGB, bottom-up, rows padded to four bytes."""
    width, height = canvas["width"], canvas["height"]
    stride = (width * 3 + 3) & ~3
    pixels = bytearray()
    for y in range(height - 1, -1, -1):
        row = bytearray()
        for r, g, b in canvas["rgb"][y]:
            row += bytes((b, g, r))
        row += b"\0" * (stride - len(row))
        pixels += row
    offset = 14 + 40
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    return header + info + bytes(pixels)


def main(argv):
    args = argv[1:]
    expect = None
    if "--expect" in args:
        at = args.index("--expect")
        expect = args[at + 1:]
        args = args[:at]
    if len(args) != 2:
        sys.stderr.write(__doc__)
        return 2
    art_dir, out_dir = args

    manifest = read_manifest(art_dir)
    if expect is not None:
        listed = [e["name"] for e in manifest]
        missing = [n for n in expect if n not in listed]
        extra = [n for n in listed if n not in expect]
        if missing or extra:
            fail(os.path.join(art_dir, MANIFEST), 1, "manifest does not match the build: missing %s, extra %s"
                 % (", ".join(missing) or "none", ", ".join(extra) or "none"))

    fonts = {}
    drawn = [(entry, draw_art(art_dir, entry, manifest, fonts, [])[0]) for entry in manifest]
    os.makedirs(out_dir, exist_ok=True)
    for entry, canvas in drawn:
        target = os.path.join(out_dir, entry["name"] + ".bmp")
        data = bmp_bytes(canvas)
        with open(target + ".tmp", "wb") as handle:
            handle.write(data)
        os.replace(target + ".tmp", target)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
