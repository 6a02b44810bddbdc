#!/bin/sh
# A damaged track between two good ones, sought in from the player screen,
# and then a file on which the library's own seek once took the player down.
# The damaged track's first seconds are whole; further in, bytes are
# overwritten, inserted and removed, as a bad copy or download leaves them.
# It plays into its first hole at once (vorbis fuckup, the next track
# follows, the list stops); then the listener selects it, starts it and,
# on the player screen, clicks the position scale at several places:
# before the damage, between the holes, just past one, past all of it and
# near the end. The program must keep running and drawing, the good tracks
# must play exactly as decoded every time they play (recorded with SDL's
# disk audio driver), and Escape must exit 0 with only the program's own
# diagnostics printed. About 55 s: the scale answers only after the intro.
# The holes are met once, on the first pass: exactly one vorbis fuckup.
# Usage: sh damaged_seek.sh <disk dir> <build dir>
here=$(cd "$(dirname "$0")" && pwd)
. "$here/common.inc"

python=/usr/bin/python3
[ -x "$python" ] || python=python3
make_disk
[ -n "${DISKPLAYER_PROGRAM:-}" ] && cp "$DISKPLAYER_PROGRAM" "$work/disk/diskplayer"
music=$work/disk/music
tone() {  # file seconds low high
    sox -n -r 44100 -c 2 -b 16 "$work/tone.wav" synth "$2" sine "$3" sine "$4" tremolo 2 40 vol 0.4
    oggenc -Q -q 0 -o "$1" "$work/tone.wav"
    oggdec -Q -R -o "$1.pcm" "$1"
}
tone "$work/first.ogg" 2 220 330
tone "$work/last.ogg" 2 262 392
tone "$work/whole.ogg" 30 196 294
cp "$work/first.ogg" "$music/01 good.ogg"
cp "$work/last.ogg" "$music/03 good.ogg"
# A file on which the library's own seek once crashed (found by fuzzing):
# 1.4 s of sound that decode, then damage the decoder takes for the end.
cp "$here/../../fuzz/regressions/vorbis/lap_seek_negative_memmove_1.ogg" "$music/04 crashed a seek.ogg"
oggdec -Q -R -o "$work/crashed.pcm" "$music/04 crashed a seek.ogg"
"$python" - "$work/whole.ogg" "$music/02 damaged.ogg" <<'PY'
import sys
data = bytearray(open(sys.argv[1], "rb").read())
n = len(data)
# From the end backwards, so the earlier offsets stay where they were.
del data[n * 7 // 10:n * 7 // 10 + 7]
data[n * 5 // 10:n * 5 // 10] = b"\x00\xffjunk"
data[n * 3 // 10:n * 3 // 10 + 6] = b"\x5a" * 6
open(sys.argv[2], "wb").write(data)
PY

export ASAN_OPTIONS="log_path=$work/sanitizer"
export LSAN_OPTIONS="suppressions=$here/../lsan.supp print_suppressions=0"
export UBSAN_OPTIONS="log_path=$work/sanitizer print_stacktrace=1"
export TSAN_OPTIONS="log_path=$work/sanitizer suppressions=$here/../tsan.supp print_suppressions=0"
# About real time: one 1024-frame buffer written every 23 ms.
export SDL_DISKAUDIOFILE=$work/out.pcm SDL_DISKAUDIODELAY=23
AUDIO_DRIVER=disk start_program
wid=$(find_window)
if [ -z "$wid" ]; then
    fail "no window"
    finish
fi
started=$(now_ms)
wait_until() {  # seconds after the window appeared
    while [ $(( $(now_ms) - started )) -lt $(( $1 * 1000 )) ]; do sleep 0.1; done
}
alive() {
    [ ! -f "$work/status" ] || { fail "the program ended ($1) with status $(cat "$work/status")"; finish; }
}

# By now the first pass is over: first track, the damaged one up to its
# first hole, the last track, then the stop with the first track loaded.
# Started now, the damaged track is still before its first hole (7 s in)
# when the player screen comes.
wait_until 34
alive "on the first pass"
grep -q "^vorbis fuckup$" "$work/out.txt" || fail "the first hole was not reported"
xdotool windowfocus --sync "$wid" key Return
sleep 0.3
xdotool key space
# The scale answers from the player screen on (the intro ends at 37 s).
# The holes lie near 7, 14 and 21 s of the 30; each click's sound plays for
# under a second, so none runs into a hole: before the damage, between
# holes, just past one, past all of it, back, and near the end.
wait_until 38
# Scale: x 240 to 346, knob 8 wide; x = 244 + 98 * fraction.
for fraction in 0.1 0.38 0.55 0.8 0.15 0.6 0.97; do
    x=$(awk "BEGIN { print int(244 + 98 * $fraction) }")
    xdotool mousemove --window "$wid" "$x" 27 click 1
    sleep 0.7
    alive "after a click at $fraction of the scale"
done
# The last seek leaves under a second; then the last track plays and the
# list stops. Previous from the first track goes to the last one: the file
# that crashed a seek; two seeks there reach where nothing more decodes,
# which ends it, and the list stops again.
sleep 3.6
# One chain of input, so the first click comes while the 1.4 s of sound
# still play (a seek the track's end overtakes is dropped).
xdotool key Left sleep 0.2 key space sleep 0.1 \
    mousemove --window "$wid" "$(awk 'BEGIN { print int(244 + 98 * 0.15) }')" 27 click 1 sleep 0.6 \
    mousemove --window "$wid" "$(awk 'BEGIN { print int(244 + 98 * 0.9) }')" 27 click 1
sleep 0.6
alive "after the seeks"
a=$(import -window "$wid" rgb:- 2>/dev/null | md5sum)
sleep 0.3
b=$(import -window "$wid" rgb:- 2>/dev/null | md5sum)
[ "$a" != "$b" ] || fail "frames stopped changing"

[ "$(grep -c '^vorbis fuckup$' "$work/out.txt")" = 1 ] || fail "a seek ran into a hole or reported one"
xdotool windowfocus --sync "$wid" key Escape
status=$(wait_exit 15)
[ "$status" = "0" ] || fail "Escape ended the program with status '$status'"

check_sanitizer_logs
# (SDL's disk driver announces itself on stderr.)
check_output_lines '^(buffer size: [0-9]+ \([0-9]+ ms\)|vorbis fuckup|WARNING: You are using the SDL disk writer audio driver!| Writing to file .*)$'

# Each good track starts on a buffer boundary at full level; every time it
# plays, its sound is exactly the decoded one.
"$python" - "$work" <<'PY' || fail "the good tracks did not play exactly"
import sys
work = sys.argv[1]
data = open(work + "/out.pcm", "rb").read()
def count(pcm):
    found, at = 0, data.find(pcm)
    while at >= 0:
        found += at % 4096 == 0
        at = data.find(pcm, at + 1)
    return found
first = open(work + "/first.ogg.pcm", "rb").read()
last = open(work + "/last.ogg.pcm", "rb").read()
played = (count(first), count(last))
print("good tracks played exactly: first %d times, last %d times" % played)
sys.exit(0 if played[0] >= 1 and played[1] >= 2 else 1)
PY
# The file that crashed a seek did play (its first 0.2 s, before the first
# click), after the last track's second play.
"$python" - "$work" <<'PY' || fail "the file that crashed a seek never played, so it was not sought in"
import sys
work = sys.argv[1]
data = open(work + "/out.pcm", "rb").read()
last = open(work + "/last.ogg.pcm", "rb").read()
start = open(work + "/crashed.pcm", "rb").read()[:35280]
sys.exit(0 if data.find(start, data.rfind(last)) >= 0 else 1)
PY
finish
