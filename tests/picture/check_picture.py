#!/usr/bin/env python3
"""check_picture.py - checks the snapshot that tests/picture/screen.btm made.

    check_picture.py PICTURE.svg

The picture must parse as XML, be sized to the 40 x 6 window, carry the
characters and tooltips of the screen, and, rendered to PNG with
rsvg-convert, show each checked cell in the right colours.  Prints a line
for each check that fails, and how many passed; exits 1 when any failed.
"""
import struct
import subprocess
import sys
import xml.etree.ElementTree as ET
import zlib

SVG = "{http://www.w3.org/2000/svg}"
COLUMNS, ROWS = 40, 6

# The classic console palette: Wine's console reports no colour table, so
# the snapshot must fall back to this one.
PALETTE = [
    (0x00, 0x00, 0x00), (0x00, 0x00, 0x80), (0x00, 0x80, 0x00), (0x00, 0x80, 0x80),
    (0x80, 0x00, 0x00), (0x80, 0x00, 0x80), (0x80, 0x80, 0x00), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0x00, 0x00, 0xFF), (0x00, 0xFF, 0x00), (0x00, 0xFF, 0xFF),
    (0xFF, 0x00, 0x00), (0xFF, 0x00, 0xFF), (0xFF, 0xFF, 0x00), (0xFF, 0xFF, 0xFF),
]


def read_png(data):
    """Width, height and a function (x, y) -> (r, g, b) for an 8-bit RGB or
    RGBA, non-interlaced PNG, which is what rsvg-convert writes."""
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG file"
    pos, idat = 8, b""
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
            assert depth == 8 and colour in (2, 6) and interlace == 0, "unexpected PNG kind"
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    channels = 3 if colour == 2 else 4
    stride = width * channels
    raw = zlib.decompress(idat)
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            left = line[i - channels] if i >= channels else 0
            up = previous[i]
            upper_left = previous[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + left) & 0xFF
            elif kind == 2:
                line[i] = (line[i] + up) & 0xFF
            elif kind == 3:
                line[i] = (line[i] + (left + up) // 2) & 0xFF
            elif kind == 4:
                p = left + up - upper_left
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - upper_left)
                pred = left if pa <= pb and pa <= pc else up if pb <= pc else upper_left
                line[i] = (line[i] + pred) & 0xFF
        rows.append(line)
        previous = line
    return width, height, lambda x, y: tuple(rows[y][x * channels:x * channels + 3])


class Checks:
    def __init__(self):
        self.passed, self.failed = 0, []

    def expect(self, name, ok, detail=""):
        if ok:
            self.passed += 1
        else:
            print("check_picture: %s failed: %s" % (name, detail))
            self.failed.append(name)

    def report(self):
        print("check_picture: %d checks passed, %d failed" % (self.passed, len(self.failed)))
        return 1 if self.failed else 0


def main(svg_path):
    checks = Checks()
    try:
        root = ET.parse(svg_path).getroot()
    except ET.ParseError as error:
        checks.expect("WellFormedXml", False, str(error))
        return checks.report()
    checks.expect("WellFormedXml", True)

    # Cells in drawing order: one <g> each, row by row, holding its tooltip,
    # its background rectangle and, unless blank, its character.
    cells = root.findall(SVG + "g")
    checks.expect("OneGroupPerCell", len(cells) == COLUMNS * ROWS,
                  "%d cell groups for a %d x %d window" % (len(cells), COLUMNS, ROWS))
    if len(cells) != COLUMNS * ROWS:
        return checks.report()
    first = cells[0].find(SVG + "rect")
    cell_w, cell_h = int(first.get("width")), int(first.get("height"))
    size = (root.get("width"), root.get("height"))
    checks.expect("SizedToTheWindow", size == (str(COLUMNS * cell_w), str(ROWS * cell_h)),
                  "%s x %s for %d x %d cells of %d x %d" % (size + (COLUMNS, ROWS, cell_w, cell_h)))

    def cell(row, column):
        return cells[row * COLUMNS + column]

    def characters(row):
        text = ""
        for column in range(COLUMNS):
            glyph = cell(row, column).find(SVG + "text")
            text += " " if glyph is None else glyph.text
        return text.rstrip()

    want = "<a href=\"x\">&amp;</a> ' &"
    checks.expect("ReservedCharactersSurvive", characters(3) == want,
                  "row 3 reads %r, not %r" % (characters(3), want))
    tooltip = cell(2, 0).findtext(SVG + "title")
    checks.expect("TooltipReadsLikeCellattr",
                  "801F" in tooltip and "Bright White on Blue" in tooltip and "row 2" in tooltip,
                  "the tooltip of row 2, column 0 is %r" % tooltip)

    png = subprocess.run(["rsvg-convert", svg_path], check=True, capture_output=True).stdout
    width, height, pixel = read_png(png)
    checks.expect("RenderedToTheWindowsSize", (width, height) == (COLUMNS * cell_w, ROWS * cell_h),
                  "rendered %d x %d" % (width, height))

    def centre(row, column):
        return pixel(column * cell_w + cell_w // 2, row * cell_h + cell_h // 2)

    def bottom(row, column):
        return pixel(column * cell_w + cell_w // 2, (row + 1) * cell_h - 1)

    for n in range(16):
        checks.expect("BackgroundColour%d" % n, centre(1, n) == PALETTE[n],
                      "cell 1,%d shows %s, not %s" % (n, centre(1, n), PALETTE[n]))
    # 0x801F: Bright White on Blue, underlined.
    checks.expect("UnderlineInTheForeground", bottom(2, 0) == PALETTE[15] and
                  centre(2, 0) == PALETTE[1], "bottom %s, centre %s" % (bottom(2, 0), centre(2, 0)))
    # 0x401F: reverse video shows Blue on Bright White.
    checks.expect("ReverseVideoSwaps", centre(2, 2) == PALETTE[15] and bottom(2, 2) == PALETTE[15],
                  "centre %s, bottom %s" % (centre(2, 2), bottom(2, 2)))
    # 0xC04E: Bright Yellow on Red, reversed and underlined: a Red line on
    # Bright Yellow.
    checks.expect("ReversedUnderline", centre(2, 4) == PALETTE[14] and bottom(2, 4) == PALETTE[4],
                  "centre %s, bottom %s" % (centre(2, 4), bottom(2, 4)))
    # The cursor on 0x2E: an outline in Bright Yellow around Green.
    edge = pixel(2 * cell_w, 4 * cell_h + cell_h // 2)
    checks.expect("CursorMarked", edge == PALETTE[14] and centre(4, 2) == PALETTE[2],
                  "edge %s, centre %s" % (edge, centre(4, 2)))
    return checks.report()


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
