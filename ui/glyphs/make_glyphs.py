#!/usr/bin/env python3
"""Writes the button glyphs as 16-colour bitmaps: each 32 x 16, the normal
picture on the left and the disabled one on the right. The bottom-left pixel
(the fuchsia background) is the transparent colour of the bitmap buttons."""
import os
import struct

PALETTE = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
           (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
           (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
# One character a pixel: '.' background, the rest palette indexes in hex.
KEY = {'.': 13, 'k': 0, 'm': 1, 'g': 2, 'n': 4, 's': 7, 'd': 8, 'r': 9, 'l': 10, 'b': 12, 'w': 15, 'y': 11}

GLYPHS = {
    'save': [  # a floppy disk
        '................',
        '.nnnnnnnnnnnnnn.',
        '.nnswwwwwwwwsnn.',
        '.nnswwwwwwwwsnn.',
        '.nnswwwwwwwwsnn.',
        '.nnswwwwwwwwsnn.',
        '.nnssssssssssnn.',
        '.nnnnnnnnnnnnnn.',
        '.nnnnnnnnnnnnnn.',
        '.nnnssssssssnnn.',
        '.nnnsskkssssnnn.',
        '.nnnsskkssssnnn.',
        '.nnnsskkssssnnn.',
        '.nnnssssssssnnn.',
        '..nnnnnnnnnnnnn.',
        '................',
    ],
    'convert': [  # a sheet and an arrow to a list
        '................',
        '.kkkkkkk........',
        '.kwwwwwkk.......',
        '.kwgwgwkwk......',
        '.kwwwwwkkkk.....',
        '.kwgwgwwwwk..g..',
        '.kwwwwwwwwk..gg.',
        '.kwgwgwggggggglg',
        '.kwwwwwgllllllll',
        '.kwgwgwggggggglg',
        '.kwwwwwwwwk..gg.',
        '.kwgwgwgwwk..g..',
        '.kwwwwwwwwk.....',
        '.kkkkkkkkkk.....',
        '................',
        '................',
    ],
    'add': [  # a green plus
        '................',
        '................',
        '......gggg......',
        '......glll......',
        '......glll......',
        '......glll......',
        '..gggggllggggg..',
        '..gllllllllllg..',
        '..gllllllllllg..',
        '..ggggglllgggg..',
        '......glll......',
        '......glll......',
        '......glll......',
        '......gggg......',
        '................',
        '................',
    ],
    'delete': [  # a red cross
        '................',
        '................',
        '..mm........mm..',
        '..mrm......mrm..',
        '...mrm....mrm...',
        '....mrm..mrm....',
        '.....mrmmrm.....',
        '......mrrm......',
        '......mrrm......',
        '.....mrmmrm.....',
        '....mrm..mrm....',
        '...mrm....mrm...',
        '..mrm......mrm..',
        '..mm........mm..',
        '................',
        '................',
    ],
}


def bitmap(rows):
    w, h = 32, 16
    pixels = []
    for row in rows:
        normal = [KEY[ch] for ch in row]
        # Disabled: the shape in grey, with a white shadow down and right.
        disabled = [13] * 16
        for x, p in enumerate(normal):
            if p != 13:
                disabled[x] = 8
        pixels.append(normal + disabled)
    for y in range(h - 1):
        for x in range(15):
            if pixels[y][16 + x] == 8 and pixels[y + 1][16 + x + 1] == 13:
                pixels[y + 1][16 + x + 1] = 15
    stride = w // 2  # 4 bits a pixel, rows already a multiple of 4 bytes
    data = bytearray()
    for row in reversed(pixels):  # bottom-up
        for x in range(0, w, 2):
            data.append(row[x] << 4 | row[x + 1])
    pal = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in PALETTE)
    header_size = 14 + 40 + len(pal)
    info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, 4, 0, len(data), 3780, 3780, 16, 16)
    head = struct.pack('<2sIHHI', b'BM', header_size + len(data), 0, 0, header_size)
    assert stride * h == len(data)
    return head + info + pal + bytes(data)


if __name__ == '__main__':
    here = os.path.dirname(os.path.abspath(__file__))
    for name, rows in GLYPHS.items():
        assert len(rows) == 16 and all(len(r) == 16 for r in rows), name
        with open(os.path.join(here, name + '.bmp'), 'wb') as f:
            f.write(bitmap(rows))
