"""The night sky: background picture, star layers and spectrum lights.

They share one list of painted stars and one set of spectrum light places,
so the twinkle brightens stars that are really painted and the unlit
sockets sit exactly where the lights appear.
"""
import random

from PIL import Image, ImageDraw

from art_base import (CONTROL_PANEL, EDGE, GLASS, H, INFO_PANEL, SKY_LOW,
                      SKY_MID, SKY_TOP, SPEC_POS, STAR_COLD, STAR_WARM, W,
                      SCROLLER_Y, SERIF_BOLD, font, mix, vertical_gradient)
import art_fonts

HORIZON_TOP = 330


class Scene:
    def __init__(self):
        self.band_h = art_fonts.font_big_cyan().height - 1
        self.lights = [(x + 4, y + 4, 4) for x, y in SPEC_POS]
        self.lights[24] = (291, 238, 4)
        rng = random.Random(1977)
        self.stars = []
        while len(self.stars) < 260:
            x, y = rng.randrange(1, W - 1), rng.randrange(1, HORIZON_TOP)
            if self.star_allowed(x, y):
                warm = rng.random() < 0.15
                self.stars.append((x, y, rng.randint(90, 230), warm))

    def star_allowed(self, x, y):
        x0, y0, x1, y1 = CONTROL_PANEL
        if x0 - 3 <= x < x1 + 3 and y0 - 3 <= y < y1 + 3:
            return False
        x0, y0, x1, y1 = INFO_PANEL
        if x0 - 3 <= x < x1 + 3 and y0 - 3 <= y < y1 + 3:
            return False
        if SCROLLER_Y - 3 <= y < SCROLLER_Y + self.band_h + 3:
            return False
        for cx, cy, r in self.lights:
            if abs(x - cx) <= r + 4 and abs(y - cy) <= r + 4:
                return False
        return True

    def background(self):
        img = vertical_gradient((W, H), [(0, SKY_TOP), (0.5, SKY_MID),
                                         (0.85, SKY_LOW), (1, SKY_LOW)])
        img = img.convert("RGBA")
        d = ImageDraw.Draw(img)
        for x, y, v, warm in self.stars:
            c = mix(SKY_MID, STAR_WARM if warm else STAR_COLD, v / 255)
            d.point((x, y), fill=c + (255,))
        for x0, y0, x1, y1 in (CONTROL_PANEL, INFO_PANEL):
            d.rectangle((x0, y0, x1 - 1, y1 - 1), fill=GLASS + (255,),
                        outline=EDGE + (255,))
        d.rectangle((0, SCROLLER_Y, W - 1, SCROLLER_Y + self.band_h - 1),
                    fill=(6, 7, 20, 255))
        for cx, cy, r in self.lights:
            d.ellipse((cx - r, cy - r, cx + r, cy + r), outline=(40, 44, 80, 255))
        d.polygon([(0, 400), (0, 350), (120, 340), (260, 360), (400, 345),
                   (640, 355), (640, 400)], fill=(3, 3, 8, 255))
        d.text((14, 14), "Vellumbra", font=font(SERIF_BOLD, 28),
               fill=(200, 210, 255, 255))
        return img

    def spectrum_frames(self):
        frames = []
        for i, (x, y) in enumerate(SPEC_POS):
            cx, cy, r = self.lights[i]
            t = i / 38
            c = mix((224, 139, 255), (255, 106, 61), t)
            f = Image.new("RGBA", (cx - x + r + 1, cy - y + r + 1), (0, 0, 0, 0))
            ImageDraw.Draw(f).ellipse((cx - x - r, cy - y - r, cx - x + r,
                                       cy - y + r), fill=c + (255,))
            frames.append(f)
        return frames

    def star_layers(self):
        layers = []
        for k in range(5):
            img = Image.new("RGBA", (W, H), (0, 0, 0, 0))
            for n, (x, y, v, warm) in enumerate(self.stars):
                if n % 5 == k:
                    for dx, dy in ((0, 0), (1, 0), (-1, 0), (0, 1), (0, -1)):
                        img.putpixel((x + dx, y + dy), (255, 255, 255, 255))
            layers.append(img)
        return layers
