#!/usr/bin/env python3
"""Generates every picture of the shipped disk into a folder (normally res/).

    python3 tools/art/make_art.py res          write all 57 resources
    python3 tools/art/make_art.py --check res  verify what the program relies on
    python3 tools/art/make_art.py --preview DIR res   write preview pictures
    python3 tools/art/make_art.py --icon SIDE FILE    the icon at another size

The output is byte-for-byte reproducible: fixed seeds, no time stamps.
"""
import os
import sys

try:
    import PIL  # noqa: F401  (only probing that it is there)
except ImportError:
    # A private Python (pyenv, venv) may shadow the system one that carries
    # Debian's python3-pil; fall back to it rather than fail.
    if os.path.exists("/usr/bin/python3") and sys.executable != "/usr/bin/python3":
        os.execv("/usr/bin/python3", ["/usr/bin/python3"] + sys.argv)
    raise

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import check  # noqa: E402
import controls  # noqa: E402
import fonts  # noqa: E402
import intro  # noqa: E402
import scene  # noqa: E402
import spectrum  # noqa: E402
from base import save_png  # noqa: E402


def build_all():
    """Name -> picture (or bytes for the .ico), in resource table order."""
    out = {}
    painted = scene.Scene()
    out["background.png"] = painted.background()
    out["buttons.png"] = controls.skin_sheet()
    out["font_big_cyan.png"] = fonts.font_big_cyan()
    out["font_small_blue.png"] = fonts.font_small_blue()
    out["font_small_white.png"] = fonts.font_small_white()
    icon = controls.icon()
    out["icon.ico"] = controls.ico_bytes(icon)
    out["icon.png"] = icon
    for n in range(1, 7):
        out["intro-%d.png" % n] = intro.picture(n)
    for i, frame in enumerate(spectrum.frames()):
        out["spec%02d.png" % (i + 1)] = frame
    for i, layer in enumerate(painted.star_layers()):
        out["stars%d.png" % (i + 1)] = layer
    return out


def write_all(folder):
    os.makedirs(folder, exist_ok=True)
    for name, item in build_all().items():
        path = os.path.join(folder, name)
        if isinstance(item, bytes):
            with open(path, "wb") as f:
                f.write(item)
        else:
            save_png(item, path)


def main(argv):
    args = argv[1:]
    if len(args) == 2 and args[0] == "--check":
        problems = check.check(args[1])
        for p in problems:
            print("art check: " + p)
        if not problems:
            print("art check: all resources fine")
        return 1 if problems else 0
    if len(args) == 3 and args[0] == "--preview":
        import preview
        preview.write(args[2], args[1])
        return 0
    if len(args) == 3 and args[0] == "--icon":
        save_png(controls.icon(int(args[1])), args[2])
        return 0
    if len(args) == 1 and not args[0].startswith("-"):
        write_all(args[0])
        return 0
    print(__doc__.strip())
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
