"""The six intro pictures, shown one after another over a black screen with
a white and blue spiral star burst. Each is sized so that, at the corner the
intro places it, it sits centred on the 640 x 400 screen (the credits reach
down to the screen's bottom instead, to make room for the logo above them);
text gets a soft dark halo so it stays crisp over the passing stars."""
import math

from PIL import Image, ImageChops, ImageDraw

from base import (EDGE, H, INTRO_POS, SANS, SANS_LIGHT, SERIF, SERIF_BOLD,
                      SERIF_ITALIC, SMALL_BLUE, SMALL_WHITE, blur, centred_size,
                      W, font, mix, scale_alpha, solid, vertical_gradient,
                      zero_transparent)

# The disk credits what made it: the project presents, and each line of the
# credits names the part of it that wrote the music, the program and the
# pictures. A listener must not take the names for real people.
LABEL = "DISKPLAYER"
LABEL_LINE = "made by its own tools"
CREDITS = [("MUSIC", "make_music"), ("CODE", "diskplayer"),
           ("GRAPHICS", "make_art")]
VELLUM_LIGHT = (240, 228, 200)
VELLUM_DARK = (190, 164, 120)
INK = (58, 40, 38)
CORONA = (190, 230, 255)
VIOLET = (150, 110, 255)


def tracked_mask(text, fnt, tracking=0):
    """L mask of text with extra space between letters, cut to its ink."""
    widths = [fnt.getlength(c) for c in text]
    total = int(math.ceil(sum(widths) + tracking * (len(text) - 1))) + 8
    asc, desc = fnt.getmetrics()
    mask = Image.new("L", (total + 8, asc + desc + 8), 0)
    d = ImageDraw.Draw(mask)
    x = 4.0
    for c, w in zip(text, widths):
        d.text((round(x), 4), c, font=fnt, fill=255)
        x += w + tracking
    return mask.crop(mask.getbbox())


def put_text(img, mask, cx, top, colour, glow=None, halo=0.75):
    """Composite a text mask centred on cx with a dark halo behind it (so
    it reads over moving stars) and an optional coloured glow."""
    pad = 8
    big = Image.new("L", (mask.width + 2 * pad, mask.height + 2 * pad), 0)
    big.paste(mask, (pad, pad))
    x = int(round(cx - mask.width / 2)) - pad
    y = top - pad
    if halo:
        img.alpha_composite(solid(big.size, (0, 0, 0), scale_alpha(blur(big, 3), halo * 1.6)),
                            dest=(x, y))
    if glow:
        img.alpha_composite(solid(big.size, glow, scale_alpha(blur(big, 2.5), 0.8)),
                            dest=(x, y))
    img.alpha_composite(solid(big.size, colour, big), dest=(x, y))
    return mask.height


def fade_line(img, cx, y, half, colour, peak=200):
    """A hairline rule that fades out towards both ends."""
    px = img.load()
    for k in range(-half, half + 1):
        t = abs(k) / half
        a = int(peak * (1 - t) ** 1.6)
        x = cx + k
        if 0 <= x < img.width and a:
            old = px[x, y]
            out_a = a + old[3] * (255 - a) // 255
            c = tuple((colour[i] * a + old[i] * old[3] * (255 - a) // 255) // max(1, out_a)
                      for i in range(3))
            px[x, y] = c + (out_a,)


def eclipse(size, cx, cy, r, n=1.0):
    """RGBA eclipse: a dark disc with a bright rim, a wide violet-blue
    corona and the single bright bead of the 'diamond ring'."""
    img = Image.new("RGBA", size, (0, 0, 0, 0))
    disc = Image.new("L", size, 0)
    ImageDraw.Draw(disc).ellipse((cx - r, cy - r, cx + r, cy + r), fill=255)
    img.alpha_composite(solid(size, VIOLET, scale_alpha(blur(disc, 22 * n), 0.9)))
    img.alpha_composite(solid(size, (90, 180, 255), scale_alpha(blur(disc, 8 * n), 0.9)))
    # Streamers: many thin, faint rays of uneven length, the corona's grain.
    rays = Image.new("L", size, 0)
    d = ImageDraw.Draw(rays)
    for k in range(36):
        ang = math.radians(k * 10 + 3 * math.sin(k * 2.7))
        length = r * (1.25 + 0.35 * (0.5 + 0.5 * math.sin(k * 1.9 + 0.4)) ** 2)
        w = math.radians(2.2)
        d.polygon([(cx + r * 0.9 * math.cos(ang - w * 2), cy + r * 0.9 * math.sin(ang - w * 2)),
                   (cx + length * math.cos(ang), cy + length * math.sin(ang)),
                   (cx + r * 0.9 * math.cos(ang + w * 2), cy + r * 0.9 * math.sin(ang + w * 2))],
                  fill=90 + (k * 37) % 80)
    img.alpha_composite(solid(size, CORONA, scale_alpha(blur(rays, 3 * n), 0.6)))
    ring = Image.new("L", size, 0)
    ImageDraw.Draw(ring).ellipse((cx - r - 2 * n, cy - r - 2 * n, cx + r + 2 * n,
                                  cy + r + 2 * n), fill=255)
    img.alpha_composite(solid(size, (235, 248, 255), scale_alpha(blur(ring, 1.5 * n), 1.0)))
    img.alpha_composite(solid(size, (4, 4, 12), disc))
    a = math.radians(-40)
    bx, by = cx + (r + 1) * math.cos(a), cy + (r + 1) * math.sin(a)
    bead = Image.new("L", size, 0)
    ImageDraw.Draw(bead).ellipse((bx - 4 * n, by - 4 * n, bx + 4 * n, by + 4 * n), fill=255)
    img.alpha_composite(solid(size, (200, 235, 255), scale_alpha(blur(bead, 10 * n), 1.0)))
    img.alpha_composite(solid(size, (255, 255, 255), blur(bead, 2 * n)))
    # A thin horizontal flare through the bead.
    flare = Image.new("L", size, 0)
    ImageDraw.Draw(flare).ellipse((bx - 22 * n, by - 0.7 * n, bx + 22 * n, by + 0.7 * n),
                                  fill=150)
    img.alpha_composite(solid(size, (220, 240, 255), blur(flare, 1.2 * n)))
    return img


def presenter():
    size = centred_size(INTRO_POS[1])
    img = Image.new("RGBA", size, (0, 0, 0, 0))
    cx = size[0] // 2
    # The label's mark: a quill's nib inside a thin crescent.
    mark = Image.new("L", (28 * 4, 28 * 4), 0)
    d = ImageDraw.Draw(mark)
    d.ellipse((8, 8, 104, 104), outline=255, width=6)
    d.ellipse((30, 2, 116, 92), fill=0)
    d.polygon([(56, 24), (70, 62), (56, 92), (42, 62)], fill=255)
    d.line((56, 58, 56, 90), fill=0, width=4)
    d.ellipse((52, 54, 60, 62), fill=0)
    mark = mark.resize((28, 28), Image.LANCZOS)
    y = 26
    img.alpha_composite(solid(mark.size, EDGE, scale_alpha(blur(mark, 2), 0.9)),
                        dest=(cx - 14, y))
    img.alpha_composite(solid(mark.size, SMALL_WHITE, mark), dest=(cx - 14, y))
    y += 40
    h = put_text(img, tracked_mask(LABEL, font(SERIF, 17), 3), cx, y, SMALL_WHITE,
                 glow=(60, 80, 160))
    y += h + 9
    fade_line(img, cx, y, 70, SMALL_BLUE, 190)
    y += 7
    put_text(img, tracked_mask(LABEL_LINE, font(SANS_LIGHT, 10), 1.5), cx, y,
             SMALL_BLUE)
    return img


def presents():
    size = centred_size(INTRO_POS[2])
    img = Image.new("RGBA", size, (0, 0, 0, 0))
    cx, cy = size[0] // 2, size[1] // 2
    mask = tracked_mask("presents", font(SERIF_ITALIC, 28), 1)
    put_text(img, mask, cx, cy - mask.height // 2 - 2, SMALL_WHITE, glow=(70, 90, 190))
    y = cy + mask.height // 2 + 8
    fade_line(img, cx, y, 60, EDGE, 170)
    for s in (-1, 1):
        x = cx + s * (mask.width // 2 + 14)
        d = ImageDraw.Draw(img)
        d.point((x, cy), fill=SMALL_BLUE + (255,))
        for k in (1,):
            for dx, dy in ((k, 0), (-k, 0), (0, k), (0, -k)):
                d.point((x + dx, cy + dy), fill=SMALL_BLUE + (120,))
    return img


def _scroll(n, width, height):
    """An open scroll of vellum, drawn at n times its size: a pale sheet
    between two rolled ends, with a few lines of faint ink."""
    w, h = width * n, height * n
    img = Image.new("RGBA", (w, h), (0, 0, 0, 0))
    roll = 14 * n
    sheet_top, sheet_bottom = 8 * n, h - 8 * n
    sheet = Image.new("L", (w, h), 0)
    d = ImageDraw.Draw(sheet)
    # The sheet sags a little in the middle, like vellum held open.
    pts_top = [(roll + k * (w - 2 * roll) / 40,
                sheet_top + 5 * n * math.sin(math.pi * k / 40)) for k in range(41)]
    pts_bottom = [(w - roll - k * (w - 2 * roll) / 40,
                   sheet_bottom - 3 * n * math.sin(math.pi * k / 40)) for k in range(41)]
    d.polygon(pts_top + pts_bottom, fill=255)
    body = vertical_gradient((w, h), [(0, VELLUM_LIGHT), (1, VELLUM_DARK)]).convert("RGBA")
    # Light from the eclipse above falls on the upper edge.
    body.alpha_composite(solid((w, h), (215, 235, 255), scale_alpha(
        vertical_gradient((w, h), [(0, (120,) * 3), (0.35, (0,) * 3), (1, (0,) * 3)]).convert("L"), 1)))
    body.putalpha(sheet)
    img.alpha_composite(body)
    ink = Image.new("L", (w, h), 0)
    d = ImageDraw.Draw(ink)
    fnt = font(SERIF_ITALIC, 13 * n)
    lines = ["In the hour of ink and shadow,", "when the sun wears its dark crown,",
             "the night sings and the stars listen."]
    y = sheet_top + 16 * n
    for text in lines:
        tw = fnt.getlength(text)
        d.text(((w - tw) / 2, y), text, font=fnt, fill=170)
        y += 19 * n
    img.alpha_composite(solid((w, h), INK, ink))
    for x0 in (0, w - roll):
        cyl = Image.new("RGBA", (roll, h), (0, 0, 0, 0))
        shade = Image.new("RGB", (roll, 1))
        for k in range(roll):
            t = k / (roll - 1)
            v = 0.55 + 0.45 * math.sin(math.pi * t) ** 0.7
            shade.putpixel((k, 0), mix((40, 28, 20), VELLUM_LIGHT, v))
        shade = shade.resize((roll, h)).convert("RGBA")
        m = Image.new("L", (roll, h), 0)
        ImageDraw.Draw(m).rounded_rectangle((0, 0, roll - 1, h - 1), roll // 2, fill=255)
        shade.putalpha(m)
        cyl.alpha_composite(shade)
        img.alpha_composite(cyl, dest=(x0, 0))
    return img


def emblem():
    size = centred_size(INTRO_POS[3])
    n = 3
    big = (size[0] * n, size[1] * n)
    img = Image.new("RGBA", big, (0, 0, 0, 0))
    cx, cy, r = big[0] // 2, 118 * n, 58 * n
    img.alpha_composite(eclipse(big, cx, cy, r, n))
    scroll = _scroll(n, 270, 104)
    sx, sy = (big[0] - scroll.width) // 2, 214 * n
    shadow = solid(scroll.size, (0, 0, 0), scale_alpha(blur(scroll.getchannel("A"), 6 * n), 0.8))
    img.alpha_composite(shadow, dest=(sx, sy + 4 * n))
    img.alpha_composite(scroll, dest=(sx, sy))
    out = img.resize(size, Image.LANCZOS)
    title = tracked_mask("VELLUMBRA", font(SERIF, 14), 5)
    put_text(out, title, size[0] // 2, 330 - title.height, SMALL_WHITE, glow=(80, 90, 200))
    return out


def music_disk():
    size = centred_size(INTRO_POS[4])
    img = Image.new("RGBA", size, (0, 0, 0, 0))
    cx, cy = size[0] // 2, size[1] // 2
    mask = tracked_mask("a music disk", font(SERIF_ITALIC, 21), 0.5)
    put_text(img, mask, cx, cy - mask.height // 2 - 3, SMALL_WHITE, glow=(70, 90, 190))
    fade_line(img, cx, cy + mask.height // 2 + 6, 50, EDGE, 170)
    return img


# The last three seconds show the credits and the logo together: the logo
# keeps to the upper band of the screen and the credits to the lower one, so
# the title rises above the names instead of crossing them.
FINALE_LOGO_BOTTOM = 232      # screen y the logo's ink stays above
FINALE_CREDITS_TOP = 248      # screen y the credits' ink starts below


def credits():
    # Screen-centred across, but reaching down to the bottom of the screen
    # so the names can sit in its lower part.
    x0, y0 = INTRO_POS[5]
    size = (W - 2 * x0, H - y0)
    img = Image.new("RGBA", size, (0, 0, 0, 0))
    axis = size[0] // 2
    name_font = font(SERIF, 22)
    role_font = font(SANS, 11)
    row_h = 40
    top = FINALE_CREDITS_TOP - y0 + 10
    for k, (role, name) in enumerate(CREDITS):
        y = top + k * row_h
        role_mask = tracked_mask(role, role_font, 3)
        name_mask = tracked_mask(name, name_font, 0.5)
        # Role right-aligned before the axis, name left-aligned after it,
        # both on one baseline-ish centre line.
        mid = y + name_mask.height // 2
        put_text(img, role_mask, axis - 16 - role_mask.width / 2,
                 mid - role_mask.height // 2, SMALL_BLUE)
        put_text(img, name_mask, axis + 16 + name_mask.width / 2, y, SMALL_WHITE,
                 glow=(60, 80, 170))
        d = ImageDraw.Draw(img)
        d.point((axis, mid), fill=EDGE + (255,))
    return img


def logo():
    size = centred_size(INTRO_POS[6])
    w, h = size
    img = Image.new("RGBA", size, (0, 0, 0, 0))
    top = INTRO_POS[6][1]
    # Everything of the logo lives in the picture's upper band; below it the
    # credits are still on screen.
    band = FINALE_LOGO_BOTTOM - top
    fnt = font(SERIF_BOLD, 100)
    mask = tracked_mask("Vellumbra", fnt, 0)
    if mask.width > w - 40:
        mask = mask.resize((w - 40, int(mask.height * (w - 40) / mask.width)), Image.LANCZOS)
    tag = tracked_mask("A MUSIC DISK", font(SANS, 10), 5)
    # Word, flare 10 px under it, tag 7 px under the flare: stack them from
    # the band's bottom up.
    tag_top = band - 4 - tag.height
    fy = tag_top - 7
    y = fy - 10 - mask.height
    cx, cy = w // 2, y + mask.height // 2
    # An eclipse ring behind the word ties the logo to the emblem; it rises
    # out of the flare line under the word and fades out below it.
    r = min(cy - 6, 64)
    ring = Image.new("L", (w * 4, h * 4), 0)
    ImageDraw.Draw(ring).ellipse(((cx - r) * 4, (cy - r) * 4, (cx + r) * 4,
                                  (cy + r) * 4), outline=255, width=8)
    ring = ring.resize(size, Image.BOX)
    fade = vertical_gradient(size, [(0.0, (255,) * 3), ((fy - 14) / h, (255,) * 3),
                                    ((fy + 2) / h, (0,) * 3), (1.0, (0,) * 3)]).convert("L")
    ring = ImageChops.multiply(ring, fade)
    img.alpha_composite(solid(size, VIOLET, scale_alpha(blur(ring, 10), 1.6)))
    img.alpha_composite(solid(size, (120, 200, 255), scale_alpha(blur(ring, 3), 1.0)))
    img.alpha_composite(solid(size, (225, 245, 255), scale_alpha(ring, 0.8)))
    x = (w - mask.width) // 2
    shadow = Image.new("L", size, 0)
    shadow.paste(mask, (x, y))
    img.alpha_composite(solid(size, (0, 0, 0), scale_alpha(blur(shadow, 5), 1.4)))
    img.alpha_composite(solid(size, (70, 60, 200), scale_alpha(blur(shadow, 10), 0.8)))
    edge = blur(shadow, 1.2)
    img.alpha_composite(solid(size, (11, 53, 80), scale_alpha(edge, 2.5)))
    fill = vertical_gradient(mask.size, [(0.0, (255, 255, 255)), (0.35, (190, 240, 255)),
                                         (0.7, (120, 170, 255)), (1.0, (170, 120, 255))])
    fill = fill.convert("RGBA")
    fill.putalpha(mask)
    img.alpha_composite(fill, dest=(x, y))
    # A thin light line across, like the eclipse's flare.
    flare = Image.new("L", size, 0)
    fp = flare.load()
    half = w // 2 - 30
    for k in range(-half, half + 1):
        fp[cx + k, fy] = int(255 * (1 - abs(k) / half) ** 1.3)
    img.alpha_composite(solid(size, (120, 200, 255), scale_alpha(blur(flare, 2), 3.0)))
    img.alpha_composite(solid(size, (225, 245, 255), flare))
    put_text(img, tag, cx, tag_top, (200, 225, 255), halo=1.0)
    return img


def picture(n):
    builders = {1: presenter, 2: presents, 3: emblem, 4: music_disk,
                5: credits, 6: logo}
    return zero_transparent(builders[n]())
