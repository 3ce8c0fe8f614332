#!/usr/bin/env python3
"""Draws the toolbar button's two icon groups (normal and hot): a down arrow over a tray,
each at 16x16 and 24x24 in 256 colours. Run once; the .ico files are kept in the tree."""
import struct

TRANSPARENT, OUTLINE, TRAY, ARROW, SHINE = 0, 1, 2, 3, 4
PALETTES = {
    "button.ico": {OUTLINE: (40, 40, 60), TRAY: (150, 155, 170), ARROW: (40, 110, 200), SHINE: (140, 190, 240)},
    "button-hot.ico": {OUTLINE: (60, 30, 10), TRAY: (190, 170, 140), ARROW: (235, 120, 20), SHINE: (255, 200, 120)},
}


def shape(u, v):
    """Which colour the point (u, v) of the unit square shows; v grows downwards."""
    in_tray = 0.72 <= v <= 0.92 and 0.08 <= u <= 0.92
    tray_hollow = 0.72 <= v <= 0.80 and 0.2 <= u <= 0.8
    stem = 0.38 <= u <= 0.62 and 0.06 <= v <= 0.42
    head = 0.40 <= v <= 0.70 and abs(u - 0.5) <= (0.70 - v) * 1.15
    if stem or head:
        edge = (stem and (u < 0.44 or u > 0.56 or v < 0.12)) or (head and abs(u - 0.5) > (0.70 - v) * 1.15 - 0.08)
        if edge:
            return OUTLINE
        return SHINE if u < 0.5 and v < 0.5 else ARROW
    if in_tray and not tray_hollow:
        edge = v > 0.86 or u < 0.14 or u > 0.86
        return OUTLINE if edge else TRAY
    return TRANSPARENT


def image(size, colours):
    pixels = [[shape((x + 0.5) / size, (y + 0.5) / size) for x in range(size)] for y in range(size)]
    palette = bytearray(256 * 4)
    for index, (r, g, b) in colours.items():
        palette[index * 4:index * 4 + 4] = bytes((b, g, r, 0))
    xor_stride = (size + 3) & ~3
    and_stride = ((size + 31) // 32) * 4
    xor, mask = bytearray(), bytearray()
    for row in reversed(pixels):  # bottom-up
        xor += bytes(row) + bytes(xor_stride - size)
        bits = bytearray(and_stride)
        for x, index in enumerate(row):
            if index == TRANSPARENT:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 8, 0, len(xor) + len(mask), 0, 0, 256, 0)
    return header + bytes(palette) + bytes(xor) + bytes(mask)


def icon_file(colours):
    images = [(size, image(size, colours)) for size in (16, 24)]
    data = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, bits in images:
        data += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 8, len(bits), offset)
        offset += len(bits)
    return data + b"".join(bits for _, bits in images)


if __name__ == "__main__":
    for name, colours in PALETTES.items():
        with open(name, "wb") as out:
            out.write(icon_file(colours))
