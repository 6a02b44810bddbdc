"""The skin sheet of the player's controls and the window icon."""
import struct

from PIL import Image, ImageDraw

from base import (EDGE, blur, scale_alpha, solid, vertical_gradient,
                      zero_transparent)

SHEET_W, SHEET_H = 284, 30
S = 4   # supersampling factor: shapes are drawn 4x and boxed down

ICON_FACE = (79, 216, 255)
ICON_LIT = (200, 246, 255)
GLASS_TOP = (20, 30, 58)
GLASS_BOTTOM = (6, 9, 22)
OUTLINE = (11, 53, 80)


def _big(w, h):
    return Image.new("L", (w * S, h * S), 0)


def _down(mask):
    return mask.resize((mask.width // S, mask.height // S), Image.BOX)


def _icon_mask(kind, w, h):
    """The cyan symbol of a button, drawn 4x and returned at cell size."""
    m = _big(w, h)
    d = ImageDraw.Draw(m)
    cx, cy = w * S / 2, h * S / 2
    top, bottom = cy - 3.5 * S, cy + 3.5 * S
    if kind == "play":
        d.polygon([(cx - 3 * S, top), (cx - 3 * S, bottom), (cx + 3.5 * S, cy)], fill=255)
    elif kind == "pause":
        d.rectangle((cx - 3.5 * S, top, cx - 1 * S, bottom), fill=255)
        d.rectangle((cx + 1 * S, top, cx + 3.5 * S, bottom), fill=255)
    elif kind == "next":
        d.polygon([(cx - 4 * S, top), (cx - 4 * S, bottom), (cx + 1.5 * S, cy)], fill=255)
        d.rectangle((cx + 2 * S, top, cx + 3.5 * S, bottom), fill=255)
    else:  # previous
        d.polygon([(cx + 4 * S, top), (cx + 4 * S, bottom), (cx - 1.5 * S, cy)], fill=255)
        d.rectangle((cx - 3.5 * S, top, cx - 2 * S, bottom), fill=255)
    return _down(m)


def _face(kind, w, h, lit):
    """One button face: dark glass, a thin cyan rim and the symbol; the lit
    face is the same control glowing (brighter rim and symbol, a soft bloom
    kept inside its own cell)."""
    cell = Image.new("RGBA", (w, h), (0, 0, 0, 0))
    body = _big(w, h)
    ImageDraw.Draw(body).rounded_rectangle((0, 0, w * S - 1, h * S - 1), 3 * S, fill=255)
    body = _down(body)
    glass = vertical_gradient((w, h), [(0, GLASS_TOP), (1, GLASS_BOTTOM)]).convert("RGBA")
    if lit:
        glass = Image.blend(glass, vertical_gradient(
            (w, h), [(0, (20, 70, 110)), (1, (8, 30, 56))]).convert("RGBA"), 0.8)
    glass.putalpha(scale_alpha(body, 0.93))
    cell.alpha_composite(glass)
    rim = _big(w, h)
    ImageDraw.Draw(rim).rounded_rectangle((0, 0, w * S - 1, h * S - 1), 3 * S,
                                          outline=255, width=S)
    cell.alpha_composite(solid((w, h), EDGE, scale_alpha(_down(rim), 0.95 if lit else 0.5)))
    shine = _big(w, h)
    ImageDraw.Draw(shine).rounded_rectangle((S, S, w * S - 1 - S, h * S // 2), 2 * S,
                                            fill=255)
    cell.alpha_composite(solid((w, h), (255, 255, 255), scale_alpha(_down(shine), 0.07)))
    icon = _icon_mask(kind, w, h)
    if lit:
        bloom = blur(icon, 2.2)
        cell.alpha_composite(solid((w, h), EDGE, scale_alpha(bloom, 1.6)))
        cell.alpha_composite(solid((w, h), ICON_LIT, icon))
    else:
        cell.alpha_composite(solid((w, h), ICON_FACE, scale_alpha(icon, 0.85)))
    return cell


def _groove(lit):
    """The scale's track, 106 x 15: an engraved line, or the same line lit."""
    w, h = 106, 15
    cell = Image.new("RGBA", (w, h), (0, 0, 0, 0))
    x0, x1 = 3 * S, (w - 3) * S - 1
    cy = 7.5 * S
    if not lit:
        shadow = _big(w, h)
        ImageDraw.Draw(shadow).rounded_rectangle((x0, cy - 2 * S, x1, cy + 2 * S - 1),
                                                 2 * S, fill=255)
        cell.alpha_composite(solid((w, h), (1, 2, 8), scale_alpha(_down(shadow), 0.9)))
        lip = _big(w, h)
        ImageDraw.Draw(lip).line((x0 + 2 * S, cy + 2 * S, x1 - 2 * S, cy + 2 * S),
                                 fill=255, width=S)
        cell.alpha_composite(solid((w, h), EDGE, scale_alpha(_down(lip), 0.3)))
        return cell
    line = _big(w, h)
    ImageDraw.Draw(line).rounded_rectangle((x0, cy - 1 * S, x1, cy + 1 * S - 1), S,
                                           fill=255)
    line = _down(line)
    cell.alpha_composite(solid((w, h), (1, 2, 8), scale_alpha(blur(line, 1), 0.6)))
    cell.alpha_composite(solid((w, h), EDGE, scale_alpha(blur(line, 2.5), 1.3)))
    cell.alpha_composite(solid((w, h), (150, 240, 255), line))
    return cell


def _knob(lit):
    """A small bright capsule, 8 x 15; lit, it is brighter with a bloom."""
    w, h = 8, 15
    cell = Image.new("RGBA", (w, h), (0, 0, 0, 0))
    cap = _big(w, h)
    ImageDraw.Draw(cap).rounded_rectangle((1 * S, 1 * S, 7 * S - 1, 14 * S - 1),
                                          3 * S, fill=255)
    cap = _down(cap)
    if lit:
        cell.alpha_composite(solid((w, h), EDGE, scale_alpha(blur(cap, 1.5), 1.2)))
    ring = _big(w, h)
    ImageDraw.Draw(ring).rounded_rectangle((1 * S, 1 * S, 7 * S - 1, 14 * S - 1),
                                           3 * S, outline=255, width=S)
    top, bottom = ((255, 255, 255), (150, 235, 255)) if lit else \
        ((215, 245, 255), (70, 180, 230))
    fill = vertical_gradient((w, h), [(0, top), (1, bottom)]).convert("RGBA")
    fill.putalpha(cap)
    cell.alpha_composite(fill)
    cell.alpha_composite(solid((w, h), OUTLINE if not lit else (40, 150, 200),
                               scale_alpha(_down(ring), 0.8)))
    return cell


def skin_sheet():
    """The controls' skin in the layout the player cuts it by: row 1 holds
    the play/pause faces (play, play lit, pause, pause lit) and the next and
    previous faces with their lit twins; row 2 the scale's empty and filled
    track and the knob with its lit twin."""
    sheet = Image.new("RGBA", (SHEET_W, SHEET_H), (0, 0, 0, 0))
    row1 = [(0, "play", 44, False), (44, "play", 44, True),
            (88, "pause", 44, False), (132, "pause", 44, True),
            (176, "next", 27, False), (203, "next", 27, True),
            (230, "previous", 27, False), (257, "previous", 27, True)]
    for x, kind, w, lit in row1:
        sheet.paste(_face(kind, w, 15, lit), (x, 0))
    sheet.paste(_groove(False), (0, 15))
    sheet.paste(_groove(True), (106, 15))
    sheet.paste(_knob(False), (212, 15))
    sheet.paste(_knob(True), (220, 15))
    return zero_transparent(sheet)


def icon(side=32):
    """The window icon, 32 x 32: the eclipse of the disk's emblem. Menus and
    docks want it larger (side up to 256, the size it is drawn at)."""
    assert 0 < side <= 256
    n = 8
    size = 32 * n
    img = Image.new("RGBA", (size, size), (0, 0, 0, 0))
    glow = Image.new("L", (size, size), 0)
    ImageDraw.Draw(glow).ellipse((5 * n, 5 * n, 27 * n, 27 * n), fill=255)
    img.alpha_composite(solid((size, size), (130, 90, 230), scale_alpha(blur(glow, 3 * n), 0.9)))
    img.alpha_composite(solid((size, size), EDGE, scale_alpha(blur(glow, 1.2 * n), 1.0)))
    ring = Image.new("L", (size, size), 0)
    ImageDraw.Draw(ring).ellipse((6 * n, 6 * n, 26 * n, 26 * n), fill=255)
    img.alpha_composite(solid((size, size), (235, 250, 255), ring))
    disc = Image.new("L", (size, size), 0)
    ImageDraw.Draw(disc).ellipse((7 * n, 6.2 * n, 26.2 * n, 25.4 * n), fill=255)
    img.alpha_composite(solid((size, size), (6, 7, 18), disc))
    bead = Image.new("L", (size, size), 0)
    ImageDraw.Draw(bead).ellipse((20 * n, 7 * n, 25 * n, 12 * n), fill=255)
    img.alpha_composite(solid((size, size), (255, 255, 255), blur(bead, 0.8 * n)))
    if side != size:
        img = img.resize((side, side), Image.LANCZOS)
    return zero_transparent(img)


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
