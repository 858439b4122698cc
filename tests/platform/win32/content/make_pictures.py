#!/usr/bin/env python3
"""Writes the pictures the Windows decoding tests read, into the folder given
as the only argument: PNG files through zlib, and JPEG files through the small
baseline and progressive encoder below (no JPEG library is needed on the build
machine). Sample values follow the same formulas as the tests' expectations."""

import math
import struct
import sys
import zlib
from pathlib import Path


# ---- PNG

def png_chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))


ADAM7 = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)]


def png(width, height, colour_type, depth, rows, palette=None, palette_alpha=None,
        transparent=None, gamma=None, interlaced=False):
    """rows: one list of samples a row (packed bytes for depths below 8)."""
    channels = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}[colour_type]
    sample_bytes = 2 if depth == 16 else 1

    def encode_row(samples):
        if depth == 16:
            return b"".join(struct.pack(">H", s) for s in samples)
        return bytes(samples)

    raw = bytearray()
    if not interlaced:
        for row in rows:
            raw += b"\0" + encode_row(row)
    else:
        assert depth >= 8
        for x0, y0, dx, dy in ADAM7:
            for y in range(y0, height, dy):
                picked = []
                for x in range(x0, width, dx):
                    picked += rows[y][x * channels:(x + 1) * channels]
                if picked:
                    raw += b"\0" + encode_row(picked)
    del sample_bytes
    out = b"\x89PNG\r\n\x1a\n"
    out += png_chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, depth, colour_type, 0, 0,
                                          1 if interlaced else 0))
    if gamma is not None:
        out += png_chunk(b"gAMA", struct.pack(">I", round(gamma * 100000)))
    if palette is not None:
        out += png_chunk(b"PLTE", bytes(palette))
    if palette_alpha is not None:
        out += png_chunk(b"tRNS", bytes(palette_alpha))
    if transparent is not None:
        out += png_chunk(b"tRNS", b"".join(struct.pack(">H", s) for s in transparent))
    out += png_chunk(b"IDAT", zlib.compress(bytes(raw), 9))
    out += png_chunk(b"IEND", b"")
    return out


def samples(count):
    return [(i * 37 + 11) & 0xFF for i in range(count)]


def rows_of(flat, width, channels):
    step = width * channels
    return [flat[i:i + step] for i in range(0, len(flat), step)]


def blank_png(width, height):
    return png(width, height, 0, 1, [[0] * ((width + 7) // 8)] * height)


def pngs():
    rgba = samples(7 * 5 * 4)
    rgba[3], rgba[7], rgba[11] = 0, 1, 255
    rgb = samples(6 * 4 * 3)
    eight = [128, 0, 255, 255, 7, 200, 64, 128]
    sixteen = [s * 257 for s in eight]
    zero_width = bytearray(png(7, 5, 6, 8, rows_of(samples(7 * 5 * 4), 7, 4)))
    zero_width[16:20] = b"\0\0\0\0"
    zero_width[29:33] = struct.pack(">I", zlib.crc32(bytes(zero_width[12:29])))
    return {
        "rgba.png": png(7, 5, 6, 8, rows_of(rgba, 7, 4)),
        "rgba-adam7.png": png(7, 5, 6, 8, rows_of(rgba, 7, 4), interlaced=True),
        "rgb.png": png(6, 4, 2, 8, rows_of(rgb, 6, 3)),
        "rgb-gamma.png": png(6, 4, 2, 8, rows_of(rgb, 6, 3), gamma=1 / 2.2),
        "rgb-transparent.png": png(2, 1, 2, 8, [[10, 20, 30, 40, 50, 60]], transparent=[10, 20, 30]),
        "palette.png": png(4, 2, 3, 8, [[0, 1, 2, 3], [3, 2, 1, 0]],
                           palette=[255, 0, 0, 0, 255, 0, 0, 0, 255, 9, 8, 7]),
        "palette-alpha.png": png(4, 2, 3, 8, [[0, 1, 2, 3], [3, 2, 1, 0]],
                                 palette=[255, 0, 0, 0, 255, 0, 0, 0, 255, 9, 8, 7],
                                 palette_alpha=[0, 128]),
        "rgba16.png": png(2, 1, 6, 16, [sixteen]),
        "rgb16.png": png(1, 1, 2, 16, [sixteen[:3]]),
        "grey.png": png(5, 3, 0, 8, rows_of(samples(5 * 3), 5, 1)),
        "grey-alpha.png": png(5, 3, 4, 8, rows_of(samples(5 * 3 * 2), 5, 2)),
        "zero-width.png": bytes(zero_width),
        "rows-4096x300.png": png(4096, 300, 0, 8, [[(y * 7 + x // 512) & 0xFF for x in range(4096)]
                                                   for y in range(300)]),
        "blank-8192x10.png": blank_png(8192, 10),
        "blank-9000x10.png": blank_png(9000, 10),
        "blank-10x8193.png": blank_png(10, 8193),
        "blank-5000x5000.png": blank_png(5000, 5000),
    }


# ---- JPEG

ZIGZAG = [0, 1, 8, 16, 9, 2, 3, 10, 17, 24, 32, 25, 18, 11, 4, 5, 12, 19, 26, 33, 40, 48, 41, 34,
          27, 20, 13, 6, 7, 14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37,
          44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63]
QUANT = 2  # one flat table: little loss, and no coefficient beyond the tables' sizes
COS = [[math.cos((2 * x + 1) * u * math.pi / 16) for x in range(8)] for u in range(8)]
SCALE = [math.sqrt(0.5) if u == 0 else 1.0 for u in range(8)]

# One Huffman table for every DC difference and one for every AC symbol, each
# symbol with a code of one length: valid, if not small.
DC_SYMBOLS = list(range(12))
AC_SYMBOLS = [0x00, 0xF0] + [run << 4 | size for run in range(16) for size in range(1, 11)]
DC_LENGTH, AC_LENGTH = 4, 8


def huffman_segment(table_class, table_id, symbols, length):
    counts = [0] * 16
    counts[length - 1] = len(symbols)
    body = bytes([table_class << 4 | table_id]) + bytes(counts) + bytes(symbols)
    return b"\xff\xc4" + struct.pack(">H", len(body) + 2) + body


def fdct(block):
    """block: 64 level-shifted samples, row by row; the result in zigzag order, quantised."""
    if all(v == block[0] for v in block):
        out = [0] * 64
        out[0] = round(block[0] * 8 / QUANT)
        return out
    coefficients = [0] * 64
    for v in range(8):
        for u in range(8):
            total = 0.0
            for y in range(8):
                row = block[y * 8:y * 8 + 8]
                cv = COS[v][y]
                for x in range(8):
                    total += row[x] * COS[u][x] * cv
            coefficients[v * 8 + u] = round(total * SCALE[u] * SCALE[v] / 4 / QUANT)
    return [coefficients[i] for i in ZIGZAG]


class BitWriter:
    def __init__(self):
        self.out = bytearray()
        self.bits = 0
        self.count = 0

    def put(self, code, length):
        self.bits = self.bits << length | code
        self.count += length
        while self.count >= 8:
            self.count -= 8
            byte = self.bits >> self.count & 0xFF
            self.out.append(byte)
            if byte == 0xFF:
                self.out.append(0)
        self.bits &= (1 << self.count) - 1

    def finish(self):
        if self.count:
            self.put((1 << (8 - self.count)) - 1, 8 - self.count)
        return bytes(self.out)


def category(value):
    return abs(value).bit_length()


def put_value(writer, value, size):
    if size:
        writer.put(value if value > 0 else value + (1 << size) - 1, size)


def put_dc(writer, difference):
    size = category(difference)
    writer.put(DC_SYMBOLS.index(size), DC_LENGTH)
    put_value(writer, difference, size)


def put_ac(writer, coefficients, start, end):
    run = 0
    for k in range(start, end + 1):
        value = coefficients[k]
        if value == 0:
            run += 1
            continue
        while run > 15:
            writer.put(AC_SYMBOLS.index(0xF0), AC_LENGTH)
            run -= 16
        size = category(value)
        writer.put(AC_SYMBOLS.index(run << 4 | size), AC_LENGTH)
        put_value(writer, value, size)
        run = 0
    if run:
        writer.put(AC_SYMBOLS.index(0x00), AC_LENGTH)


class Uniform:
    """A plane of one sample value, which large pictures are made of quickly."""

    def __init__(self, value):
        self.value = value

    def __call__(self, x, y):
        return self.value


def component_blocks(plane, width, height, blocks_wide, blocks_high):
    """plane(x, y) -> sample; blocks (padded by repeating the edge) row by row."""
    if isinstance(plane, Uniform):
        block = fdct([plane.value - 128] * 64)
        return [[block] * blocks_wide for _ in range(blocks_high)]
    cache = {}
    grid = []
    for by in range(blocks_high):
        row = []
        for bx in range(blocks_wide):
            block = [plane(min(bx * 8 + x, width - 1), min(by * 8 + y, height - 1)) - 128
                     for y in range(8) for x in range(8)]
            key = tuple(block)
            if key not in cache:
                cache[key] = fdct(block)
            row.append(cache[key])
        grid.append(row)
    return grid


def jpeg(width, height, planes, sampling=None, adobe_transform=None, progressive=False,
         bands=((1, 5), (6, 63))):
    """planes: one function (x, y) -> sample a component, at the component's
    own resolution; sampling: (h, v) a component; bands: the coefficients of
    each progressive AC scan."""
    count = len(planes)
    sampling = sampling or [(1, 1)] * count
    hmax = max(h for h, _ in sampling)
    vmax = max(v for _, v in sampling)
    mcus_wide = -(-width // (8 * hmax))
    mcus_high = -(-height // (8 * vmax))
    grids = []
    for plane, (h, v) in zip(planes, sampling):
        comp_width = -(-width * h // hmax)
        comp_height = -(-height * v // vmax)
        grids.append(component_blocks(plane, comp_width, comp_height, mcus_wide * h, mcus_high * v))

    out = bytearray(b"\xff\xd8")
    if adobe_transform is not None:
        body = b"Adobe" + struct.pack(">HHHB", 100, 0, 0, adobe_transform)
        out += b"\xff\xee" + struct.pack(">H", len(body) + 2) + body
    else:
        body = b"JFIF\0" + bytes([1, 1, 0, 0, 1, 0, 1, 0, 0])
        out += b"\xff\xe0" + struct.pack(">H", len(body) + 2) + body
    out += b"\xff\xdb" + struct.pack(">H", 67) + b"\0" + bytes([QUANT] * 64)
    body = struct.pack(">BHHB", 8, height, width, count)
    for index, (h, v) in enumerate(sampling):
        body += bytes([index + 1, h << 4 | v, 0])
    out += (b"\xff\xc2" if progressive else b"\xff\xc0") + struct.pack(">H", len(body) + 2) + body
    out += huffman_segment(0, 0, DC_SYMBOLS, DC_LENGTH) + huffman_segment(1, 0, AC_SYMBOLS, AC_LENGTH)

    def scan_header(components, start, end):
        body = bytes([len(components)])
        for index in components:
            body += bytes([index + 1, 0x00])
        body += bytes([start, end, 0])
        return b"\xff\xda" + struct.pack(">H", len(body) + 2) + body

    def interleaved(start, end):
        writer = BitWriter()
        predictions = [0] * count
        for my in range(mcus_high):
            for mx in range(mcus_wide):
                for index, (h, v) in enumerate(sampling):
                    for y in range(v):
                        for x in range(h):
                            block = grids[index][my * v + y][mx * h + x]
                            put_dc(writer, block[0] - predictions[index])
                            predictions[index] = block[0]
                            if end > 0:
                                put_ac(writer, block, 1, end)
        return writer.finish()

    if not progressive:
        out += scan_header(range(count), 0, 63) + interleaved(0, 63)
    else:
        out += scan_header(range(count), 0, 0) + interleaved(0, 0)
        for start, end in bands:
            for index in range(count):
                writer = BitWriter()
                for row in grids[index]:
                    for block in row:
                        put_ac(writer, block, start, end)
                out += scan_header([index], start, end) + writer.finish()
    return bytes(out + b"\xff\xd9")


def ycc(r, g, b):
    return (round(0.299 * r + 0.587 * g + 0.114 * b),
            round(128 - 0.168736 * r - 0.331264 * g + 0.5 * b),
            round(128 + 0.5 * r - 0.418688 * g - 0.081312 * b))


def clamp(value):
    return max(0, min(255, value))


SQUARE_COLOURS = [(230, 20, 30), (20, 210, 40), (30, 40, 220), (250, 240, 120)]
INKS = [(255, 0, 0, 255), (0, 255, 0, 255), (200, 100, 50, 255), (255, 255, 255, 128)]


def square(x, y):
    return (y // 16) * 2 + x // 16


def four_squares(progressive):
    # Chroma at half resolution, as cameras store it: one chroma sample
    # covers 2 x 2 pixels of one square.
    def channel(i, scale):
        return lambda x, y: clamp(ycc(*SQUARE_COLOURS[square(x * scale, y * scale)])[i])
    return jpeg(32, 32, [channel(0, 1), channel(1, 2), channel(2, 2)],
                sampling=[(2, 2), (1, 1), (1, 1)], progressive=progressive)


def one_scan_per_coefficient(width, height, planes, sampling=None):
    return jpeg(width, height, planes, sampling, progressive=True, bands=[(k, k) for k in range(1, 64)])


def inks(transform):
    def channel(i):
        if transform == 0 or i == 3:
            return lambda x, y: INKS[square(x, y)][i]
        # The stored inks are what a decoder gets back as 255 - R, G, B.
        return lambda x, y: clamp(ycc(*(255 - ink for ink in INKS[square(x, y)][:3]))[i])
    return jpeg(32, 32, [channel(i) for i in range(4)], adobe_transform=transform)


def uniform_grey(width, height):
    return jpeg(width, height, [Uniform(128)])


def jpegs():
    return {
        "squares.jpg": four_squares(False),
        "squares-progressive.jpg": four_squares(True),
        "grey.jpg": jpeg(16, 8, [lambda x, y: x % 16 * 16]),
        # 1 + 3 * 63 scans, and 1 + 63.
        "squares-190-scans.jpg": one_scan_per_coefficient(
            32, 32, [lambda x, y: 200, lambda x, y: 90, lambda x, y: 160]),
        "grey-64-scans.jpg": one_scan_per_coefficient(16, 16, [lambda x, y: 90]),
        "cmyk.jpg": inks(0),
        "ycck.jpg": inks(2),
        "grey-8192x10.jpg": uniform_grey(8192, 10),
        "grey-9000x10.jpg": uniform_grey(9000, 10),
        "grey-10x8193.jpg": uniform_grey(10, 8193),
        "grey-5000x5000.jpg": uniform_grey(5000, 5000),
    }


def main():
    folder = Path(sys.argv[1])
    folder.mkdir(parents=True, exist_ok=True)
    for name, data in {**pngs(), **jpegs()}.items():
        (folder / name).write_bytes(data)


if __name__ == "__main__":
    main()
