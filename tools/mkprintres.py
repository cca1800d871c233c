#!/usr/bin/env python3
"""Writes the label print templates and the test bitmap under res/print/.

Not run by the build: run it by hand (python3 tools/mkprintres.py) and commit
what it writes. The output is the same on every run.

The label application on the device reads the templates; it expects UTF-8 with
a byte order mark, CR LF line ends and one comma-separated record per line.
"""

import os
import struct
import sys

BOM = b"\xef\xbb\xbf"
PAGE_432 = ["P", 432, 432]
ROTATE = ["ROTATE", 0]
ALPHA_LOWER = "abcdefghijklmnopqrstuvwxyz 0123456789"
# The upper-case sample line has always lacked its X; the test labels print it so.
ALPHA_UPPER = "ABCDEFGHIJKLMNOPQRSTUVWYZ 0123456789"


def tb(x, y, w, h, size, style, text):
    if "," in text:
        raise ValueError("a template text cannot hold an ASCII comma: " + text)
    return ["TB", x, y, w, h, size, 1, 1, style, 0, "TEXT", text]


def line(x1, y1, x2, y2, thickness, style):
    return ["L", x1, y1, x2, y2, thickness, style]


def text_seg(text):
    return ["TEXT", text]


def data_seg(name, sample, number, length=None):
    return ["DATA", name, sample, number, len(sample) if length is None else length]


def barcode(x, y, ext1, ext2, symbology, flag, marker, segments):
    record = ["B", x, y, ext1, ext2, 2, symbology, flag, marker]
    for segment in segments:
        record += segment
    return record


def qr(x, y, segment):
    return ["QR", x, y, 8, 4, 1, "QR"] + segment


def template(records):
    text = "".join(",".join(str(f) for f in r) + "\r\n" for r in records)
    return BOM + text.encode("utf-8")


def format_checkself():
    return template([
        ["P", 480, 420],
        ["G", 0, 10, 430, 420, ":/new/prefix1/res/print/PRINT_SAMPLE.bmp"],
        [""], [""], [""],
    ])


def tester1():
    def e18(y, total, gross):
        return barcode(40, y, 352, 100, "E18", 1, "BC", [
            text_seg("2"), text_seg("0"),
            data_seg("Total_price", total, 0), data_seg("Gross", gross, 3)])

    return template([
        PAGE_432,
        tb(16, 4, 400, 48, 20, 0, "条码与黑线"),
        e18(52, "12345", "01250"),
        e18(154, "00899", "00500"),
        line(0, 405, 430, 405, 20, 0),
        line(0, 355, 430, 355, 50, 0),
        line(0, 255, 430, 255, 100, 0),
        ROTATE,
    ])


def tester2():
    records = [PAGE_432, tb(16, 2, 400, 36, 2, 2, "字体测试")]
    # 14 boxes each in sizes 0, 1 and 2 (two rows of seven), 8 in size 6.
    y = 40
    for size, height in ((0, 20), (1, 24), (2, 28)):
        for row in range(2):
            for col in range(7):
                records.append(tb(6 + col * 60, y, 60, height, size,
                                  2 * ((row + col) % 2), "重量"))
            y += height
    for row in range(2):
        for col in range(4):
            records.append(tb(8 + col * 104, y, 104, 38, 6, 2 * ((row + col) % 2), "重量"))
        y += 38
    for text in (ALPHA_LOWER, ALPHA_UPPER):
        for size in (0, 1):
            for style in (0, 2):
                records.append(tb(8, y, 416, 20, size, style, text))
                y += 20
    records.append(ROTATE)
    return template(records)


def tester3():
    records = [PAGE_432]
    for i in range(41):
        # 41 lines from y 9 to y 424, spread as evenly as whole dots allow.
        y = 9 + (i * 415 + 20) // 40
        records.append(line(0, y, 432, y, 2, i % 4))
    records.append(ROTATE)
    return template(records)


def test_60x60():
    a14 = "A" * 14
    return template([
        PAGE_432,
        tb(12, 12, 216, 48, 5, 0, a14),
        tb(216, 0, 216, 48, 5, 0, a14),
        tb(108, 96, 216, 48, 5, 0, a14),
        tb(0, 192, 216, 48, 5, 0, a14),
        tb(216, 192, 216, 48, 5, 0, a14),
        tb(108, 288, 216, 48, 5, 0, a14),
        tb(0, 384, 432, 48, 5, 0, a14),
        ROTATE,
    ])


def ean(x, y, samples):
    names = ("barcode", "Price", "Total_price", "sale_price", "sale_total", "Net")
    segments = [text_seg("2"), text_seg("6")]
    for name, (sample, number) in zip(names, samples):
        segments.append(data_seg(name, sample, number))
    return barcode(x, y, 352, 72, "EAN", 0, "BC", segments)


EAN_SAMPLES = [("12345", 0), ("1250", 0), ("12500", 0), ("1100", 0), ("11000", 0), ("1000", 3)]


def test_60x60_2():
    return template([
        PAGE_432,
        tb(16, 8, 400, 32, 1, 0, "END"),
        ean(40, 48, EAN_SAMPLES),
        tb(16, 132, 200, 32, 1, 2, "BREVIN"),
        qr(232, 132, data_seg("remark1", "QR0123456789", 0, 100)),
        tb(16, 180, 200, 32, 1, 0, "BREVIN"),
        ean(40, 300, EAN_SAMPLES),
        tb(16, 392, 400, 32, 1, 0, "END"),
        ROTATE,
    ])


def test_60x60_3():
    return template([
        PAGE_432,
        tb(116, 10, 200, 24, 1, 0, "START"),
        ean(40, 40, EAN_SAMPLES),
        ean(40, 136, EAN_SAMPLES),
        ean(40, 232, EAN_SAMPLES),
        ean(40, 328, EAN_SAMPLES),
        tb(116, 404, 200, 28, 1, 0, "START"),
        ROTATE,
    ])


def test_60x330():
    names = ("barcode", "Price", "Total_price", "sale_price", "sale_total", "Net", "Branch ID")

    def code128(i, y):
        # Every other label carries a five-digit price, to vary the code length.
        price = "%05d" % 1250 if i % 2 else "%04d" % 1250
        samples = [("12345", 0), (price, 0), ("12500", 0), ("1100", 0), ("11000", 0),
                   ("1000", 3), ("001", 0)]
        return barcode(40, y, 400, 96, "1", 0, "N",
                       [data_seg(n, s, k) for n, (s, k) in zip(names, samples)])

    a17 = "A" * 17
    records = [["P", 480, 2640], tb(24, 8, 432, 48, 5, 0, a17)]
    records += [code128(i, 64 + i * 120) for i in range(9)]
    records.append(tb(24, 1136, 432, 48, 5, 0, a17))
    records += [code128(i, 1200 + (i - 9) * 120) for i in range(9, 18)]
    records.append(tb(24, 2280, 432, 48, 5, 0, a17))
    records.append(tb(24, 2359, 432, 96, 1, 0,
                      "测试最长打印长度，此位置为30CM 处，应该停止。下面还有30mm长度"))
    records.append(tb(24, 2601, 432, 32, 1, 0, "此处位置长度为3.3cm"))
    records.append(ROTATE)
    return template(records)


def print_sample():
    """355 x 355 1-bit checkerboard, 10 x 10 cells of 36, 35, 36, ... pixels, top left white."""
    side = 355
    cells = [36 if i % 2 == 0 else 35 for i in range(10)]
    cell_of = []
    for index, extent in enumerate(cells):
        cell_of += [index] * extent
    assert len(cell_of) == side

    stride = (side + 31) // 32 * 4
    rows = []
    for y in range(side):
        row = bytearray(stride)
        for x in range(side):
            if (cell_of[x] + cell_of[y]) % 2 == 0:  # palette index 1: white
                row[x // 8] |= 0x80 >> (x % 8)
        rows.append(bytes(row))
    pixels = b"".join(reversed(rows))  # bottom-up

    offset = 14 + 40 + 2 * 4
    file_header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    info_header = struct.pack("<IiiHHIIiiII", 40, side, side, 1, 1, 0, len(pixels),
                              11811, 11811, 2, 0)
    palette = bytes([0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0])
    return file_header + info_header + palette + pixels


FILES = [
    ("format_checkself.fmt", format_checkself, 77),
    ("Tester1.fmt", tester1, 320),
    ("Tester2.fmt", tester2, 2589),
    ("Tester3.fmt", tester3, 865),
    ("TEST-60x60.fmt", test_60x60, 358),
    ("TEST-60x60-2.fmt", test_60x60_2, 590),
    ("TEST-60x60-3.fmt", test_60x60_3, 826),
    ("TEST-60X330.fmt", test_60x330, 3745),
    ("PRINT_SAMPLE.bmp", print_sample, 17102),
]


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    out_dir = os.path.join(root, "res", "print")
    os.makedirs(out_dir, exist_ok=True)
    wrong = []
    for name, build, size in FILES:
        data = build()
        if len(data) != size:
            wrong.append("%s: %d bytes, expected %d" % (name, len(data), size))
        with open(os.path.join(out_dir, name), "wb") as f:
            f.write(data)
    for message in wrong:
        print(message, file=sys.stderr)
    return 1 if wrong else 0


if __name__ == "__main__":
    sys.exit(main())
