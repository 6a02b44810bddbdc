"""Preview pictures: the player screen and the intro composed the way the
program composes them, for looking at the art as a whole."""
import math
import os

from PIL import Image

from base import INTRO_POS, SPEC_POS, W, H
from fonts import StripFont

SKIN = {  # screen position -> sheet cell (x, y, w, h)
    (271, 44): (0, 0, 44, 15),       # play face
    (320, 44): (203, 0, 27, 15),     # next glow (as if hovered)
    (239, 44): (230, 0, 27, 15),     # previous face
}


def _load(folder, name):
    return Image.open(os.path.join(folder, name)).convert("RGBA")


def player(folder, star_layer=1, played=0.4, pause=False, levels=None):
    bg = _load(folder, "background.png")
    canvas = bg.copy()
    sheet = _load(folder, "buttons.png")
    skin = dict(SKIN)
    if pause:
        skin[(271, 44)] = (88, 0, 44, 15)
    for (x, y), (sx, sy, w, h) in skin.items():
        canvas.alpha_composite(sheet.crop((sx, sy, sx + w, sy + h)), dest=(x, y))
    # Scale: trough, the filled trough cut to the played width, then the knob.
    canvas.alpha_composite(sheet.crop((0, 15, 106, 30)), dest=(240, 20))
    fill = int(106 * played)
    if fill:
        canvas.alpha_composite(sheet.crop((106, 15, 106 + fill, 30)), dest=(240, 20))
    knob_x = 240 + int((106 - 8) * played)
    canvas.alpha_composite(sheet.crop((212, 15, 220, 30)), dest=(knob_x, 20))

    blue = StripFont(_load(folder, "font_small_blue.png"))
    white = StripFont(_load(folder, "font_small_white.png"))
    big = StripFont(_load(folder, "font_big_cyan.png"))
    box = Image.new("RGBA", (233, 60), (0, 0, 0, 0))
    blue.draw(box, "diskplayer", 0, 0)
    white.draw(box, "Ink Tides Over the Quiet Harbour", 0, 16)
    blue.draw(box, "4:27", 0, 48)
    canvas.alpha_composite(box, dest=(396, 17))
    line = Image.new("RGBA", (W + 400, big.height), (0, 0, 0, 0))
    big.draw(line, "Hello night owls! Greetings to everyone ~ {Vellumbra} 0123456789 @#%&", 4, 0)
    canvas.alpha_composite(line.crop((0, 0, W, big.height)), dest=(0, 92))

    stars = _load(folder, "stars%d.png" % star_layer)
    sp, bp, cp = stars.load(), bg.load(), canvas.load()
    for y in range(H):
        for x in range(W):
            s = sp[x, y]
            if s[3]:
                b = bp[x, y]
                t = s[3]
                cp[x, y] = tuple(b[c] + t * (s[c] - b[c]) // 255 for c in range(3)) + (b[3] | t,)
    for i, (x, y) in enumerate(SPEC_POS):
        frame = _load(folder, "spec%02d.png" % (i + 1))
        if levels is not None:
            frame.putalpha(frame.getchannel("A").point(
                lambda v, k=levels[38 - i]: v * k // 255))
        w, h = frame.size
        canvas.paste(bg.crop((x, y, x + w, y + h)), (x, y))
        canvas.alpha_composite(frame, dest=(x, y))
    return canvas


def intro(folder, n):
    canvas = Image.new("RGBA", (W, H), (0, 0, 0, 255))
    canvas.alpha_composite(_load(folder, "intro-%d.png" % n), dest=INTRO_POS[n])
    return canvas


def write(folder, out_dir):
    os.makedirs(out_dir, exist_ok=True)
    p = player(folder)
    p.save(os.path.join(out_dir, "player.png"))
    p.resize((W * 2, H * 2), Image.NEAREST).save(os.path.join(out_dir, "player2x.png"))
    # A plausible moment of music: strong bass, a mid bump, quiet treble.
    levels = [int(255 * max(0.0, min(1.0, 0.95 - 0.02 * b + 0.25 * math.sin(b * 0.7))))
              for b in range(39)]
    player(folder, star_layer=3, played=0.8, pause=True, levels=levels).save(
        os.path.join(out_dir, "player_b.png"))
    _load(folder, "background.png").save(os.path.join(out_dir, "bg.png"))
    sheet = _load(folder, "buttons.png")
    board = Image.new("RGBA", sheet.size, (20, 20, 40, 255))
    board.alpha_composite(sheet)
    board.resize((sheet.width * 4, sheet.height * 4), Image.NEAREST).save(
        os.path.join(out_dir, "skin4x.png"))
    sheet_all = Image.new("RGBA", (W * 2, H * 3), (0, 0, 0, 255))
    for n in range(1, 7):
        sheet_all.paste(intro(folder, n), (((n - 1) % 2) * W, ((n - 1) // 2) * H))
    sheet_all.save(os.path.join(out_dir, "intro.png"))
    for n in (1, 2, 3, 4, 5, 6):
        intro(folder, n).save(os.path.join(out_dir, "intro%d.png" % n))
