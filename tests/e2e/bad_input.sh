#!/bin/sh
# Bad input through the real program, headless: five disks run side by side
# past frame 1300 (the player screen with its star field), then get a close
# request (SIGTERM, which SDL turns into a quit event) and must exit with
# status 0, print exactly their diagnostics, stay under 100 MB and, with a
# sanitizer build in DISKPLAYER_PROGRAM, report nothing.
#   no data file, empty music folder
#   data file with a wrong id, no music folder
#   empty data file, "music" a plain file
#   data file cut inside a spectrum picture; a music folder of bad tracks
#   data file with pictures that lie or overreach; a track with a 1 MB
#     COMMENT among 2000 files
# Usage: sh bad_input.sh <disk dir> <build dir>
set -u
disk=$(cd "$1" && pwd)
build=$(cd "$2" && pwd)
program=${DISKPLAYER_PROGRAM:-$disk/diskplayer}
table=$build/generated/resource_table.cpp
python=/usr/bin/python3
[ -x "$python" ] || python=python3
work=$(mktemp -d /tmp/diskplayer-bad-XXXXXX)
pids=""
cleanup() {
    for pid in $pids; do kill -KILL "$pid" 2>/dev/null; done
    rm -rf "$work"
}
trap cleanup EXIT INT TERM
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
[ -f "$disk/data" ] && [ -f "$table" ] || { echo "FAIL: no data file or table in $disk, $build"; exit 1; }

new_disk() {
    mkdir -p "$work/$1"
    cp "$program" "$work/$1/diskplayer"
}

# 1: nothing at all.
new_disk none
mkdir "$work/none/music"

# 2: wrong id (bytes 01 02 03 04), no music folder.
new_disk wrong_id
cp "$disk/data" "$work/wrong_id/data"
printf '\001\002\003\004' | dd of="$work/wrong_id/data" conv=notrunc status=none

# 3: empty data file; "music" is a file, not a folder.
new_disk empty
: >"$work/empty/data"
echo "not a folder" >"$work/empty/music"

# 4 and 5 need the table's offsets, the resources themselves and tracks.
"$python" - "$disk/data" "$table" "$work" <<'PY' || { echo "FAIL: could not make the data files"; exit 1; }
import io, re, struct, sys, zlib
data_path, table_path, work = sys.argv[1:4]
data = bytearray(open(data_path, "rb").read())
entries = {m.group(3): (int(m.group(1)), int(m.group(2)))
           for m in re.finditer(r'\{(\d+)u, (\d+)u, "([^"]+)"\}', open(table_path).read())}

# 4: cut 10 bytes into spec20: every resource from there on is unreadable.
offset, size = entries["res/spec20.png"]
open(work + "/cut_at_offset", "w").write(str(offset + 10))

def chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

def png(w, h, rows):
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))

def put(name, blob):
    offset, size = entries[name]
    if len(blob) > size:
        sys.exit("%s: %d bytes do not fit the %d of %s" % (name, len(blob), size, name))
    data[offset:offset + size] = blob + b"\0" * (size - len(blob))

# 5: a background and star layers of 800 x 600, larger than the canvas; a
# header that claims 65535 x 65535; a valid picture 20000 pixels wide; and
# bytes that are no PNG where the button skin belongs.
row = b"\0" + b"\x10\x20\x40\xff" * 800
put("res/background.png", png(800, 600, row * 600))
for n in range(1, 6):
    star_row = b"\0" + b"\0\0\0\0" * 799 + b"\xff\xff\xff\xff"
    put("res/stars%d.png" % n, png(800, 600, star_row * 600))
put("res/intro-5.png", png(65535, 65535, b"\0" * 1024))
put("res/intro-6.png", png(20000, 1, b"\0" + b"\x80" * 80000))
put("res/buttons.png", bytes((i * 37) % 256 for i in range(500)))
open(work + "/hostile_data", "wb").write(data)
PY

new_disk cut
head -c "$(cat "$work/cut_at_offset")" "$disk/data" >"$work/cut/data"
music=$work/cut/music
mkdir "$music"
sox -n -r 44100 -c 2 -b 16 "$work/good.wav" synth 4 sine 440 vol 0.3
sox -n -r 44100 -c 1 -b 16 "$work/mono.wav" synth 1 sine 440 vol 0.3
sox -n -r 48000 -c 2 -b 16 "$work/48k.wav" synth 1 sine 440 vol 0.3
oggenc -Q -q 0 -o "$work/good.ogg" "$work/good.wav"
oggenc -Q -q 0 -o "$music/01 mono.ogg" "$work/mono.wav"
oggenc -Q -q 0 -o "$music/02 48 kHz.ogg" "$work/48k.wav"
: >"$music/03 empty.ogg"
head -c 3000 "$work/good.ogg" >"$music/04 cut in the headers.ogg"
head -c 20000 /dev/zero >"$music/05 zeros.oga"
mkfifo "$music/06 fifo.ogg"
cp "$work/good.ogg" "$music/$(printf '07 \377\376 not utf-8.ogg')"

new_disk hostile
cp "$work/hostile_data" "$work/hostile/data"
music=$work/hostile/music
mkdir "$music"
"$python" -c "print('COMMENT=' + ('a megabyte of comment ' * 50000)[:1048576])" >"$work/comment.txt"
cp "$work/good.ogg" "$music/0000 big tag.ogg"
vorbiscomment -w -c "$work/comment.txt" "$music/0000 big tag.ogg"
long=$("$python" -c "print('x' * 240)")
i=1
while [ "$i" -le 2000 ]; do
    ln -s "$work/good.ogg" "$music/$(printf '%04d' "$i") $long.ogg"
    i=$((i + 1))
done

export ASAN_OPTIONS="log_path=$work/sanitizer"
export LSAN_OPTIONS="suppressions=$(cd "$(dirname "$0")/.." && pwd)/lsan.supp print_suppressions=0"
export UBSAN_OPTIONS="log_path=$work/sanitizer print_stacktrace=1"
export TSAN_OPTIONS="log_path=$work/sanitizer suppressions=$(cd "$(dirname "$0")/.." && pwd)/tsan.supp print_suppressions=0"
for name in none wrong_id empty cut hostile; do
    (cd "$work/$name" && SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy exec ./diskplayer >out.txt 2>&1) &
    pids="$pids $!"
    echo "$!" >"$work/$name/pid"
done

# A sanitizer's shadow memory counts too: BAD_INPUT_RSS_LIMIT_KB raises the limit.
rss_limit=${BAD_INPUT_RSS_LIMIT_KB:-102400}
# Frame 1300 comes 43 s after the start; the slowest start is the one that
# decodes the 20000-pixel picture and lists 2000 files.
sleep 48
for name in none wrong_id empty cut hostile; do
    pid=$(cat "$work/$name/pid")
    if ! kill -0 "$pid" 2>/dev/null; then
        fail "$name: the program died before frame 1300"
        continue
    fi
    rss=$(sed -n 's/^VmRSS:[[:space:]]*\([0-9]*\) kB/\1/p' "/proc/$pid/status")
    [ "${rss:-0}" -lt "$rss_limit" ] || fail "$name: $rss KiB resident, more than $rss_limit KiB"
    kill -TERM "$pid"
done
for name in none wrong_id empty cut hostile; do
    pid=$(cat "$work/$name/pid")
    wait "$pid"
    status=$?
    [ "$status" = 0 ] || fail "$name: a close request ended the program with status $status"
done
pids=""

lines() { LC_ALL=C cat "$work/$1/out.txt"; }
expected_id=$("$python" -c "import struct,sys; print(struct.unpack('<i', open(sys.argv[1],'rb').read(4))[0])" "$disk/data")

# No data: one can't-load line per request, nothing else but the empty list.
[ -z "$(lines none | LC_ALL=C grep -v -x -e "can't load: \"data\"" -e 'nothing to play')" ] ||
    fail "none: unexpected lines: $(lines none | head -n 3)"
lines none | grep -q -x "can't load: \"data\"" || fail "none: no can't-load line"
lines none | grep -q -x 'nothing to play' || fail "none: no 'nothing to play'"

# Wrong id: the mismatch once, with the id as a signed decimal; then dlib's
# message for the missing folder, and the empty list.
mismatch="data file id mismatch! this means that either your executable or data file is outdated"
expect_start() {  # name, then the exact first lines
    name=$1
    shift
    n=0
    for want in "$@"; do
        n=$((n + 1))
        got=$(lines "$name" | sed -n "${n}p")
        [ "$got" = "$want" ] || fail "$name: line $n is '$got', expected '$want'"
    done
}
expect_start wrong_id "$mismatch" "data file id: 67305985, expected id:$expected_id"
[ "$(lines wrong_id | grep -c 'mismatch')" = 1 ] || fail "wrong_id: the mismatch is not printed exactly once"
lines wrong_id | sed -n 3p | grep -q '^Unable to find directory ' || fail "wrong_id: no message for the missing folder"
[ "$(lines wrong_id | sed -n '$p')" = "nothing to play" ] || fail "wrong_id: the last line is not 'nothing to play'"
[ "$(lines wrong_id | wc -l)" = 4 ] || fail "wrong_id: more lines than the four expected"

expect_start empty "$mismatch" "data file id: 0, expected id:$expected_id"
[ "$(lines empty | grep -c 'mismatch')" = 1 ] || fail "empty: the mismatch is not printed exactly once"
[ "$(lines empty | sed -n '$p')" = "nothing to play" ] || fail "empty: the last line is not 'nothing to play'"

# Cut file: the cut resource and every later one report an io error; the
# ones before the cut (the background, the intro pictures) load silently.
for name in spec20 spec39 stars1 stars5; do
    lines cut | grep -q -x "io error while reading \"data:res/$name.png\"" || fail "cut: no io error for $name"
done
for name in spec19 background intro-6 font_big_cyan; do
    lines cut | grep -q "res/$name.png" && fail "cut: $name, before the cut, was reported"
done
# The bad tracks: each refusal with its exact reason, the FIFO never listed.
for want in "not stereo $work/cut/music/01 mono.ogg" \
            "failed to open: $work/cut/music/01 mono.ogg"; do
    lines cut | grep -q -x -F "$want" || fail "cut: no line '$want'"
done
lines cut | grep -q 'fifo' && fail "cut: the FIFO was opened"

# Hostile pictures and the megabyte tag: the program ran on; nothing printed
# about the pictures, as undecodable ones are empty pictures, not errors.
[ -z "$(lines hostile | grep -v -e '^buffer size: ')" ] ||
    fail "hostile: unexpected lines: $(lines hostile | grep -v -e '^buffer size: ' | head -n 3)"

# A log that only lists the suppressions used is no report.
if cat "$work"/sanitizer.* 2>/dev/null |
        grep -q -E 'ERROR: [A-Za-z]+Sanitizer|WARNING: ThreadSanitizer|runtime error'; then
    fail "a sanitizer reported:"
    cat "$work"/sanitizer.*
fi
if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "all checks passed"
