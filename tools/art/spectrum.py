"""The arc of 39 spectrum lights and their unlit sockets.

The program draws spec01..spec39 in that order at fixed top-left corners,
and before each one it restores the background under the frame's whole
rectangle. So a frame's rectangle must never reach into the light of a frame
drawn before it; the centres below are chosen inside those rules to give one
even arc, from the big bass light at the left to the small treble lights at
the right.
"""
import math

from PIL import Image

from base import SPEC_POS, clamp8, hex_rgb, mix

# Colour stops by band (band 0 = bass = spec39): warm, then green-cyan, then
# violet, blended across the seams so the arc reads as one rainbow.
STOPS = [(0, hex_rgb("ff6a3d")), (11, hex_rgb("ffc24a")),
         (15, hex_rgb("5cf2a0")), (24, hex_rgb("3ad6ff")),
         (28, hex_rgb("9b7bff")), (38, hex_rgb("e08bff"))]

# Explicit centres and radii where the given corners bunch up or spread out
# (the crest of the arc and the bass end); frame number -> (cx, cy, r).
FIXED = {
    23: (333, 244, 6),
    24: (316, 242, 8),
    25: (296, 240, 8),
    26: (276, 237, 8),
    27: (256, 239, 7),
    28: (240, 243, 6),
    29: (226, 247, 6),
    30: (213, 251, 6),
    31: (201, 256, 6),
    32: (190, 261, 6),
    39: (112, 329, 15),
    38: (137, 309, 7),
}


def band_colour(band):
    for (b0, c0), (b1, c1) in zip(STOPS, STOPS[1:]):
        if b0 <= band <= b1:
            return mix(c0, c1, (band - b0) / (b1 - b0))
    return STOPS[-1][1]


def _default_radius(number):
    if number <= 3:
        return 4
    if number <= 21 or 33 <= number <= 35:
        return 5
    return 6


def lights():
    """Per frame (index 0 = spec01): (cx, cy, r, colour) in canvas pixels."""
    out = []
    for i, (x, y) in enumerate(SPEC_POS):
        number = i + 1
        if number in FIXED:
            cx, cy, r = FIXED[number]
        else:
            r = _default_radius(number)
            cx, cy = x + r, y + r
        assert cx - r >= x and cy - r >= y, "light %d leaves its frame" % number
        out.append((cx, cy, r, band_colour(38 - i)))
    return out


def _coverage(dx, dy, radius, sub=4):
    """Fraction of the pixel at offset (dx, dy) inside a disc of radius."""
    inside = 0
    for sy in range(sub):
        for sx in range(sub):
            px = dx - 0.5 + (sx + 0.5) / sub
            py = dy - 0.5 + (sy + 0.5) / sub
            if px * px + py * py <= radius * radius:
                inside += 1
    return inside / (sub * sub)


def light_picture(r, colour, ox, oy, size):
    """A glowing orb of radius r centred at (ox, oy) in a picture of size:
    a soft halo in the band colour, a bright core and a whitish hot spot."""
    img = Image.new("RGBA", size, (0, 0, 0, 0))
    px = img.load()
    core_r = max(1.8, r * 0.48)
    hot = mix(colour, (255, 255, 255), 0.75)
    rim = mix(colour, (255, 255, 255), 0.25)
    for y in range(size[1]):
        for x in range(size[0]):
            dx, dy = x - ox, y - oy
            d = math.hypot(dx, dy)
            if d >= r:
                continue
            halo = (1.0 - d / r) ** 2.0 * 0.95
            core = _coverage(dx, dy, core_r)
            t = max(0.0, 1.0 - d / core_r)
            body = mix(rim, hot, t * t)
            a = core + halo * (1.0 - core)
            if a <= 0:
                continue
            c = tuple((body[k] * core + colour[k] * halo * (1.0 - core)) / a
                      for k in range(3))
            px[x, y] = tuple(clamp8(round(v)) for v in c) + (clamp8(round(255 * a)),)
    return img


def frames():
    out = []
    for i, (cx, cy, r, colour) in enumerate(lights()):
        x, y = SPEC_POS[i]
        size = (cx - x + r + 1, cy - y + r + 1)
        out.append(light_picture(r, colour, cx - x, cy - y, size))
    return out
