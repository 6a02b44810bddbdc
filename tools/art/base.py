"""Shared ground for the disk's art generator: canvas geometry the program
relies on, the palette, and small drawing helpers built on PIL alone.

Everything here is deterministic: no clocks, no unseeded randomness, and PNG
files are written without time or text chunks, so a rerun gives equal bytes.
"""
import os

from PIL import Image, ImageDraw, ImageFilter, ImageFont

W, H = 640, 400

FONT_DIR = "/usr/share/fonts/truetype/dejavu"
SANS = os.path.join(FONT_DIR, "DejaVuSans.ttf")
SANS_BOLD = os.path.join(FONT_DIR, "DejaVuSans-Bold.ttf")
SANS_LIGHT = os.path.join(FONT_DIR, "DejaVuSans-ExtraLight.ttf")
SERIF = os.path.join(FONT_DIR, "DejaVuSerif.ttf")
SERIF_BOLD = os.path.join(FONT_DIR, "DejaVuSerif-Bold.ttf")
SERIF_ITALIC = os.path.join(FONT_DIR, "DejaVuSerif-Italic.ttf")


def hex_rgb(text):
    text = text.lstrip("#")
    return tuple(int(text[i:i + 2], 16) for i in (0, 2, 4))


SKY_TOP = hex_rgb("04050d")
SKY_MID = hex_rgb("111232")
SKY_LOW = hex_rgb("261a45")
NEBULA_VIOLET = hex_rgb("7a2f86")
NEBULA_TEAL = hex_rgb("1d6c8a")
STAR_COLD = hex_rgb("eef3ff")
STAR_WARM = hex_rgb("ffe6c2")
GLASS = hex_rgb("080b18")
EDGE = hex_rgb("35c9f5")
SMALL_BLUE = hex_rgb("72c6ff")
SMALL_WHITE = hex_rgb("f1f3ff")
BIG_CYAN = hex_rgb("52e6ff")
BIG_OUTLINE = hex_rgb("0b3550")

# Player screen rectangles the program draws at (x, y, w, h).
SCALE_RECT = (240, 20, 106, 15)
PREV_RECT = (239, 44, 27, 15)
PLAY_RECT = (271, 44, 44, 15)
NEXT_RECT = (320, 44, 27, 15)
INFO_RECT = (396, 17, 233, 60)
CONTROL_PANEL = (232, 14, 355, 65)   # x0, y0, x1, y1 (exclusive)
INFO_PANEL = (390, 11, 636, 84)
SCROLLER_Y = 92

# Top-left corners at which the spectrum display draws spec01..spec39.
SPEC_POS = [
    (522, 390), (514, 380), (506, 370), (499, 361), (491, 352), (483, 343),
    (476, 335), (468, 327), (460, 319), (451, 311), (443, 304), (435, 297),
    (426, 290), (419, 284), (410, 278), (401, 272), (391, 266), (381, 260),
    (371, 255), (360, 250), (350, 246), (339, 242), (326, 238), (307, 234),
    (269, 231), (265, 228), (235, 231), (222, 236), (209, 240), (200, 245),
    (192, 250), (183, 255), (175, 261), (167, 267), (158, 274), (149, 282),
    (139, 291), (129, 302), (97, 314),
]

# Intro pictures: name -> top-left corner on the canvas.
INTRO_POS = {
    1: (225, 129), 2: (206, 129), 3: (154, 27),
    4: (247, 143), 5: (64, 100), 6: (0, 89),
}


def centred_size(pos):
    """Size that puts a picture at pos centred on the 640 x 400 screen."""
    x, y = pos
    return W - 2 * x, H - 2 * y


def save_png(img, path):
    # No pnginfo and no time: PIL then writes only IHDR/IDAT/IEND (+PLTE),
    # which keeps reruns byte-identical.
    img.save(path, "PNG", optimize=True)


def font(path, size):
    return ImageFont.truetype(path, size)


def mix(c0, c1, t):
    return tuple(int(round(a + (b - a) * t)) for a, b in zip(c0, c1))


def clamp8(v):
    return 0 if v < 0 else 255 if v > 255 else int(v)


def vertical_gradient(size, stops):
    """RGB picture, stops = [(t, colour), ...] with t from 0 (top) to 1."""
    w, h = size
    col = Image.new("RGB", (1, h))
    px = col.load()
    for y in range(h):
        t = y / max(1, h - 1)
        for i in range(len(stops) - 1):
            t0, c0 = stops[i]
            t1, c1 = stops[i + 1]
            if t0 <= t <= t1:
                px[0, y] = mix(c0, c1, (t - t0) / max(1e-9, t1 - t0))
                break
    return col.resize((w, h), Image.NEAREST)


def solid(size, colour, alpha):
    """RGBA picture of one colour with the given L picture as alpha."""
    img = Image.new("RGBA", size, colour + (0,))
    img.putalpha(alpha)
    return img


def text_mask(text, fnt, pad=0):
    """Tight L mask of text drawn with fnt, with pad pixels around it."""
    l, t, r, b = fnt.getbbox(text)
    w = r - l + 2 * pad
    h = b - t + 2 * pad
    mask = Image.new("L", (max(1, w), max(1, h)), 0)
    ImageDraw.Draw(mask).text((pad - l, pad - t), text, font=fnt, fill=255)
    return mask


def blur(img, radius):
    return img.filter(ImageFilter.GaussianBlur(radius))


def scale_alpha(mask, factor):
    return mask.point(lambda v: clamp8(v * factor))


def zero_transparent(img):
    """Set RGB to 0 wherever alpha is 0: keeps files small and makes the
    fully transparent pixels exactly (0, 0, 0, 0)."""
    r, g, b, a = img.split()
    keep = a.point(lambda v: 255 if v else 0)
    black = Image.new("L", img.size, 0)
    r = Image.composite(r, black, keep)
    g = Image.composite(g, black, keep)
    b = Image.composite(b, black, keep)
    return Image.merge("RGBA", (r, g, b, a))
