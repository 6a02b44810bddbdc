"""The six intro pictures shown over the spiral star burst."""
from PIL import Image, ImageDraw

from art_base import (INTRO_POS, SANS_LIGHT, SERIF, SERIF_BOLD, SMALL_WHITE,
                      centred_size, font)

LABEL = "Lumen Quill"


def _text_card(size, lines):
    img = Image.new("RGBA", size, (0, 0, 0, 0))
    d = ImageDraw.Draw(img)
    total = sum(f.getbbox(t)[3] - f.getbbox(t)[1] + 6 for t, f in lines)
    y = (size[1] - total) // 2
    for text, fnt in lines:
        l, t, r, b = fnt.getbbox(text)
        d.text(((size[0] - (r - l)) // 2 - l, y - t), text, font=fnt,
               fill=SMALL_WHITE + (255,))
        y += b - t + 6
    return img


def picture(n):
    size = centred_size(INTRO_POS[n])
    if n == 1:
        return _text_card(size, [(LABEL, font(SERIF, 22))])
    if n == 2:
        return _text_card(size, [("presents", font(SANS_LIGHT, 26))])
    if n == 3:
        img = Image.new("RGBA", size, (0, 0, 0, 0))
        d = ImageDraw.Draw(img)
        cx, cy = size[0] // 2, size[1] // 2 - 30
        d.ellipse((cx - 70, cy - 70, cx + 70, cy + 70), fill=(240, 230, 200, 255))
        d.ellipse((cx - 62, cy - 70, cx + 78, cy + 70), fill=(0, 0, 0, 255))
        d.rectangle((cx - 120, cy + 90, cx + 120, cy + 130), fill=(230, 215, 180, 255))
        return img
    if n == 4:
        return _text_card(size, [("a music disk", font(SANS_LIGHT, 20))])
    if n == 5:
        f = font(SERIF, 18)
        return _text_card(size, [("music  Ottilie Marsh", f),
                                 ("code  Bram Kestrel", f),
                                 ("graphics  Ines Valcourt", f)])
    return _text_card(size, [("Vellumbra", font(SERIF_BOLD, 110))])
