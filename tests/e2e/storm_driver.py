# Writes an xdotool script of random input for the storm: releases of the
# seven transport keys (never Escape), pointer moves over, between and
# beside the controls, presses and releases of every button, wheel steps,
# and drags along the position scale. Deterministic for a given seed.
# Usage: python3 storm_driver.py <window id> <seed> <seconds>
import random
import sys

window, seed, seconds = sys.argv[1], int(sys.argv[2]), float(sys.argv[3])
rng = random.Random(seed)

keys = ["BackSpace", "Up", "Left", "Return", "Down", "Right", "space"]
# Controls of the player screen as (x, y, w, h).
controls = {
    "scale": (240, 20, 106, 15),
    "previous": (239, 44, 27, 15),
    "play": (271, 44, 44, 15),
    "next": (320, 44, 27, 15),
}


def point_in(rect, margin=0):
    x, y, w, h = rect
    return (rng.randint(x - margin, x + w - 1 + margin), rng.randint(y - margin, y + h - 1 + margin))


def anywhere():
    return rng.randint(0, 639), rng.randint(0, 399)


def target():
    roll = rng.random()
    if roll < 0.6:
        # On a control, or up to 3 px off its edge: the borders are where
        # off-by-one faults live.
        return point_in(rng.choice(list(controls.values())), margin=3)
    if roll < 0.8:
        return rng.randint(230, 360), rng.randint(10, 70)  # between the controls
    return anywhere()


lines = []
elapsed = 0.0


def pause(s):
    global elapsed
    lines.append("sleep %.3f" % s)
    elapsed += s


def move(x, y):
    lines.append("mousemove --window %s %d %d" % (window, x, y))


while elapsed < seconds:
    roll = rng.random()
    if roll < 0.25:
        lines.append("key %s" % rng.choice(keys))
    elif roll < 0.55:
        move(*target())
    elif roll < 0.80:
        button = rng.choice([1, 1, 1, 2, 3])
        move(*target())
        lines.append("mousedown %d" % button)
        if rng.random() < 0.5:
            pause(rng.uniform(0.0, 0.08))
            move(*target())
        lines.append("mouseup %d" % button)
    elif roll < 0.88:
        move(*target())
        lines.append("click %d" % rng.choice([4, 5]))  # wheel steps count as clicks
    else:
        # A drag on the scale: press on it, wander along (and off) it,
        # release on it or elsewhere.
        x, y, w, h = controls["scale"]
        move(*point_in(controls["scale"]))
        lines.append("mousedown 1")
        for _ in range(rng.randint(2, 10)):
            move(rng.randint(x - 30, x + w + 30), rng.randint(y - 10, y + h + 10))
            pause(rng.uniform(0.005, 0.04))
        move(*(point_in(controls["scale"]) if rng.random() < 0.7 else anywhere()))
        lines.append("mouseup 1")
    pause(rng.uniform(0.005, 0.06))

print("\n".join(lines))
