"""Bitmap fonts for the program's text: one strip picture per font.

Layout the program reads: row 0 is the marker row, glyphs stand side by side
in rows 1..h-1, glyph k shows character 32 + k, and a marker pixel sits at
the first column after each glyph (never at column 0). Every other pixel of
row 0 stays transparent black so that it can never be taken for a marker.
"""
from PIL import Image, ImageChops, ImageDraw, ImageFilter

from base import (BIG_CYAN, BIG_OUTLINE, SANS, SANS_BOLD, SMALL_BLUE,
                      SMALL_WHITE, font, zero_transparent)

FIRST_CODE = 32
LAST_CODE = 126
MARKER = (255, 255, 255, 255)


def _glyph_masks(fnt, outline, gap):
    """One L mask per character. A cell spans the glyph's advance, widened
    where the ink (with its outline) reaches past it, so no stroke is cut at
    a cell edge, and always leaving at least gap clear columns after the
    ink so neighbouring letters never touch."""
    ascent, descent = fnt.getmetrics()
    height = ascent + descent + 2 * outline
    size = fnt.size
    masks = []
    for code in range(FIRST_CODE, LAST_CODE + 1):
        ch = chr(code)
        advance = int(round(fnt.getlength(ch)))
        if ch == " ":
            masks.append(Image.new("L", (max(3, advance), height), 0))
            continue
        origin = 2 * size
        probe = Image.new("L", (4 * size + advance, height), 0)
        ImageDraw.Draw(probe).text((origin, outline), ch, font=fnt, fill=255)
        ink = probe.getbbox()
        left = min(0, ink[0] - origin - outline)
        right = max(advance, ink[2] - origin + outline + gap)
        masks.append(probe.crop((origin + left, 0, origin + right, height)))
    return masks, height


def _trim_rows(masks, height, keep_top):
    """Drops the rows above the highest ink among all glyphs (the font's
    ascent leaves room for accents we do not ship), keeping keep_top rows."""
    top = height
    for m in masks:
        box = m.getbbox()
        if box:
            top = min(top, box[1])
    cut = max(0, top - keep_top)
    return [m.crop((0, cut, m.width, height)) for m in masks], height - cut


def build_font(path, size, colour, outline_colour=None, outline=0, gap=1,
               keep_top=1):
    fnt = font(path, size)
    masks, height = _glyph_masks(fnt, outline, gap)
    masks, height = _trim_rows(masks, height, keep_top + outline)
    total = sum(m.width for m in masks)
    sheet = Image.new("RGBA", (total + 1, height + 1), (0, 0, 0, 0))
    x = 0
    for m in masks:
        cell = Image.new("RGBA", m.size, (0, 0, 0, 0))
        if outline:
            ring = m
            for _ in range(outline):
                ring = ring.filter(ImageFilter.MaxFilter(3))
            # Soften the outer edge of the ring a little so it reads as a
            # shadow rim rather than a hard box around each letter.
            ring = ImageChops.lighter(m, ring.point(lambda v: v * 230 // 255))
            cell.paste(Image.new("RGBA", m.size, outline_colour + (255,)),
                       (0, 0), ring)
        glyph = Image.new("RGBA", m.size, colour + (0,))
        glyph.putalpha(m)
        cell.alpha_composite(glyph)
        sheet.paste(cell, (x, 1))
        x += m.width
        sheet.putpixel((x, 0), MARKER)
    return zero_transparent(sheet)


def font_small(colour):
    return build_font(SANS, 12, colour)


def font_small_blue():
    return font_small(SMALL_BLUE)


def font_small_white():
    return font_small(SMALL_WHITE)


def font_big_cyan():
    return build_font(SANS_BOLD, 22, BIG_CYAN, BIG_OUTLINE, outline=2, gap=0)


class StripFont:
    """Reads a strip picture back the way the program does, to measure and
    draw sample text in previews and to check the marker row."""

    def __init__(self, sheet):
        self.sheet = sheet
        self.height = sheet.height - 1
        self.x = []
        self.w = []
        start = 0
        for j in range(sheet.width):
            r, g, b, _ = sheet.getpixel((j, 0))
            if j > 0 and (r or g or b):
                self.x.append(start)
                self.w.append(j - start)
                start = j
                if len(self.x) == 105:
                    break

    def index(self, ch):
        g = (ord(ch) & 0xFF) - 32
        return g if 0 <= g < len(self.x) else 0

    def width(self, text):
        return sum(self.w[self.index(c)] for c in text)

    def draw(self, dst, text, x, y):
        for c in text:
            k = self.index(c)
            piece = self.sheet.crop((self.x[k], 1, self.x[k] + self.w[k],
                                     self.sheet.height))
            dst.alpha_composite(piece, dest=(x, y))
            x += self.w[k]
