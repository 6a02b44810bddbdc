"""The night sky: background picture and star layers.

Both come from one list of painted stars, so the twinkle brightens stars
that are really painted; the unlit sockets come from the spectrum module's
light places, so each light fills its socket when it shines.
"""
import math
import random

from PIL import Image, ImageChops, ImageDraw

import fonts
import spectrum
from base import (CONTROL_PANEL, EDGE, GLASS, H, INFO_PANEL, NEBULA_TEAL,
                      NEBULA_VIOLET, SANS_LIGHT, SCROLLER_Y, SERIF_BOLD,
                      SKY_LOW, SKY_MID, SKY_TOP, SPEC_POS, STAR_COLD,
                      STAR_WARM, W, blur, clamp8, font, mix, scale_alpha,
                      solid, text_mask, vertical_gradient)

ECLIPSE = (318, 340, 31)          # centre x, centre y, radius of the dark disc
TITLE_BOX = (8, 6, 226, 84)       # x0, y0, x1, y1 kept for the painted title
STAR_SEED = 1977
NEBULA_SEED = 4242
LAYERS = 5


def ridge(x):
    """Height of the hills' top edge at column x (canvas y)."""
    y = (352.0
         + 9.0 * math.sin(x * 0.011 + 0.6)
         + 5.0 * math.sin(x * 0.029 + 2.1)
         + 2.0 * math.sin(x * 0.083 + 0.3))
    # A gentle saddle under the eclipse so that it sets between two hills.
    y += 10.0 * math.exp(-((x - ECLIPSE[0]) / 70.0) ** 2)
    return y


def far_ridge(x):
    """Top edge of the farther, hazier hills behind the front ones."""
    return (338.0 + 8.0 * math.sin(x * 0.017 + 4.0)
            + 4.0 * math.sin(x * 0.047 + 1.0)
            + 14.0 * math.exp(-((x - ECLIPSE[0]) / 60.0) ** 2))


# Ruins on the hills: (centre x, width, height above the ridge, kind).
SPIRES = [(38, 7, 34, "spire"), (52, 4, 18, "spire"), (150, 12, 22, "tower"),
          (186, 5, 30, "spire"), (452, 14, 26, "tower"), (470, 6, 40, "spire"),
          (560, 5, 24, "spire"), (598, 10, 16, "tower"), (612, 4, 28, "spire")]


class Scene:
    def __init__(self):
        self.band_h = fonts.font_big_cyan().height - 1
        self.lights = spectrum.lights()
        self.spec_rects = []
        for (x, y), f in zip(SPEC_POS, spectrum.frames()):
            self.spec_rects.append((x, y, x + f.width, y + f.height))
        self.ground = self._ground_mask()
        self.stars = self._place_stars()

    # ---- where stars may go -------------------------------------------
    def _ground_mask(self):
        """L mask of the silhouette: hills and ruins, 255 = ground."""
        mask = Image.new("L", (W, H), 0)
        d = ImageDraw.Draw(mask)
        d.polygon([(-2, H + 2)] + [(x, ridge(x)) for x in range(0, W + 1, 2)] +
                  [(W + 2, H + 2)], fill=255)
        for cx, w, h, kind in SPIRES:
            base = ridge(cx) + 3
            top = base - h
            if kind == "spire":
                d.polygon([(cx - w / 2, base), (cx - w / 2, top + h * 0.35),
                           (cx, top), (cx + w / 2, top + h * 0.35),
                           (cx + w / 2, base)], fill=255)
            else:
                d.rectangle((cx - w / 2, top + 3, cx + w / 2, base), fill=255)
                for k in range(3):  # battlements
                    bx = cx - w / 2 + k * w / 2.5
                    d.rectangle((bx, top, bx + w / 5, top + 3), fill=255)
        return mask

    def star_allowed(self, x, y, margin=3):
        """False where a star would sit on a panel, the scroller band, the
        title, the eclipse, a spectrum frame or the ground: the star layers
        are written over the canvas at every tick and must not scratch the
        things drawn there."""
        def near(rect):
            x0, y0, x1, y1 = rect
            return x0 - margin <= x < x1 + margin and y0 - margin <= y < y1 + margin
        if x < margin or y < margin or x >= W - margin:
            return False
        if near(CONTROL_PANEL) or near(INFO_PANEL) or near(TITLE_BOX):
            return False
        if SCROLLER_Y - margin - 2 <= y < SCROLLER_Y + self.band_h + margin + 2:
            return False
        if any(near(r) for r in self.spec_rects):
            return False
        ex, ey, er = ECLIPSE
        if math.hypot(x - ex, y - ey) < er + 10:
            return False
        if y >= min(ridge(x), far_ridge(x)) - 6 - margin:
            return False
        for dx in (-margin, 0, margin):
            for dy in (-margin, 0, margin):
                if self.ground.getpixel((min(W - 1, max(0, x + dx)),
                                         min(H - 1, max(0, y + dy)))):
                    return False
        return True

    def _place_stars(self):
        """(x, y, brightness 0..1, warm, size class) for every painted star.
        Denser along a faint diagonal band, like a far Milky Way."""
        rng = random.Random(STAR_SEED)
        stars = []
        taken = set()
        tries = 0
        while len(stars) < 480 and tries < 20000:
            tries += 1
            x, y = rng.randrange(W), rng.randrange(H)
            band = abs((y - 60) - (x - 40) * -0.35 - 160) / 90.0
            if rng.random() > 0.35 + 0.65 * math.exp(-band * band):
                continue
            if not self.star_allowed(x, y) or (x // 3, y // 3) in taken:
                continue
            taken.add((x // 3, y // 3))
            roll = rng.random()
            size = 2 if roll < 0.05 else 1 if roll < 0.22 else 0
            bright = rng.uniform(0.5, 0.95) if size else rng.uniform(0.15, 0.6)
            stars.append((x, y, bright, rng.random() < 0.14, size))
        return stars

    # ---- the background -----------------------------------------------
    def _sky(self):
        sky = vertical_gradient((W, H), [(0.0, SKY_TOP), (0.42, SKY_MID),
                                         (0.86, SKY_LOW), (1.0, SKY_LOW)])
        sky = sky.convert("RGBA")
        rng = random.Random(NEBULA_SEED)
        small = (160, 100)
        for colour, area, strength, count in (
                (NEBULA_VIOLET, (95, 20, 160, 70), 0.42, 26),
                (NEBULA_TEAL, (0, 25, 70, 80), 0.36, 22),
                (NEBULA_VIOLET, (0, 55, 60, 85), 0.22, 10),
                (NEBULA_TEAL, (100, 0, 160, 30), 0.20, 10)):
            mask = Image.new("L", small, 0)
            d = ImageDraw.Draw(mask)
            x0, y0, x1, y1 = area
            for _ in range(count):
                cx, cy = rng.uniform(x0, x1), rng.uniform(y0, y1)
                rx, ry = rng.uniform(4, 16), rng.uniform(3, 9)
                d.ellipse((cx - rx, cy - ry, cx + rx, cy + ry),
                          fill=rng.randint(60, 150))
            mask = blur(mask, 6).resize((W, H), Image.BICUBIC)
            mask = blur(mask, 6)
            sky.alpha_composite(solid((W, H), colour, scale_alpha(mask, strength)))
        return sky

    def _eclipse(self, img):
        ex, ey, er = ECLIPSE
        size = (W, H)
        # Wide soft light behind the dark disc, lighting the horizon.
        glow = Image.new("L", size, 0)
        ImageDraw.Draw(glow).ellipse((ex - er - 6, ey - er - 6, ex + er + 6,
                                      ey + er + 6), fill=255)
        wide = blur(glow, 26)
        img.alpha_composite(solid(size, (120, 70, 170), scale_alpha(wide, 0.55)))
        corona = blur(glow, 7)
        img.alpha_composite(solid(size, (150, 210, 255), scale_alpha(corona, 0.55)))
        ring = Image.new("L", size, 0)
        ImageDraw.Draw(ring).ellipse((ex - er - 1, ey - er - 1, ex + er + 1,
                                      ey + er + 1), outline=255, width=2)
        img.alpha_composite(solid(size, (235, 245, 255), scale_alpha(blur(ring, 1.2), 0.9)))
        # The "diamond ring": one bright bead on the upper right of the rim.
        a = math.radians(-38)
        bx, by = ex + er * math.cos(a), ey + er * math.sin(a)
        bead = Image.new("L", size, 0)
        ImageDraw.Draw(bead).ellipse((bx - 3, by - 3, bx + 3, by + 3), fill=255)
        img.alpha_composite(solid(size, (255, 255, 255), blur(bead, 2.5)))
        img.alpha_composite(solid(size, (190, 230, 255), scale_alpha(blur(bead, 8), 0.8)))
        disc = Image.new("L", (W * 4, H * 4), 0)
        ImageDraw.Draw(disc).ellipse(((ex - er) * 4, (ey - er) * 4,
                                      (ex + er) * 4, (ey + er) * 4), fill=255)
        disc = disc.resize(size, Image.BOX)
        img.alpha_composite(solid(size, (5, 5, 14), disc))

    def _paint_stars(self, img):
        layer = Image.new("RGBA", (W, H), (0, 0, 0, 0))
        px = layer.load()
        for x, y, bright, warm, size in self.stars:
            c = STAR_WARM if warm else STAR_COLD
            a = bright
            px[x, y] = c + (clamp8(255 * a),)
            if size >= 1:
                for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)):
                    px[x + dx, y + dy] = c + (clamp8(255 * a * 0.35),)
            if size >= 2:
                for dx, dy in ((2, 0), (-2, 0), (0, 2), (0, -2)):
                    px[x + dx, y + dy] = c + (clamp8(255 * a * 0.14),)
        halo = blur(layer.getchannel("A").point(lambda v: v if v > 150 else 0), 1.5)
        img.alpha_composite(solid((W, H), STAR_COLD, scale_alpha(halo, 0.5)))
        img.alpha_composite(layer)

    def _far_hills(self, img):
        far = Image.new("L", (W, H), 0)
        ImageDraw.Draw(far).polygon(
            [(-2, H + 2)] + [(x, far_ridge(x)) for x in range(0, W + 1, 2)] +
            [(W + 2, H + 2)], fill=255)
        self.far = far
        haze = vertical_gradient((W, H), [(0, (30, 24, 60)), (0.8, (22, 17, 46)),
                                          (1, (12, 10, 26))]).convert("RGBA")
        haze.putalpha(far)
        img.alpha_composite(haze)

    def _hills(self, img):
        ground = self.ground
        ex = ECLIPSE[0]
        # Rim light along the top edge, strongest near the eclipse.
        edge = ImageChops.subtract(ground, ground.transform(
            (W, H), Image.AFFINE, (1, 0, 0, 0, 1, 2), fillcolor=255))
        rim = Image.new("L", (W, H), 0)
        rp, ep = rim.load(), edge.load()
        for x in range(W):
            k = 0.25 + 0.75 * math.exp(-((x - ex) / 140.0) ** 2)
            for y in range(300, H):
                if ep[x, y]:
                    rp[x, y] = clamp8(ep[x, y] * k * 0.55)
        img.alpha_composite(solid((W, H), (4, 4, 10), ground))
        img.alpha_composite(solid((W, H), (150, 120, 220), rim))
        # A few warm windows in the ruins.
        d = ImageDraw.Draw(img)
        for cx, w, h, kind in SPIRES:
            if kind == "tower":
                wy = int(ridge(cx) + 3 - h * 0.55)
                d.point((int(cx), wy), fill=(255, 190, 110, 255))
                d.point((int(cx), wy + 1), fill=(160, 100, 60, 255))

    def _band(self, img):
        top, bottom = SCROLLER_Y, SCROLLER_Y + self.band_h
        shade = Image.new("L", (W, H), 0)
        d = ImageDraw.Draw(shade)
        for k in range(4):  # feathered above and below the line
            v = 150 * (k + 1) // 5
            d.rectangle((0, top - 4 + k, W, top - 4 + k), fill=v)
            d.rectangle((0, bottom + 3 - k, W, bottom + 3 - k), fill=v)
        d.rectangle((0, top, W, bottom - 1), fill=175)
        img.alpha_composite(solid((W, H), (2, 3, 10), shade))
        lines = Image.new("L", (W, H), 0)
        d = ImageDraw.Draw(lines)
        for x in range(W):
            v = int(40 * math.sin(math.pi * x / (W - 1)) ** 1.5)
            d.point((x, top - 1), fill=v)
            d.point((x, bottom), fill=v)
        img.alpha_composite(solid((W, H), EDGE, lines))

    def _panel(self, img, rect):
        x0, y0, x1, y1 = rect
        size = (W, H)
        body = Image.new("L", size, 0)
        ImageDraw.Draw(body).rounded_rectangle((x0, y0, x1 - 1, y1 - 1), 5, fill=255)
        img.alpha_composite(solid(size, EDGE, scale_alpha(blur(body, 4), 0.10)))
        img.alpha_composite(solid(size, GLASS, scale_alpha(body, 0.85)))
        # Glass sheen: a faint lighter wash over the upper part.
        sheen = Image.new("L", size, 0)
        ImageDraw.Draw(sheen).rounded_rectangle((x0 + 1, y0 + 1, x1 - 2, y1 - 2), 4,
                                                fill=255)
        ramp = vertical_gradient(size, [(0, (14,) * 3), (y0 / H, (14,) * 3),
                                        ((y0 + (y1 - y0) * 0.6) / H, (0,) * 3),
                                        (1, (0,) * 3)]).convert("L")
        sheen = ImageChops.multiply(sheen, ramp)
        img.alpha_composite(solid(size, (255, 255, 255), sheen))
        edge = Image.new("L", size, 0)
        ImageDraw.Draw(edge).rounded_rectangle((x0, y0, x1 - 1, y1 - 1), 5,
                                               outline=230, width=1)
        img.alpha_composite(solid(size, EDGE, edge))
        inner = Image.new("L", size, 0)
        ImageDraw.Draw(inner).rounded_rectangle((x0 + 1, y0 + 1, x1 - 2, y1 - 2),
                                                4, outline=31, width=1)
        img.alpha_composite(solid(size, (255, 255, 255), inner))

    def _sockets(self, img):
        d = ImageDraw.Draw(img)
        for cx, cy, r, colour in self.lights:
            rr = max(2.0, r * 0.5)
            dim = mix((10, 10, 24), colour, 0.16)
            d.ellipse((cx - rr, cy - rr, cx + rr, cy + rr),
                      fill=(5, 6, 14, 255), outline=dim + (255,))
            d.point((cx - 1, cy - 1), fill=mix((5, 6, 14), colour, 0.22) + (255,))

    def _title(self, img):
        fnt = font(SERIF_BOLD, 34)
        mask = text_mask("Vellumbra", fnt, pad=10)
        x, y = 10, 6
        size = mask.size
        glow = solid(size, (120, 90, 230), scale_alpha(blur(mask, 6), 0.7))
        img.alpha_composite(glow, dest=(x, y))
        fill = vertical_gradient(size, [(0.0, (250, 252, 255)), (0.45, (200, 220, 255)),
                                        (1.0, (160, 130, 255))]).convert("RGBA")
        fill.putalpha(mask)
        img.alpha_composite(fill, dest=(x, y))
        tag = text_mask("A NIGHT OF INK AND SHADOW", font(SANS_LIGHT, 9))
        tx = x + 10 + (mask.width - 20 - tag.width) // 2
        img.alpha_composite(solid(tag.size, (150, 190, 240), scale_alpha(tag, 0.85)),
                            dest=(tx, y + mask.height - 4))
        d = ImageDraw.Draw(img)
        ly = y + mask.height - 8
        for k in range(mask.width - 24):
            t = abs(k - (mask.width - 24) / 2) / ((mask.width - 24) / 2)
            a = int(120 * (1 - t) ** 1.5)
            px = x + 12 + k
            old = img.getpixel((px, ly))
            img.putpixel((px, ly), mix(old[:3], EDGE, a / 255) + (255,))
        del d

    def background(self):
        img = self._sky()
        self._paint_stars(img)
        self._eclipse(img)
        self._far_hills(img)
        self._hills(img)
        self._band(img)
        self._panel(img, CONTROL_PANEL)
        self._panel(img, INFO_PANEL)
        self._sockets(img)
        self._title(img)
        out = img.convert("RGB").convert("RGBA")
        return out

    # ---- the twinkle -----------------------------------------------------
    def star_layers(self):
        """Five full-screen layers, each brightening its own subset of the
        painted stars (plus a few faint extra ones) as small glints."""
        rng = random.Random(STAR_SEED + 1)
        layers = [Image.new("RGBA", (W, H), (0, 0, 0, 0)) for _ in range(LAYERS)]
        pix = [layer.load() for layer in layers]
        for x, y, bright, warm, size in self.stars:
            picks = rng.sample(range(LAYERS), 2 if bright > 0.6 else 1)
            colour = (255, 236, 205) if warm else (245, 250, 255)
            arm = 2 if size >= 1 and bright > 0.6 else 1
            for k in picks:
                p = pix[k]
                p[x, y] = colour + (255,)
                for step in range(1, arm + 1):
                    a = clamp8(255 * (0.62 if step == 1 else 0.26) * (0.6 + 0.4 * bright))
                    for dx, dy in ((step, 0), (-step, 0), (0, step), (0, -step)):
                        if self.star_allowed(x + dx, y + dy, margin=0):
                            p[x + dx, y + dy] = colour + (a,)
        # A few glints where nothing is painted: the sky keeps surprising.
        for k in range(LAYERS):
            added = 0
            while added < 14:
                x, y = rng.randrange(W), rng.randrange(H)
                if self.star_allowed(x, y) and pix[k][x, y][3] == 0:
                    pix[k][x, y] = (230, 240, 255, 200)
                    added += 1
        return layers
