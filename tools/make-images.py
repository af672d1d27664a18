#!/usr/bin/env python3
"""Draws the kit's tray icons, menu bitmaps and the program's icon as ICO and BMP files.

Pure Python (no imaging library): each image is a small character grid mapped to colours.
Run from the repository root; the outputs are committed, so the build does not need it.
"""
import struct

PALETTE = {
    '.': None,                    # transparent
    'k': (40, 40, 48),            # outline
    'g': (150, 154, 162),         # printer body
    'l': (205, 208, 214),         # body highlight
    'w': (255, 255, 255),         # paper
    't': (120, 124, 132),         # text lines on paper
    'G': (30, 170, 60),           # green
    'Y': (240, 190, 20),          # amber
    'B': (40, 110, 220),          # blue
    'R': (220, 40, 40),           # red
    'W': (255, 255, 255),         # white (badge glyph)
    'D': (20, 60, 140),           # dark blue
}

PRINTER = [
    "................",
    "....kkkkkkkk....",
    "....kwwwwwwk....",
    "....kwttttwk....",
    "....kwwwwwwk....",
    ".kkkkkkkkkkkkkk.",
    "kllllllllllllllk",
    "kgggggggggggg..k",
    "kgggggggggggg..k",
    "kggggggggggggggk",
    "kkkkkkkkkkkkkkkk",
    "..kwwwwwwwwwwk..",
    "..kwttttttttwk..",
    "..kwwwwwwwwwwk..",
    "..kkkkkkkkkkkk..",
    "................",
]

# 7x7 badges drawn over the bottom-right corner.
BADGES = {
    'ready': [
        "..GGG..",
        ".GGGGG.",
        "GGGGGWG",
        "GWGGWGG",
        "GGWWGGG",
        ".GGGGG.",
        "..GGG..",
    ],
    'busy': [
        "..BBB..",
        ".BBBBB.",
        "BBWWWBB",
        "BBBWBBB",
        "BBWWWBB",
        ".BBBBB.",
        "..BBB..",
    ],
    'attention': [
        "...R...",
        "..RWR..",
        "..RWR..",
        ".RRWRR.",
        ".RRRRR.",
        "RRRWRRR",
        "RRRRRRR",
    ],
}


# The same printer drawn for 24 pixels (150 %): a scaled 16-pixel image would have uneven
# lines, so it has its own grid and badges.
PRINTER_24 = [
    "........................",
    "......kkkkkkkkkkkk......",
    "......kwwwwwwwwwwk......",
    "......kwwwwwwwwwwk......",
    "......kwwttttttwwk......",
    "......kwwwwwwwwwwk......",
    "......kwwttttttwwk......",
    "..kkkkkkkkkkkkkkkkkkkk..",
    ".kllllllllllllllllllllk.",
    "kllllllllllllllllllllllk",
    "kggggggggggggggggg...ggk",
    "kggggggggggggggggg...ggk",
    "kggggggggggggggggggggggk",
    "kggggggggggggggggggggggk",
    "kggggggggggggggggggggggk",
    "kkkkkkkkkkkkkkkkkkkkkkkk",
    "...kwwwwwwwwwwwwwwwwk...",
    "...kwwwwwwwwwwwwwwwwk...",
    "...kwwttttttttttttwwk...",
    "...kwwwwwwwwwwwwwwwwk...",
    "...kwwttttttttttwwwwk...",
    "...kwwwwwwwwwwwwwwwwk...",
    "...kkkkkkkkkkkkkkkkkk...",
    "........................",
]

BADGES_24 = {
    'ready': [
        "...GGGGG...",
        "..GGGGGGG..",
        ".GGGGGGGGG.",
        "GGGGGGGGWWG",
        "GGGGGGGWWGG",
        "GWWGGGWWGGG",
        "GGWWGWWGGGG",
        "GGGWWWGGGGG",
        ".GGGWGGGGG.",
        "..GGGGGGG..",
        "...GGGGG...",
    ],
    'busy': [
        "...BBBBB...",
        "..BBBBBBB..",
        ".BBWWWWWBB.",
        "BBBBWWWBBBB",
        "BBBBBWBBBBB",
        "BBBBBWBBBBB",
        "BBBBWWWBBBB",
        "BBBWWWWWBBB",
        ".BBBBBBBBB.",
        "..BBBBBBB..",
        "...BBBBB...",
    ],
    'attention': [
        ".....R.....",
        "....RRR....",
        "....RWR....",
        "...RRWRR...",
        "...RRWRR...",
        "..RRRWRRR..",
        "..RRRWRRR..",
        ".RRRRRRRRR.",
        ".RRRRWRRRR.",
        "RRRRRRRRRRR",
        "RRRRRRRRRRR",
    ],
}

# Where the status light and the badge go: (light cells, badge's top-left corner).
LAYOUT_16 = ([(13, 7), (14, 7), (13, 8), (14, 8)], (9, 9))
LAYOUT_24 = ([(x, y) for x in (18, 19, 20) for y in (10, 11)], (13, 13))


def compose(base, badge, light, layout=LAYOUT_16):
    rows = [list(r) for r in base]
    cells, (left, top) = layout
    for x, y in cells:               # status light on the body
        rows[y][x] = light
    if badge:
        for y, line in enumerate(badge):
            for x, ch in enumerate(line):
                if ch != '.':
                    rows[top + y][left + x] = ch
    return [''.join(r) for r in rows]


def icon_sizes(name, light):
    """The images of one tray icon: 16 and 24 pixels drawn, 32 and 48 doubled and tripled."""
    small = compose(PRINTER, BADGES[name], light)
    medium = compose(PRINTER_24, BADGES_24[name], light, LAYOUT_24)
    return [small, medium, scale(small, 2), scale(small, 3)]


def scale(grid, factor):
    out = []
    for row in grid:
        wide = ''.join(ch * factor for ch in row)
        out.extend([wide] * factor)
    return out


def ico_image(grid):
    size = len(grid)
    xor = bytearray()
    for row in reversed(grid):                       # bottom-up
        for ch in row:
            c = PALETTE[ch]
            xor += bytes((0, 0, 0, 0)) if c is None else bytes((c[2], c[1], c[0], 255))
    mask_row = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(grid):
        bits = bytearray(mask_row)
        for x, ch in enumerate(row):
            if PALETTE[ch] is None:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return header + bytes(xor) + bytes(mask)


def write_ico(path, grids):
    images = [ico_image(g) for g in grids]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for g, img in zip(grids, images):
        n = len(g)
        out += struct.pack('<BBBBHHII', n % 256, n % 256, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    for img in images:
        out += img
    with open(path, 'wb') as f:
        f.write(out)


def write_bmp(path, grid, background=(240, 240, 240)):
    size = len(grid)
    row_bytes = (size * 3 + 3) & ~3
    pixels = bytearray()
    for row in reversed(grid):
        line = bytearray()
        for ch in row:
            c = PALETTE[ch] or background
            line += bytes((c[2], c[1], c[0]))
        line += bytes(row_bytes - len(line))
        pixels += line
    info = struct.pack('<IiiHHIIiiII', 40, size, size, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    head = struct.pack('<2sIHHI', b'BM', 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    with open(path, 'wb') as f:
        f.write(head + info + pixels)


TOOL_INFO = [            # 920: printer information
    "................",
    "......BBBB......",
    ".....BBBBBB.....",
    ".....BBWWBB.....",
    ".....BBBBBB.....",
    "......BBBB......",
    "................",
    ".....BBBBB......",
    "......BBBB......",
    "......BBBB......",
    "......BBBB......",
    "......BBBB......",
    "......BBBB......",
    ".....BBBBBB.....",
    ".....BBBBBB.....",
    "................",
]
TOOL_CLEAN = [           # 921: head cleaning (a drop)
    "................",
    ".......D........",
    ".......D........",
    "......DBD.......",
    "......DBD.......",
    ".....DBBBD......",
    ".....DBBBD......",
    "....DBBBBBD.....",
    "....DBWBBBD.....",
    "...DBWBBBBBD....",
    "...DBWBBBBBD....",
    "...DBBBBBBBD....",
    "....DBBBBBD.....",
    ".....DDDDD......",
    "................",
    "................",
]
TOOL_PAGE = [            # 922: test page
    "................",
    "...kkkkkkkk.....",
    "...kwwwwwwkk....",
    "...kwttttwwkk...",
    "...kwwwwwwwwk...",
    "...kwttttttwk...",
    "...kwwwwwwwwk...",
    "...kwttttttwk...",
    "...kwwwwwwwwk...",
    "...kwGGwRRwwk...",
    "...kwGGwRRwwk...",
    "...kwwwBBwwwk...",
    "...kwwwBBwwwk...",
    "...kwwwwwwwwk...",
    "...kkkkkkkkkk...",
    "................",
]

if __name__ == '__main__':
    # Icons in 16, 24, 32 and 48 pixels: the tray takes the shell's small-icon size (16 at
    # 100 %, 24 at 150 %, 32 at 200 %), the preferences window twice that.
    states = [('ready', 'G'), ('busy', 'Y'), ('attention', 'R')]
    for name, light in states:
        write_ico(f'kit/zetres/printer_{name}.ico', icon_sizes(name, light))
    write_bmp('kit/zetres/tool_info.bmp', TOOL_INFO)
    write_bmp('kit/zetres/tool_clean.bmp', TOOL_CLEAN)
    write_bmp('kit/zetres/tool_page.bmp', TOOL_PAGE)
    write_ico('src/res/zettray.ico', icon_sizes('ready', 'G'))
