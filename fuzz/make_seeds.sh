#!/bin/sh
# Writes the seed corpora of the fuzz targets into fuzz/corpus/. The seeds
# are committed; rerun this only to change them. Needs Debian's python3 with PIL, sox
# and oggenc (all installed by scripts/install-deps), and the demo music of
# a built disk (build/disk/music, or the folder given as the first argument).
# Inputs the fuzzers found (fuzz/corpus/vorbis/failed_seek.ogg and
# fuzz/regressions/) are left alone.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
repo=$(dirname "$here")
out=$here/corpus
music=${1:-$repo/build/disk/music}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
rm -rf "$out/resources" "$out/font" "$out/blit"
find "$out/vorbis" -name '*.ogg' ! -name failed_seek.ogg -delete 2>/dev/null || true
mkdir -p "$out/resources" "$out/font" "$out/vorbis" "$out/blit"

"${PYTHON:-/usr/bin/python3}" - "$repo" "$out" <<'PY'
import io, struct, sys, zlib
from PIL import Image
repo, out = sys.argv[1], sys.argv[2]

def chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

def png(w, h, depth=8, colour=6, rows=b""):
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, depth, colour, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))

def pil(image, **kw):
    buf = io.BytesIO(); image.save(buf, "PNG", **kw); return buf.getvalue()

def put(folder, name, data):
    open("%s/%s/%s" % (out, folder, name), "wb").write(data)

# Resource bytes (mode byte 1): a shipped spectrum light, small pictures of
# other colour types, a header that claims 65535 x 65535, a valid picture
# wider than SDL allows, and bytes that are no PNG at all.
put("resources", "spec01", b"\x01" + open(repo + "/res/spec01.png", "rb").read())
put("resources", "rgba", b"\x01" + pil(Image.new("RGBA", (5, 3), (10, 200, 30, 128))))
put("resources", "palette", b"\x01" + pil(Image.new("P", (7, 2), 3)))
put("resources", "grey16", b"\x01" + pil(Image.new("I;16", (3, 3), 700)))
put("resources", "huge_header", b"\x01" + png(65535, 65535, rows=b"\0" * 64))
put("resources", "too_wide", b"\x01" + png(20000, 1, rows=b"\0" + b"\0" * 80000))
put("resources", "not_png", b"\x01GIF89a\x01\x00\x01\x00")
# Whole data files (mode byte 0, then the entry to pick): the shipped header
# and the start of the first picture, an empty file, a wrong id, and (mode
# byte 2: right id patched in) a file cut inside the first picture.
put("resources", "empty_file", b"\x00\x00")
put("resources", "wrong_id", b"\x00\x07" + b"\x01\x02\x03\x04" + b"\0" * 80)
put("resources", "cut_file", b"\x02\x00" + b"\0" * 79 + open(repo + "/res/spec01.png", "rb").read()[:100])

# Fonts: width, height, depth pick, marker bits, glyph pattern, target
# size, line width, margin, top, text.
def font(w, h, depth, markers, target, max_width, margin, top, text):
    bits = bytearray((w + 7) // 8)
    for m in markers:
        bits[m // 8] |= 1 << (m % 8)
    return (bytes([w, h, depth]) + bytes(bits) + bytes(range(40, 48)) + bytes(target)
            + struct.pack("<h", max_width) + struct.pack("<b", margin) + struct.pack("<h", top)
            + text)
put("font", "words", font(60, 9, 0, [5, 9, 15, 20, 26, 31, 40, 44, 50], (64, 40), 30, 2, 0,
                          b"ab cd\nefgh ij  klmnop"))
put("font", "no_markers", font(10, 1, 0, [], (20, 10), 8, 0, 0, b"abc"))
put("font", "empty_picture", font(0, 0, 0, [], (20, 10), 8, 0, 0, b"abc"))
put("font", "long_word", font(40, 12, 0, list(range(2, 40, 3)), (30, 60), 12, 0, -4,
                              b"abcdefghij\n\n klm\x80\xff\t"))
put("font", "deep24", font(30, 5, 230, [4, 8, 20], (16, 16), 100, 50, 3, b"x y z"))

# Blits: two surface headers (size, depth pick, pixel seed), flags, clip,
# source and destination rectangles, global alpha, alpha factor.
def blit(sw, sh, dw, dh, flags, clip, srect, drect, g, factor, depth=(0, 0)):
    s = bytes([sw, sh, depth[0]]) + bytes(range(1, 8)) + bytes([dw, dh, depth[1]]) + bytes(range(90, 97))
    s += bytes([flags]) + struct.pack("<hhBB", *clip)
    s += struct.pack("<hhhh", *srect) + struct.pack("<hhhh", *drect)
    return s + bytes([g, factor])
put("blit", "whole", blit(9, 5, 20, 10, 0, (0, 0, 0, 0), (0, 0, 0, 0), (0, 0, 0, 0), 255, 128))
put("blit", "clipped_left", blit(20, 4, 30, 6, 3, (0, 0, 0, 0), (-5, 0, 20, 4), (10, 1, 0, 0), 128, 0))
put("blit", "off_edge", blit(17, 7, 16, 8, 7, (3, 2, 9, 5), (2, 1, 60, 60), (-4, -3, 0, 0), 77, 1))
put("blit", "deep24", blit(8, 8, 8, 8, 11, (0, 0, 0, 0), (0, 0, 8, 8), (0, 0, 0, 0), 200, 50, (0, 244)))
PY

# Tracks made from synthesised tones: stereo 44100 Hz with tags (one of them
# cut in the middle), mono, 48000 Hz, and a lone header page.
tone() { sox -n -r "$1" -c "$2" -b 16 "$tmp/$3.wav" synth 0.25 sine 440 sine 660 vol 0.5; }
tone 44100 2 good
tone 44100 1 mono
tone 48000 2 rate48k
oggenc -Q -q -1 -a Artist -t Title -c "COMMENT=a comment" -c "title=lower" -c "ARTIST=" \
    -o "$out/vorbis/good.ogg" "$tmp/good.wav"
oggenc -Q -q -1 -o "$out/vorbis/mono.ogg" "$tmp/mono.wav"
oggenc -Q -q -1 -o "$out/vorbis/rate48k.ogg" "$tmp/rate48k.wav"
size=$(wc -c <"$out/vorbis/good.ogg")
head -c $((size * 2 / 3)) "$out/vorbis/good.ogg" >"$out/vorbis/cut.ogg"
head -c 200 "$out/vorbis/good.ogg" >"$out/vorbis/header_only.ogg"

# Real tracks as encoders write them, for the damage a copy or a download
# does in the middle of a file: oggenc at its lowest, middle and highest
# qualities over 5 to 30 s of two tones with a little noise (noise is what
# makes the files big), two streams chained in one file, tags of 20 KB.
# Fixed serial numbers, so a rerun writes the same bytes.
music_tone() {  # name seconds low high
    sox -n -r 44100 -c 2 -b 16 "$tmp/s.wav" synth "$2" sine "$3" sine "$4" tremolo 1.5 50 vol 0.4
    sox -n -r 44100 -c 2 -b 16 "$tmp/n.wav" synth "$2" pinknoise vol 0.01
    sox -m "$tmp/s.wav" "$tmp/n.wav" "$tmp/$1.wav" fade 0.05 "$2" 0.5
}
music_tone t30 30 220 330
music_tone t10 10 196 294
music_tone t5 5 262 392
sox -n -r 44100 -c 2 -b 16 "$tmp/t5low.wav" synth 5 sine 110 sine 165 tremolo 2 40 vol 0.4
oggenc -Q -q -1 -s 11 -a diskplayer -t "thirty seconds at the lowest quality" \
    -o "$out/vorbis/q-1_30s.ogg" "$tmp/t30.wav"
oggenc -Q -q 2 -s 12 -o "$out/vorbis/q2_10s.ogg" "$tmp/t10.wav"
oggenc -Q -q 5 -s 13 -o "$out/vorbis/q5_5s.ogg" "$tmp/t5.wav"
oggenc -Q -q 10 -s 14 -o "$out/vorbis/q10_5s.ogg" "$tmp/t5low.wav"
oggenc -Q -q 0 -s 15 -o "$tmp/first.ogg" "$tmp/t5.wav"
oggenc -Q -q 4 -s 16 -o "$tmp/second.ogg" "$tmp/t5low.wav"
cat "$tmp/first.ogg" "$tmp/second.ogg" >"$out/vorbis/chained.ogg"
big=$(head -c 20000 /dev/zero | tr '\0' x)
oggenc -Q -q 0 -s 17 -t "big tags" -a "$big" -c "COMMENT=$big" -o "$out/vorbis/big_tags_5s.ogg" "$tmp/t5.wav"

# The first seconds of each demo track, as the disk's own encoder wrote them:
# whole pages up to 8 s of sound, the last one marked as the stream's end
# and its checksum put right.
if [ -d "$music" ]; then
    "${PYTHON:-/usr/bin/python3}" - "$music" "$out/vorbis" <<'PY'
import glob, os, struct, sys
music, out = sys.argv[1], sys.argv[2]
table = []
for i in range(256):
    r = i << 24
    for _ in range(8):
        r = ((r << 1) ^ 0x04C11DB7) if r & 0x80000000 else r << 1
    table.append(r & 0xFFFFFFFF)
def crc(data):
    r = 0
    for b in data:
        r = ((r << 8) & 0xFFFFFFFF) ^ table[(r >> 24) ^ b]
    return r
for n, path in enumerate(sorted(glob.glob(music + "/*.ogg")), 1):
    data = open(path, "rb").read()
    at, pages = 0, []
    while at + 27 <= len(data):
        segments = data[at + 26]
        size = 27 + segments + sum(data[at + 27:at + 27 + segments])
        page = bytearray(data[at:at + size])
        pages.append(page)
        at += size
        if struct.unpack_from("<q", page, 6)[0] >= 8 * 44100:
            break
    last = pages[-1]
    last[5] |= 4
    last[22:26] = b"\0\0\0\0"
    last[22:26] = struct.pack("<I", crc(last))
    open("%s/demo%d_8s.ogg" % (out, n), "wb").write(b"".join(pages))
PY
else
    echo "no demo music in $music: build the disk first (make build)" >&2
    exit 1
fi
du -sh "$out"
