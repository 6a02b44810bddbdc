"""The skin sheet of the player's controls and the window icon."""
import struct

from PIL import Image, ImageDraw

from art_base import GLASS, ICON_CYAN, EDGE

SHEET_W, SHEET_H = 284, 30


def skin_sheet():
    sheet = Image.new("RGBA", (SHEET_W, SHEET_H), (0, 0, 0, 0))
    d = ImageDraw.Draw(sheet)
    cells = [(0, 0, 44), (44, 0, 44), (88, 0, 44), (132, 0, 44),
             (176, 0, 27), (203, 0, 27), (230, 0, 27), (257, 0, 27)]
    for n, (x, y, w) in enumerate(cells):
        glow = n % 2 == 1
        d.rectangle((x, y, x + w - 1, y + 14), fill=GLASS + (230,),
                    outline=EDGE + (255 if glow else 160,))
        c = ICON_CYAN + (255 if glow else 190,)
        cx = x + w // 2
        if n < 2:
            d.polygon([(cx - 3, 4), (cx - 3, 10), (cx + 3, 7)], fill=c)
        elif n < 4:
            d.rectangle((cx - 4, 4, cx - 2, 10), fill=c)
            d.rectangle((cx + 1, 4, cx + 3, 10), fill=c)
        elif n < 6:
            d.polygon([(cx - 4, 4), (cx - 4, 10), (cx + 1, 7)], fill=c)
            d.rectangle((cx + 2, 4, cx + 3, 10), fill=c)
        else:
            d.polygon([(cx + 4, 4), (cx + 4, 10), (cx - 1, 7)], fill=c)
            d.rectangle((cx - 3, 4, cx - 2, 10), fill=c)
    d.rectangle((0, 21, 105, 23), fill=(20, 30, 50, 255))
    d.rectangle((106, 21, 211, 23), fill=ICON_CYAN + (255,))
    d.rectangle((212, 16, 219, 28), fill=(160, 220, 255, 255))
    d.rectangle((220, 16, 227, 28), fill=(230, 250, 255, 255))
    return sheet


def icon():
    img = Image.new("RGBA", (32, 32), (0, 0, 0, 0))
    d = ImageDraw.Draw(img)
    d.ellipse((2, 2, 29, 29), fill=(8, 11, 24, 255), outline=EDGE + (255,))
    d.ellipse((9, 9, 22, 22), fill=ICON_CYAN + (255,))
    return img


def ico_bytes(img):
    """A classic 32-bit BMP icon (one 32 x 32 image with its AND mask), the
    form every Windows version reads."""
    w, h = img.size
    header = struct.pack("<HHH", 0, 1, 1)
    pixels = bytearray()
    for y in range(h - 1, -1, -1):
        for x in range(w):
            r, g, b, a = img.getpixel((x, y))
            pixels += bytes((b, g, r, a))
    mask_row = ((w + 31) // 32) * 4
    mask = bytearray()
    for y in range(h - 1, -1, -1):
        row = bytearray(mask_row)
        for x in range(w):
            if img.getpixel((x, y))[3] == 0:
                row[x // 8] |= 0x80 >> (x % 8)
        mask += row
    info = struct.pack("<IiiHHIIiiII", 40, w, 2 * h, 1, 32, 0,
                       len(pixels) + len(mask), 0, 0, 0, 0)
    body = info + pixels + mask
    entry = struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, 1, 32,
                        len(body), 6 + 16)
    return header + entry + body
