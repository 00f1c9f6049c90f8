#!/usr/bin/env python3
"""Writes the hand-made seed inputs of the fuzz targets into fuzz/corpus/<target>/seed-*.

The image reader's seeds are pictures, made at build time by ImageSeeds.cpp instead. Inputs that once made a
target fail are kept beside the seeds as regression-* files; this script leaves them alone.

    python3 fuzz/make-corpus.py
"""
import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))


def write(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    if isinstance(data, str):
        data = data.encode("latin-1")
    with open(os.path.join(folder, "seed-" + name), "wb") as f:
        f.write(data)


# ---- ini: a byte for the read buffers' size, four choosing the key set and its value, then the file -------

def ini(name, text, size=128, seed=1):
    data = text.encode("latin-1") if isinstance(text, str) else text
    write("ini", name, bytes([size - 1]) + struct.pack(">I", seed) + data)
    # stored_defaults: four bytes choosing what is stored, then the file; seed 0 stores twice.
    write("stored_defaults", name, struct.pack(">I", seed) + data)
    write("stored_defaults", name + "_twice", struct.pack(">I", seed * 4) + data)


STORED = (
    "[Version=1.0]\r\nBlur Type=1\r\nBlur Amount=12.500000\r\nBlur Repeat Num=3\r\nBlur Aspect=-2.000000\r\n"
    "Brightness=0.000000\r\nR=0.000000\r\nG=5.000000\r\nB=15.000000\r\nAuto Alpha=1\r\nA=0.000000\r\n"
    "1 : Enable=1\r\n1 : Color.r=3\r\n1 : Color.g=180\r\n1 : Color.b=245\r\n1 : Color.a=255\r\n"
    "1 : Color Range=10.000000\r\nMode=2\r\nInvert=0\r\nKeep Division=1\r\n"
)
ini("empty", "")
ini("stored", STORED)
ini("stored_small_buffer", STORED, size=3, seed=7)
ini("out_of_range",
    "[Version=1.0]\nBlur Repeat Num=2147483647\nBlur Type=-1\nMode=99\nBlur Amount=3.4e38\nR=nan\nG=-inf\n"
    "B=99999999999999999999\n1 : Color.r=0x1ff\n2 : Color.g=-0b101\nA=1e-400\nBrightness=0o777\n")
ini("sections_and_quotes",
    "top=level\n[Other]\nkey = \"quoted value\" \nBlur Type=2\n[version=1.0]\nblur amount='7'\n"
    "[Version=1.0]\nBlur Amount=9\n[Other]\nkey=second\n")
ini("line_ends", "[Version=1.0]\rBlur Amount=1\r\r\nR=2\nG=3\r\n[Next]\rx=y")
ini("no_final_line_end", "[Other]\nx=1\n[Version=1.0]\nMode=1")
ini("bom", "\xef\xbb\xbf[Version=1.0]\r\nMode=3\r\n")
ini("utf16", "\xff\xfe" + "".join(c + "\0" for c in "[Version=1.0]\r\nMode=2\r\n"))
ini("utf16_big_endian", "\xfe\xff" + "".join("\0" + c for c in "[Version=1.0]\r\nMode=2\r\n"))
ini("nul_and_controls", "[Ver\0sion=1.0]\n\x1aBlur Amount\0=5\nR\t=\t6\x1a\n[]\n=novalue\nkeyonly\n[unclosed\n")
ini("long_value", "[Version=1.0]\nBlur Amount=" + "9" * 400 + "\nR=" + "1" * 40 + "\n")

# ---- sequence_data: a byte choosing a host failure (64 and above: none), then the stored bytes -----------

FLAT = struct.pack("<IIII", 0x7A767371, 1, 1, 24) + bytes(range(16, 24))
write("sequence_data", "flat", b"\xff" + FLAT)
write("sequence_data", "empty", b"\xff")
write("sequence_data", "magic_only", b"\xff" + FLAT[:4])
write("sequence_data", "short", b"\xff" + FLAT[:20])
write("sequence_data", "wrong_version", b"\xff" + FLAT[:8] + struct.pack("<I", 2) + FLAT[12:])
write("sequence_data", "long", b"\xff" + FLAT + b"\xab" * 100)
write("sequence_data", "foreign", b"\xff" + b"not ours at all, but long enough")
for n in range(8):
    write("sequence_data", "failure_%d" % n, bytes([n]) + FLAT)

# ---- preset: the file's text ----------------------------------------------------------------------------

write("preset", "saved",
      '{\n  "format": "tovrin-preset",\n  "version": 1,\n  "effect": "OSTREL TOVRIN",\n  "controls": {\n'
      '    "50": {"name":"Blur Type","value":1,"choice":"Gaussian"},\n'
      '    "51": {"name":"Blur Amount","value":12.5},\n'
      '    "52": {"name":"Blur Repeat Num","value":4},\n'
      '    "102": {"name":"Auto Alpha","value":false},\n'
      '    "153": {"name":"1 : Color","value":[3,180,245]},\n'
      '    "164": {"name":"Mode","value":2,"choice":"Extract"}\n  }\n}\n')
write("preset", "by_name",
      '{"controls": {"Blur Amount": 12, "Mode": "Extract", "1 : Color": "#ff8000", "Invert": "on",'
      ' "Blur Type": "Box", "1 : Enable": true, "Blur Aspect": "-2.5"}}')
write("preset", "unknown_id", '{"controls": {"9999": {"name": "Gone", "value": 1}, "51": 3}}')
write("preset", "wrong_values",
      '{"controls": {"Blur Amount": 1e400, "Blur Repeat Num": 11, "1 : Color": [1, 2], "Mode": 0}}')
write("preset", "other_effect", '{"effect": "SOMEONE ELSE", "controls": {}}')
write("preset", "deep", "[" * 40 + "]" * 40)
write("preset", "strings", '{"controls": {"Blur Amount": "\\u0031\\u0032", "R": " 7 ", "G": "+3"}}')
write("preset", "not_json", "controls: {Blur Amount: 12}")

# ---- frame_pattern: a file name; frame_list: a --frames text ----------------------------------------------

for i, name in enumerate([
        "shot.####.exr", "shot.#.png", "plate_%04d.tif", "plate_%4d.tif", "a@@@b.png", "single@.jpg",
        "percent%%_%d.exr", "no_pattern.exr", "wide." + "#" * 18 + ".exr", "too_wide." + "#" * 19 + ".exr",
        "two.##.%03d.exr", "%019d.exr", "%0d_%%.exr", "%00004d.exr", "%18d", "100%", "%%%d%%",
]):
    write("frame_pattern", "%02d" % i, name)
for i, frames in enumerate([
        "1-3,8,20-40x5", "-10--1", "1001-1010x3,1001", "7", "5-5", "3-1", "2147483640-2147483647x3",
        "1-1000000", "1-1000001", "x", "1-2x0", ",,", "-2147483648--2147483647", "1-10x2147483647",
        "99999999999", "1,-", "+1", "1-2-3",
]):
    write("frame_list", "%02d" % i, frames)

# ---- render: depth, width, height, mode, downsampling, the controls' values, then the pixels ---------------


CONTROL_BYTES = 86  # 11 float sliders of 5 bytes, a slider and 2 popups of 4, 7 checkboxes of 1, 4 colours of 3


def render(name, depth, width, height, mode, controls, pixels):
    data = bytes([depth]) + struct.pack(">II", width - 1, height - 1) + bytes([mode])
    data += struct.pack(">II", 0, 0) + (controls * CONTROL_BYTES)[:CONTROL_BYTES].ljust(CONTROL_BYTES, b"\0")
    data += pixels
    write("render", name, data)


PIXELS = bytes((x * 37 + 11) % 256 for x in range(256))
render("zeros_8bit", 0, 12, 9, 0, b"", PIXELS)
render("classic_16bit", 1, 7, 13, 1, bytes(range(200)), PIXELS)
render("float_raw", 2, 10, 10, 4, bytes(range(255, 0, -1)), PIXELS + b"\x7f\xc0\x00\x00\xff\x80\x00\x00")
render("float_fractions_draft", 2, 16, 3, 2, b"\x10\x20" * 60, PIXELS)
render("one_pixel", 0, 1, 1, 0, b"\xff" * 120, b"\x80")
render("long_blur", 0, 40, 40, 1, b"\xff\xff\xff\xff\xff" * 30, PIXELS)

# ---- image_read: the format's number (png 0, exr 1, tif 2, jpg 3, bmp 4, tga 5, hdr 6, ppm 7, sgi 8, dpx 9), a
# settings byte, then the file; the pictures themselves come from ImageSeeds.cpp --------------------------


def png_chunk(kind, data):
    import zlib
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)


def png(width, height, depth, colour, rows):
    import zlib
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, depth, colour, 0, 0, 0))
            + png_chunk(b"IDAT", zlib.compress(rows, 9)) + png_chunk(b"IEND", b""))


write("image_read", "ppm_text", b"\x07\x00P3\n2 2\n255\n255 0 0  0 255 0\n0 0 255  255 255 255\n")
write("image_read", "pgm_16bit", b"\x07\x09P5\n3 1\n65535\n" + b"\x00\x01\x80\x00\xff\xff")
# A header that claims far more pixels than the file holds, and one beyond the host's size limit.
write("image_read", "png_bomb", b"\x00\x00" + png(30000, 30000, 8, 6, b"\x00" * 1000))
write("image_read", "png_too_wide", b"\x00\x00" + png(40000, 1, 8, 2, b"\x00" + b"\x00" * 120000))
write("image_read", "png_cut_short", b"\x00\x00" + png(16, 16, 8, 2, bytes(range(256)) * 4)[:60])
write("image_read", "png_palette", b"\x00\x00" + png(4, 1, 8, 3, b"\x00\x00\x01\x02\x03")[:-12])

sys.exit(0)
