#!/usr/bin/env python3
"""Writes the hand-made seed inputs of the fuzz targets into corpus/<target>/.

The text seeds are edge cases of the file rules; the picture seeds are small valid files of each
kind plus hostile headers (huge or zero sizes, records pointing outside the file). JPEG and icon
seeds need ImageMagick's `convert`. Run from anywhere; existing seeds are overwritten.
"""
import os
import struct
import subprocess
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
CORPUS = os.path.join(HERE, "corpus")


def put(target, name, data):
    d = os.path.join(CORPUS, target)
    os.makedirs(d, exist_ok=True)
    if isinstance(data, str):
        data = data.encode("latin-1")
    with open(os.path.join(d, name), "wb") as f:
        f.write(data)


def example(name):
    with open(os.path.join(ROOT, "examples", name), "rb") as f:
        return f.read()


# ---- control points ------------------------------------------------------------------------
put("reference_fuzz", "example", example("reference.txt"))
put("reference_fuzz", "three_lines", "1   2   3   4   0.5   1.5   -2   \r\n" * 3)
put("reference_fuzz", "split_point", "1 2 3 4 5\n6 7\n8 9 10 11 12 13 14 extra words\n")
put("reference_fuzz", "comma", "1   2   3   4   1,5   0   0   \r\n")
put("reference_fuzz", "real_image_coordinate", "12.0   2   3   4   0   0   0\r\n")
put("reference_fuzz", "hex_and_limits",
    "$7FFFFFFF -2147483648 0x10 $FFFFFFFF 1E-5 -0.0001 123456789012345\n")
put("reference_fuzz", "extreme_reals",
    "0 0 0 0 1.7976931348623157E308 4.9E-324 2.2250738585072014E-308\n")
put("reference_fuzz", "long_token", "1" * 40 + " 2 3 4 " + "9" * 70 + "\n")
put("reference_fuzz", "tabs_and_cr", "\t1\t2\r3\x0b4\x005 6 7\n")

# ---- geometry ------------------------------------------------------------------------------
put("geometry_fuzz", "example", example("geom.txt"))
put("geometry_fuzz", "appended", "p  1.5   -2   0.25   \r\np  1E-5   1.5E20   0   \r\n")
put("geometry_fuzz", "kinds", "P 1 2 3\r\nL 1 2 3 4 5 6\r\nl 0 0 0 1 1 1\nx 1 2 3 4 5 6\n")
put("geometry_fuzz", "blank_lines", "\r\n   \r\n\t\n p 1 2 3\n\n")
put("geometry_fuzz", "last_line_short", "p 1 2")
put("geometry_fuzz", "comma", "p 1,5 2 3\r\n")
put("geometry_fuzz", "extreme", "p 1.7976931348623157E308 -4.9E-324 1e-400\r\nl 1e308 0 0 0 0 0\n")

# ---- settings ------------------------------------------------------------------------------
full = ("[IMAGES]\nLEFT=/tmp/left.jpg\nRIGHT=\n[COLORS]\nOBS=clWhite\n" +
        "".join("REF%d=clRed\n" % i for i in range(1, 10)) + "[CAD]\nSCALE=0.01\nBALL=0.01\n")
put("settings_fuzz", "full", full)
put("settings_fuzz", "crlf", full.replace("\n", "\r\n"))
put("settings_fuzz", "colours",
    "[colors]\nobs = CLRED \nREF1=$0080FF00\nREF2=$80000005\nREF3=-1\nREF4=0x1FFFFFFF\n"
    "REF5=clnone\nREF6=2147483648\nREF7=$100000000\nREF8=blue\nREF9=\n")
put("settings_fuzz", "reals", "[CAD]\nSCALE=1e400\nBALL=0,5\n[cad]\nSCALE=2\n")
put("settings_fuzz", "duplicates_and_junk",
    "junk\n=value\n[IMAGES\n[ IMAGES ]\nLEFT = a=b \n[IMAGES]\nLEFT=second\n[]\n=\n")
put("settings_fuzz", "long_value", "[IMAGES]\nLEFT=" + "x" * 3000 + "\n")
put("settings_fuzz", "bare_cr", "[CAD]\rSCALE=3\r\r\n")

# ---- number conversions (first byte: bit 0 set for ',' as separator) ------------------------
for name, text in [("int", "\x00123"), ("int_blanks", "\x00 \t-42"), ("hex", "\x00$7fffffff"),
                   ("hex_0x", "\x000XFFFFFFFF"), ("int_min", "\x00-2147483648"),
                   ("int_over", "\x002147483648"), ("real_comma", "\x01 -1,5E-3 "),
                   ("real_big", "\x001.18973149535723176e4932"), ("real_tiny", "\x003.6e-4951"),
                   ("dbl_max", "\x001.7976931348623157e308"), ("exp_only", "\x00e5"),
                   ("dot_only", "\x00."), ("many_digits", "\x00" + "9" * 400 + ".5")]:
    put("text_format_fuzz", name, text)
put("text_format_fuzz", "double_bits", b"\x00" + struct.pack("<d", 9.999999999999999e14))
put("text_format_fuzz", "double_denormal", b"\x01" + struct.pack("<d", 5e-324))


# ---- project files (the demo's control points, then the spellings every editor makes) -------
def demo_rows():
    rows = []
    for line in example("reference.txt").decode("latin-1").splitlines():
        if line.strip():
            rows.append(line.split())
    return rows


def demo_project(newline="\n"):
    lines = ["VISTREL-PROJECT 1", "# POINT n: left x y, right x y (pixels), space X Y Z, colour",
             "LEFT /photos/left pair.jpg", "RIGHT right.jpg", "DISTORTION 1", "LENS-MODEL auto",
             "SUB-PIXEL 0", "POINT 0 - - - - - - - $00FFFFFF"]
    for n, r in enumerate(demo_rows(), start=1):
        lines.append("POINT %d %s %s %s %s %s %s %s $000000FF" % (n, *r[:7]))
    return newline.join(lines) + newline


put("project_fuzz", "demo", demo_project())
put("project_fuzz", "demo_crlf", demo_project("\r\n"))
put("project_fuzz", "demo_bare_cr", demo_project("\r"))
put("project_fuzz", "demo_mark", "\xef\xbb\xbf" + demo_project())
put("project_fuzz", "demo_indented", "  " + demo_project("\n\t "))
put("project_fuzz", "parts_missing", demo_project().replace("POINT 3 ", "POINT 3 - - ", 1)
    .replace("POINT 3 - - 1129 727 ", "POINT 3 - - ", 1))
put("project_fuzz", "newer", "VISTREL-PROJECT 99999999999\n")
put("project_fuzz", "long_name", demo_project().replace("right.jpg", "r" * 4200))

# ---- surveyors' coordinate lists -------------------------------------------------------------
xyz = [r[4:7] for r in demo_rows()]
put("coordinate_list_fuzz", "demo_blanks", "".join("%s %s %s\n" % tuple(p) for p in xyz))
put("coordinate_list_fuzz", "demo_csv_header",
    "name,X,Y,Z\r\n" + "".join("P%d,%s,%s,%s\r\n" % (i, *p) for i, p in enumerate(xyz, 1)))
put("coordinate_list_fuzz", "demo_semicolons_comma",
    "\xef\xbb\xbfnom;X;Y;Z\n" + "".join("R%d;%s,5;%s;%s\n" % (i, *p) for i, p in enumerate(xyz, 1)))
put("coordinate_list_fuzz", "demo_tabs_comments",
    "# surveyed\n\n" + "".join("%d\t%s\t%s\t%s\r" % (i, *p) for i, p in enumerate(xyz, 1)))
put("coordinate_list_fuzz", "ten_rows", "".join("%d 1 2 3\n" % i for i in range(10)))
put("coordinate_list_fuzz", "late_header", "1 2 3\nname X Y Z\n")

# ---- bitmaps -------------------------------------------------------------------------------
def dib_header(width, height, bits, compression=0, colors=0, image_size=0):
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, compression, image_size,
                       2835, 2835, colors, 0)


def bmp(info, palette, pixels, offset=None):
    off = 14 + len(info) + len(palette) if offset is None else offset
    body = info + palette + pixels
    return b"BM" + struct.pack("<IHHI", 14 + len(body), 0, 0, off) + body


px24 = bytes([0, 255, 0, 255, 255, 255, 0, 0, 0, 0, 255, 255, 0, 0, 0, 0])
put("bitmap_fuzz", "rgb24_2x2", bmp(dib_header(2, 2, 24), b"", px24))
put("bitmap_fuzz", "top_down", bmp(dib_header(2, -2, 24), b"", px24))
pal = bytes([0, 0, 0, 0, 255, 255, 255, 0])
put("bitmap_fuzz", "mono", bmp(dib_header(8, 2, 1, colors=2), pal, bytes([0xAA, 0, 0, 0, 0x55, 0, 0, 0])))
put("bitmap_fuzz", "rle8", bmp(dib_header(4, 2, 8, compression=1, colors=2), pal,
                               bytes([4, 1, 0, 0, 2, 0, 2, 1, 0, 1])))
masks = struct.pack("<III", 0xFF0000, 0xFF00, 0xFF)
put("bitmap_fuzz", "bitfields32", bmp(dib_header(1, 1, 32, compression=3), masks, b"\x10\x20\x30\x00"))
put("bitmap_fuzz", "huge_size", bmp(dib_header(65535, 65535, 24), b"", px24))
put("bitmap_fuzz", "zero_size", bmp(dib_header(0, 0, 24), b"", b""))
put("bitmap_fuzz", "truncated_pixels", bmp(dib_header(64, 64, 24), b"", px24))
put("bitmap_fuzz", "offset_outside", bmp(dib_header(2, 2, 24), b"", px24, offset=100000))
put("bitmap_fuzz", "core_header", b"BM" + struct.pack("<IHHI", 14 + 12 + 16, 0, 0, 26) +
    struct.pack("<IHHHH", 12, 2, 2, 1, 24) + px24)

# ---- metafiles -----------------------------------------------------------------------------
info = dib_header(2, 2, 24)


def emf(records):
    header = struct.pack("<II", 1, 88) + b"\0" * 32 + struct.pack("<I", 0x464D4520)
    header += b"\0" * (88 - len(header))
    return header + b"".join(records) + struct.pack("<IIIII", 14, 20, 0, 16, 20)


def stretch_dibits(off_bmi=80, cb_bmi=40, off_bits=120, cb_bits=16, size=None):
    body = b"\0" * 16 + struct.pack("<iiiiii", 0, 0, 0, 0, 2, 2)
    body += struct.pack("<IIII", off_bmi, cb_bmi, off_bits, cb_bits)
    body += struct.pack("<IIii", 0, 0x00CC0020, 2, 2)
    rec = body + info + px24
    return struct.pack("<II", 81, size if size is not None else 8 + len(rec)) + rec


def wmf(records, placeable=True):
    head = b""
    if placeable:
        head = struct.pack("<I", 0x9AC6CDD7) + b"\0" * 18
    head += struct.pack("<HHHIHIH", 1, 9, 0x0300, 0, 0, 0, 0)
    return head + b"".join(records) + struct.pack("<IH", 3, 0)


def stretch_dib(payload=None, words=None):
    body = struct.pack("<I", 0x00CC0020) + struct.pack("<9h", 0, 2, 2, 0, 0, 2, 2, 0, 0)
    body += payload if payload is not None else info + px24
    return struct.pack("<IH", words if words is not None else (6 + len(body)) // 2, 0x0F43) + body


put("metafile_fuzz", "emf_stretchdibits", emf([stretch_dibits()]))
put("metafile_fuzz", "emf_offset_outside", emf([stretch_dibits(off_bits=100000)]))
put("metafile_fuzz", "emf_size_outside", emf([stretch_dibits(size=4000)]))
put("metafile_fuzz", "emf_no_bitmap", emf([struct.pack("<IIii", 27, 16, 0, 0)]))
put("metafile_fuzz", "wmf_placeable", wmf([stretch_dib()]))
put("metafile_fuzz", "wmf_plain", wmf([stretch_dib()], placeable=False))
put("metafile_fuzz", "wmf_size_outside", wmf([stretch_dib(words=30000)]))
put("metafile_fuzz", "wmf_huge_bitmap", wmf([stretch_dib(dib_header(60000, 60000, 24) + px24)]))
put("metafile_fuzz", "wmf_palette_outside", wmf([stretch_dib(dib_header(2, 2, 8, colors=200) + px24)]))

# ---- JPEG and icons through ImageMagick ----------------------------------------------------
with tempfile.TemporaryDirectory() as tmp:
    def convert(args, out):
        path = os.path.join(tmp, out)
        subprocess.run(["convert"] + args + [path], check=True)
        with open(path, "rb") as f:
            return f.read()

    base = ["-size", "16x12", "gradient:red-blue"]
    baseline = convert(base + ["-quality", "70"], "a.jpg")
    put("jpeg_fuzz", "baseline_420", baseline)
    put("jpeg_fuzz", "progressive", convert(base + ["-interlace", "JPEG"], "p.jpg"))
    put("jpeg_fuzz", "grey", convert(base + ["-colorspace", "Gray"], "g.jpg"))
    put("jpeg_fuzz", "cmyk", convert(base + ["-colorspace", "CMYK"], "c.jpg"))
    put("jpeg_fuzz", "restart_444", convert(base + ["-sampling-factor", "1x1", "-define",
                                                    "jpeg:restart-interval=1"], "r.jpg"))
    put("jpeg_fuzz", "truncated_scan", baseline[:len(baseline) * 2 // 3])
    # The frame header's height and width (after FFC0, length, precision) set to 65000 x 65000.
    sof = baseline.find(b"\xff\xc0")
    huge = bytearray(baseline)
    huge[sof + 5:sof + 9] = struct.pack(">HH", 65000, 65000)
    put("jpeg_fuzz", "huge_declared", bytes(huge))
    big = bytearray(baseline)
    big[sof + 5:sof + 9] = struct.pack(">HH", 4000, 3000)
    put("jpeg_fuzz", "large_declared_truncated", bytes(big))
    zero = bytearray(baseline)
    zero[sof + 5:sof + 9] = struct.pack(">HH", 0, 16)
    put("jpeg_fuzz", "zero_height", bytes(zero))

    put("icon_fuzz", "bmp_16", convert(["-size", "16x16", "gradient:red-blue"], "i.ico"))
    put("icon_fuzz", "png_32", convert(["-size", "32x32", "xc:green", "-define",
                                        "icon:auto-resize=32"], "p.ico"))
    put("icon_fuzz", "two_sizes", convert(["-size", "16x16", "xc:blue", "(", "-size", "8x8",
                                           "xc:red", ")"], "t.ico"))
    # One entry whose offset points past the end of the file.
    ico = bytearray(convert(["-size", "16x16", "xc:white"], "o.ico"))
    ico[18:22] = struct.pack("<I", 1 << 30)
    put("icon_fuzz", "offset_outside", bytes(ico))
