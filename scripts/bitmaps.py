#!/usr/bin/env python3
"""Pictures between PNG and the Windows BMP format, with nothing but Python.

  bitmaps.py svg-to-bmp IN.svg OUT.bmp   draws the SVG (rsvg-convert) into a
                                         32-bit BMP with premultiplied alpha,
                                         as AlphaBlend wants it
  bitmaps.py bmp-to-png IN.bmp OUT.png   a 24- or 32-bit BMP as an RGB PNG
"""
import struct
import subprocess
import sys
import zlib


def png_pixels(data):
    """The RGBA rows of an 8-bit RGBA, non-interlaced PNG (what rsvg-convert writes)."""
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG"
    pos, idat = 8, b""
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
            assert depth == 8 and colour == 6 and interlace == 0, "only 8-bit RGBA PNGs"
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    raw, stride, rows, prev = zlib.decompress(idat), width * 4, [], bytearray(width * 4)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            left = line[i - 4] if i >= 4 else 0
            up, corner = prev[i], prev[i - 4] if i >= 4 else 0
            if kind == 1:
                line[i] = (line[i] + left) & 255
            elif kind == 2:
                line[i] = (line[i] + up) & 255
            elif kind == 3:
                line[i] = (line[i] + (left + up) // 2) & 255
            elif kind == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                line[i] = (line[i] + (left if pa <= pb and pa <= pc else up if pb <= pc else corner)) & 255
        rows.append(line)
        prev = line
    return width, height, rows


def svg_to_bmp(svg, out):
    width, height, rows = png_pixels(subprocess.run(["rsvg-convert", svg], check=True, capture_output=True).stdout)
    pixels = bytearray()
    for line in reversed(rows):  # BMP rows run bottom-up
        for x in range(width):
            r, g, b, a = line[x * 4:x * 4 + 4]
            pixels += bytes((b * a // 255, g * a // 255, r * a // 255, a))
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 32, 0, len(pixels), 2835, 2835, 0, 0)
    with open(out, "wb") as f:
        f.write(b"BM" + struct.pack("<IHHI", 14 + len(header) + len(pixels), 0, 0, 14 + len(header)))
        f.write(header + pixels)


def bmp_to_png(bmp, out):
    data = open(bmp, "rb").read()
    offset, = struct.unpack("<I", data[10:14])
    _, width, height, _, bits = struct.unpack("<IiiHH", data[14:30])
    assert bits in (24, 32), "only 24- and 32-bit BMPs"
    step, stride = bits // 8, (width * bits // 8 + 3) & ~3
    rows = []
    for y in range(abs(height)):
        source_row = abs(height) - 1 - y if height > 0 else y
        start = offset + source_row * stride
        row = bytearray(b"\0")
        for x in range(width):
            b, g, r = data[start + x * step:start + x * step + 3]
            row += bytes((r, g, b))
        rows.append(bytes(row))

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    with open(out, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, abs(height), 8, 2, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + chunk(b"IEND", b""))


if __name__ == "__main__":
    commands = {"svg-to-bmp": svg_to_bmp, "bmp-to-png": bmp_to_png}
    if len(sys.argv) != 4 or sys.argv[1] not in commands:
        sys.exit(__doc__)
    commands[sys.argv[1]](sys.argv[2], sys.argv[3])
