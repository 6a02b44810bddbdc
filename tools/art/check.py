"""Checks a resource folder against what the program relies on: sizes,
the skin sheet, the font marker rows, the star layers and the places of the
spectrum frames and intro pictures. Returns a list of problems."""
import os
import re

from PIL import Image, ImageChops

from base import (CONTROL_PANEL, H, INFO_PANEL, INTRO_POS, SCROLLER_Y,
                      SPEC_POS, W)
from fonts import StripFont

HERE = os.path.dirname(os.path.abspath(__file__))
NAMES_HEADER = os.path.join(HERE, "..", "..", "gfx", "resource_names.h")
MAX_BIG_FILE = 300 * 1024


def resource_names():
    with open(NAMES_HEADER) as f:
        names = re.findall(r'"res/([^"]+)"', f.read())
    return names


def _open(folder, name, problems):
    path = os.path.join(folder, name)
    try:
        img = Image.open(path)
        img.load()
    except (OSError, ValueError) as e:
        problems.append("%s: cannot read (%s)" % (name, e))
        return None
    if img.mode != "RGBA" and not name.endswith(".ico"):
        problems.append("%s: mode %s, want RGBA" % (name, img.mode))
        img = img.convert("RGBA")
    return img


def _fits(name, img, pos, problems):
    x, y = pos
    if x < 0 or y < 0 or x + img.width > W or y + img.height > H:
        problems.append("%s: %dx%d at (%d,%d) leaves the 640x400 canvas"
                        % (name, img.width, img.height, x, y))


def check_font(name, img, problems, max_height):
    row = [img.getpixel((j, 0)) for j in range(img.width)]
    markers = [j for j, (r, g, b, _) in enumerate(row) if r or g or b]
    if 0 in markers:
        problems.append("%s: marker at column 0" % name)
    if len(markers) < 95:
        problems.append("%s: %d markers, want at least 95" % (name, len(markers)))
    stray = [j for j, p in enumerate(row) if j not in markers and p != (0, 0, 0, 0)]
    if stray:
        problems.append("%s: row 0 has non-marker pixels at %s" % (name, stray[:5]))
    if img.height > max_height:
        problems.append("%s: %d rows, at most %d" % (name, img.height, max_height))
    sf = StripFont(img)
    if any(w <= 0 for w in sf.w):
        problems.append("%s: empty glyph" % name)
    if len(sf.x) >= 95:
        space = img.crop((sf.x[0], 1, sf.x[0] + sf.w[0], img.height))
        if space.getextrema()[3][1] != 0:
            problems.append("%s: space glyph is not transparent" % name)
        for k in range(1, 95):
            cell = img.crop((sf.x[k], 1, sf.x[k] + sf.w[k], img.height))
            if cell.getextrema()[3][1] == 0:
                problems.append("%s: glyph %r has no ink" % (name, chr(32 + k)))


def check_finale(credits, logo, problems):
    """The credits and the logo share the intro's last three seconds; where
    both put solid ink on the same screen pixel neither can be read."""
    solid_ink = 96
    layers = []
    for img, n in ((credits, 5), (logo, 6)):
        screen = Image.new("L", (W, H), 0)
        screen.paste(img.getchannel("A"), INTRO_POS[n])
        layers.append(screen.point(lambda v: 255 if v >= solid_ink else 0))
    both = ImageChops.multiply(layers[0], layers[1])
    count = both.histogram()[255]
    if count:
        problems.append("intro-5.png and intro-6.png: %d screen pixels where both "
                        "draw solid ink (first at %s)" % (count, both.getbbox()[:2]))


def _alpha_box(img):
    return img.getchannel("A").getbbox()


def check_spectrum(frames, problems):
    rects = []
    for i, img in enumerate(frames):
        x, y = SPEC_POS[i]
        rects.append((x, y, x + img.width, y + img.height))
    # A frame's draw first restores the background under its whole rectangle,
    # erasing whatever earlier frames lit there; the lights must stay clear.
    for i in range(len(frames)):
        for j in range(i):
            ax0, ay0, ax1, ay1 = rects[i]
            bx0, by0, bx1, by1 = rects[j]
            x0, y0 = max(ax0, bx0), max(ay0, by0)
            x1, y1 = min(ax1, bx1), min(ay1, by1)
            if x0 >= x1 or y0 >= y1:
                continue
            part = frames[j].getchannel("A").crop((x0 - bx0, y0 - by0,
                                                   x1 - bx0, y1 - by0))
            lost = sum(1 for v in part.getdata() if v > 48)
            if lost > 2:
                problems.append("spec%02d hides %d lit pixels of spec%02d"
                                % (i + 1, lost, j + 1))
    if frames and frames[0].height > 10:
        problems.append("spec01 is %d high, at most 10" % frames[0].height)


def _in_rect(x, y, rect):
    x0, y0, x1, y1 = rect
    return x0 <= x < x1 and y0 <= y < y1


def check_stars(name, img, band_h, problems):
    if img.size != (W, H):
        problems.append("%s: %dx%d, want 640x400" % (name, img.width, img.height))
        return
    alpha = img.getchannel("A")
    lit = [(i % W, i // W) for i, v in enumerate(alpha.getdata()) if v]
    if not 100 <= len(lit) <= 4000:
        problems.append("%s: %d star pixels, want a few hundred to a couple "
                        "of thousand" % (name, len(lit)))
    band = (0, SCROLLER_Y, W, SCROLLER_Y + band_h)
    for x, y in lit:
        if (_in_rect(x, y, CONTROL_PANEL) or _in_rect(x, y, INFO_PANEL)
                or _in_rect(x, y, band)):
            problems.append("%s: star pixel at (%d,%d) inside a panel or the "
                            "scroller band" % (name, x, y))
            break


def check(folder):
    problems = []
    names = resource_names()
    if len(names) != 57:
        problems.append("resource list has %d names, want 57" % len(names))
    missing = [n for n in names if not os.path.isfile(os.path.join(folder, n))]
    for n in missing:
        problems.append("%s: missing" % n)
    if missing:
        return problems

    bg = _open(folder, "background.png", problems)
    if bg is not None:
        if bg.size != (W, H):
            problems.append("background.png: %dx%d, want 640x400" % bg.size)
        if bg.getchannel("A").getextrema()[0] != 255:
            problems.append("background.png: not opaque")

    sheet = _open(folder, "buttons.png", problems)
    if sheet is not None and (sheet.width < 284 or sheet.height < 30):
        problems.append("buttons.png: %dx%d, want at least 284x30" % sheet.size)

    big = _open(folder, "font_big_cyan.png", problems)
    band_h = big.height - 1 if big is not None else 0
    if big is not None:
        check_font("font_big_cyan.png", big, problems, 40)
    for n in ("font_small_blue.png", "font_small_white.png"):
        img = _open(folder, n, problems)
        if img is not None:
            check_font(n, img, problems, 17)

    ico = _open(folder, "icon.ico", problems)
    if ico is not None and ico.size != (32, 32):
        problems.append("icon.ico: %dx%d, want 32x32" % ico.size)
    png = _open(folder, "icon.png", problems)
    if png is not None and png.size != (32, 32):
        problems.append("icon.png: %dx%d, want 32x32" % png.size)

    limits = {3: (486, 373), 5: (576, 400), 6: (640, 311)}
    intro = {}
    for n, pos in INTRO_POS.items():
        name = "intro-%d.png" % n
        img = _open(folder, name, problems)
        if img is None:
            continue
        _fits(name, img, pos, problems)
        if n in limits and (img.width > limits[n][0] or img.height > limits[n][1]):
            problems.append("%s: %dx%d, at most %dx%d" % ((name,) + img.size + limits[n]))
        if n == 6 and img.width != W:
            problems.append("intro-6.png: %d wide, want 640" % img.width)
        if _alpha_box(img) is None:
            problems.append("%s: fully transparent" % name)
        intro[n] = img
    if 5 in intro and 6 in intro:
        check_finale(intro[5], intro[6], problems)

    frames = []
    for i, pos in enumerate(SPEC_POS):
        name = "spec%02d.png" % (i + 1)
        img = _open(folder, name, problems)
        if img is None:
            return problems
        _fits(name, img, pos, problems)
        if _alpha_box(img) is None:
            problems.append("%s: fully transparent" % name)
        frames.append(img)
    check_spectrum(frames, problems)

    for k in range(1, 6):
        name = "stars%d.png" % k
        img = _open(folder, name, problems)
        if img is not None:
            check_stars(name, img, band_h, problems)

    for name in ("background.png", "intro-6.png"):
        size = os.path.getsize(os.path.join(folder, name))
        if size > MAX_BIG_FILE:
            problems.append("%s: %d bytes, keep it under %d" % (name, size, MAX_BIG_FILE))
    return problems
