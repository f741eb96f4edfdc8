#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes the small test pictures of this folder. Needs python3, cjpeg (libjpeg-turbo) and
cmyk_jpeg (a few lines of C over libjpeg, see make_cmyk_jpeg.c). Run it in this folder."""

import struct
import subprocess
import tempfile
import zlib

RED, GREEN, BLUE, WHITE, BLACK = (255, 0, 0), (0, 255, 0), (0, 0, 255), (255, 255, 255), (0, 0, 0)


def quadrants(width, height, bottom_right):
    """Rows of RGB(A) tuples: red top left, green top right, blue bottom left."""
    rows = []
    for y in range(height):
        row = []
        for x in range(width):
            if y < height // 2:
                row.append(RED if x < width // 2 else GREEN)
            else:
                row.append(BLUE if x < width // 2 else bottom_right)
        rows.append(row)
    return rows


def checker(size):
    return [[WHITE if (x + y) % 2 else BLACK for x in range(size)] for y in range(size)]


# PNG ------------------------------------------------------------------------------------------

def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def png(width, height, rows, interlaced=False):
    has_alpha = any(len(p) == 4 for row in rows for p in row)
    color_type = 6 if has_alpha else 2

    def raw_bytes(pixels):
        return bytes(v for p in pixels for v in (p if not has_alpha else (p + (255,) if len(p) == 3 else p)))

    raw = b""
    if not interlaced:
        for row in rows:
            raw += b"\0" + raw_bytes(row)
    else:
        passes = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)]
        for x0, y0, dx, dy in passes:
            for y in range(y0, height, dy):
                pixels = [rows[y][x] for x in range(x0, width, dx)]
                if pixels:
                    raw += b"\0" + raw_bytes(pixels)
    ihdr = struct.pack(">IIBBBBB", width, height, 8, color_type, 0, 0, 1 if interlaced else 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


# GIF ------------------------------------------------------------------------------------------

def lzw(indices):
    """LZW data with code size 8 that never grows: a clear code every 200 pixels."""
    clear, end = 256, 257
    codes = []
    for i, index in enumerate(indices):
        if i % 200 == 0:
            codes.append(clear)
        codes.append(index)
    codes.append(end)
    bits, nbits, out = 0, 0, bytearray()
    for code in codes:
        bits |= code << nbits
        nbits += 9
        while nbits >= 8:
            out.append(bits & 0xFF)
            bits >>= 8
            nbits -= 8
    if nbits:
        out.append(bits & 0xFF)
    blocks = bytearray([8])
    for i in range(0, len(out), 255):
        part = out[i:i + 255]
        blocks += bytes([len(part)]) + part
    return bytes(blocks + b"\0")


def color_table(colors):
    size = 2
    while size < len(colors):
        size *= 2
    table = b"".join(bytes(c) for c in colors) + b"\0\0\0" * (size - len(colors))
    return table, size.bit_length() - 2


def gif(screen, frame_rect, frame_rows, palette, global_palette=True, local_palette=None,
        transparent=None, interlaced=False):
    width, height = screen
    left, top, fw, fh = frame_rect
    out = b"GIF89a" + struct.pack("<HH", width, height)
    if global_palette:
        table, bits = color_table(palette)
        out += bytes([0x80 | bits, 0, 0]) + table
    else:
        out += bytes([0, 0, 0])
    if transparent is not None:
        out += b"\x21\xf9\x04\x01\x00\x00" + bytes([transparent]) + b"\x00"
    flags = 0x40 if interlaced else 0
    local = b""
    if local_palette is not None:
        local, bits = color_table(local_palette)
        flags |= 0x80 | bits
    out += b"\x2c" + struct.pack("<HHHH", left, top, fw, fh) + bytes([flags]) + local
    order = list(range(fh))
    if interlaced:
        order = list(range(0, fh, 8)) + list(range(4, fh, 8)) + list(range(2, fh, 4)) + list(range(1, fh, 2))
    out += lzw([i for y in order for i in frame_rows[y]])
    return out + b"\x3b"


def indexed(rows, palette):
    return [[palette.index(p) for p in row] for row in rows]


# JPEG -----------------------------------------------------------------------------------------

def ppm(rows):
    height, width = len(rows), len(rows[0])
    return b"P6\n%d %d\n255\n" % (width, height) + bytes(v for row in rows for p in row for v in p)


def cjpeg(rows, *options):
    return subprocess.run(["cjpeg", *options], input=ppm(rows), capture_output=True, check=True).stdout


def with_exif_orientation(jpeg, orientation, little_endian):
    e = "<" if little_endian else ">"
    tiff = (b"II" if little_endian else b"MM") + struct.pack(e + "HI", 42, 8)
    # IFD0 with two entries, the orientation second, so that the search walks the directory.
    tiff += struct.pack(e + "H", 2)
    tiff += struct.pack(e + "HHI", 0x010F, 2, 4) + b"Cam\0"
    tiff += struct.pack(e + "HHIH", 0x0112, 3, 1, orientation) + b"\0\0"
    tiff += struct.pack(e + "I", 0)
    payload = b"Exif\0\0" + tiff
    app1 = b"\xff\xe1" + struct.pack(">H", len(payload) + 2) + payload
    return jpeg[:2] + app1 + jpeg[2:]


def with_size(jpeg, width, height):
    """Puts another picture size into the frame header (SOF0/1/2)."""
    i = 2
    while True:
        marker, length = jpeg[i + 1], struct.unpack(">H", jpeg[i + 2:i + 4])[0]
        if marker in (0xC0, 0xC1, 0xC2):
            return jpeg[:i + 5] + struct.pack(">HH", height, width) + jpeg[i + 9:]
        i += 2 + length


def start_of_scan(jpeg):
    return jpeg.index(b"\xff\xda")


def main():
    write = lambda name, data: open(name, "wb").write(data)
    quad = quadrants(64, 48, (0, 0, 0, 0))
    write("quadrants.png", png(64, 48, quad))
    write("checker.png", png(256, 256, checker(256)))
    write("checker_interlaced.png", png(256, 256, checker(256), interlaced=True))
    bad_crc = bytearray(png(64, 48, quad))
    iend = bad_crc.rindex(b"IEND")
    bad_crc[iend - 5] ^= 0xFF  # last byte of the IDAT checksum
    write("png_bad_crc.png", bytes(bad_crc))
    good = png(64, 48, quad)
    idat = good.index(b"IDAT")
    write("png_truncated.png", good[:idat + 4 + 20])
    huge = png(4, 4, checker(4))
    ihdr = struct.pack(">IIBBBBB", 100000, 100000, 8, 2, 0, 0, 0)
    write("huge_dimensions.png", huge[:8] + chunk(b"IHDR", ihdr) + huge[8 + 25:])
    write("zero_length.png", b"")

    palette = [RED, GREEN, BLUE, WHITE, BLACK]
    quad_gif = quadrants(64, 48, BLACK)
    write("quadrants.gif", gif((64, 48), (0, 0, 64, 48), indexed(quad_gif, palette), palette, transparent=4))
    bw = [BLACK, WHITE]
    write("checker.gif", gif((256, 256), (0, 0, 256, 256), indexed(checker(256), bw), bw))
    write("checker_interlaced.gif",
          gif((256, 256), (0, 0, 256, 256), indexed(checker(256), bw), bw, interlaced=True))
    # A 4x4 red frame at (2, 2) on a 4x4 screen: only its top-left 2x2 lies on the screen.
    write("gif_frame_outside.gif", gif((4, 4), (2, 2, 4, 4), [[0] * 4] * 4, [RED, GREEN]))
    # The global table is all green; the frame's own table says red.
    write("gif_local_colormap.gif",
          gif((4, 4), (0, 0, 4, 4), [[0] * 4] * 4, [GREEN, GREEN], local_palette=[RED, RED]))
    write("gif_no_colormap.gif", gif((4, 4), (0, 0, 4, 4), [[0] * 4] * 4, [RED], global_palette=False))
    whole = gif((64, 48), (0, 0, 64, 48), indexed(quad_gif, palette), palette)
    write("gif_truncated.gif", whole[:len(whole) // 2])
    write("gif_no_image.gif", whole[:6 + 7 + 24] + b"\x3b")
    small = gif((4, 4), (0, 0, 4, 4), [[0] * 4] * 4, [RED, GREEN])
    write("huge_dimensions.gif", small[:6] + struct.pack("<HH", 65535, 65535) + small[10:])
    frame_at = small.index(b"\x2c")
    write("gif_huge_frame.gif",
          small[:frame_at + 5] + struct.pack("<HH", 60000, 60000) + small[frame_at + 9:])
    write("zero_length.gif", b"")

    quad_rgb = quadrants(64, 48, WHITE)
    jpeg = cjpeg(quad_rgb, "-quality", "95", "-sample", "1x1")
    write("quadrants.jpg", jpeg)
    write("quadrants_gray.jpg", cjpeg(quad_rgb, "-quality", "95", "-grayscale"))
    write("quadrants_progressive.jpg", cjpeg(quad_rgb, "-quality", "95", "-sample", "1x1", "-progressive"))
    write("exif_orientation_6.jpg", with_exif_orientation(jpeg, 6, little_endian=True))
    write("exif_orientation_3.jpg", with_exif_orientation(jpeg, 3, little_endian=False))
    write("truncated_header.jpg", jpeg[:start_of_scan(jpeg) - 40])
    sos = start_of_scan(jpeg)
    write("truncated_scan.jpg", jpeg[:sos + (len(jpeg) - sos) // 2])
    write("zero_length.jpg", b"")
    write("huge_dimensions.jpg", with_size(jpeg, 65000, 65000))
    # 15000 x 10000: too much memory for every pixel, but fine reduced (its data is missing).
    write("huge_baseline.jpg", with_size(jpeg, 15000, 10000))
    # 12000 x 12000 progressive 4:4:4 needs 864 MB of coefficients whatever the output size.
    write("huge_progressive.jpg", with_size(cjpeg(quad_rgb, "-sample", "1x1", "-progressive"), 12000, 12000))
    # A sequential picture with one scan per colour component whose last scan is repeated 150 times
    # (cjpeg writes at most 100 scans); each repetition is valid on its own.
    with tempfile.NamedTemporaryFile("w", suffix=".txt") as script:
        script.write("0;\n1;\n2;\n")
        script.flush()
        separate = cjpeg(quadrants(16, 16, WHITE), "-scans", script.name)
    last_scan = separate.rindex(b"\xff\xda")
    write("too_many_scans.jpg", separate[:-2] + separate[last_scan:-2] * 150 + b"\xff\xd9")
    # Gray, a restart marker after every block, the data between them replaced by noise: every
    # block gives a warning.
    noisy = bytearray(cjpeg(checker(128), "-grayscale", "-restart", "1B", "-quality", "100"))
    sos = start_of_scan(noisy)
    sos_end = sos + 2 + struct.unpack(">H", noisy[sos + 2:sos + 4])[0]
    seed = 12345
    for i in range(sos_end, len(noisy) - 2):
        if noisy[i] == 0xFF or noisy[i - 1] == 0xFF:
            continue
        seed = (seed * 1103515245 + 12345) & 0x7FFFFFFF
        noisy[i] = (seed >> 16) % 0xFF
    write("too_many_warnings.jpg", bytes(noisy))
    subprocess.run(["./cmyk_jpeg", "cmyk_adobe.jpg"], check=True)


main()
