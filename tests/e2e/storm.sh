#!/bin/sh
# Input storm: the real program under Xvfb takes random key releases of the
# seven transport keys, pointer moves, presses, releases, wheel steps and
# scale drags over and between the controls, from the intro into the player
# phase, with a music folder that mixes good tracks with mono, 48 kHz,
# corrupt, cut, empty and oddly named files. Every few seconds: the program
# is alive, its frames keep changing, its resident memory and thread count
# stay flat through the player phase. At the end Escape must exit with
# status 0, no sanitizer may have reported, and every line it printed must be
# one of its own whole diagnostics.
#
# STORM_SECONDS (default 90) sets the length, STORM_SEED the random input
# (printed, so a failing storm can be replayed), DISKPLAYER_PROGRAM another
# build of the program (a ThreadSanitizer one, say; tests/tsan.supp is used),
# STORM_RSS_SLACK_KB the allowed RSS growth (default 6144).
# Usage: sh storm.sh <disk dir> <build dir>
here=$(cd "$(dirname "$0")" && pwd)
. "$here/common.inc"

seconds=${STORM_SECONDS:-90}
seed=${STORM_SEED:-$(date +%s)}
slack=${STORM_RSS_SLACK_KB:-6144}
python=/usr/bin/python3
[ -x "$python" ] || python=python3
echo "storm: $seconds s, seed $seed"

make_disk
[ -n "${DISKPLAYER_PROGRAM:-}" ] && cp "$DISKPLAYER_PROGRAM" "$work/disk/diskplayer"

# The music folder.
music=$work/disk/music
tone() {  # name seconds rate channels [oggenc options]
    name=$1 length=$2 rate=$3 channels=$4
    shift 4
    sox -n -r "$rate" -c "$channels" -b 16 "$work/tone.wav" synth "$length" sine 220 sine 330 vol 0.4
    oggenc -Q -q 0 "$@" -o "$music/$name" "$work/tone.wav"
}
long_comment=$("$python" -c 'print(("storm comment " * 8000)[:100000])')
tone "01 good.ogg" 7 44100 2 -a "Storm Artist" -t "First" -c "COMMENT=$long_comment"
tone "02 mono.ogg" 3 44100 1
tone "03 rate 48k.ogg" 3 48000 2
tone "04 good with  spaces.oga" 6 44100 2 -t "Second" -c "COMMENT=short"
"$python" - "$music" <<'PY'
import random, sys
music = sys.argv[1]
good = open(music + "/01 good.ogg", "rb").read()
rng = random.Random(7)
# Bytes that are no Ogg at all, an Ogg stream with its middle overwritten,
# one cut in the middle, an empty file, a non-UTF-8 and a very long name.
open(music + "/05 noise.ogg", "wb").write(bytes(rng.randrange(256) for _ in range(30000)))
middle = len(good) // 2
open(music + "/06 damaged.ogg", "wb").write(
    good[:middle] + bytes(rng.randrange(256) for _ in range(4000)) + good[middle + 4000:])
open(music + "/07 cut.ogg", "wb").write(good[:middle])
open(music + "/08 empty.ogg", "wb").close()
open((music + "/09 \xff\xfe latin1 \xe9.ogg").encode("latin-1"), "wb").write(good)
open(music + "/10 " + "long" * 60 + ".ogg", "wb").write(good)
PY
[ -f "$music/01 good.ogg" ] && [ -f "$music/10 $(printf 'long%.0s' $(seq 60)).ogg" ] ||
    { fail "could not make the music folder"; finish; }

export TSAN_OPTIONS="suppressions=$here/../tsan.supp print_suppressions=0 log_path=$work/sanitizer second_deadlock_stack=1"
export ASAN_OPTIONS="log_path=$work/sanitizer"
export LSAN_OPTIONS="suppressions=$here/../lsan.supp print_suppressions=0"
export UBSAN_OPTIONS="log_path=$work/sanitizer print_stacktrace=1"

start_program
wid=$(find_window)
if [ -z "$wid" ]; then
    fail "no window"
    finish
fi
program_pid=$(ps -o pid= --ppid "$(cat "$work/pid")" | tr -d ' ' | head -n 1)
xdotool windowfocus --sync "$wid"
started=$(now_ms)

rss() { sed -n 's/^VmRSS:[[:space:]]*\([0-9]*\) kB/\1/p' "/proc/$program_pid/status" 2>/dev/null; }
threads() { ls "/proc/$program_pid/task" 2>/dev/null | wc -l; }

# Four screenshots a quarter second apart: the intro's star burst, the
# twinkling stars and the scroller all move, so a live program never shows
# the same picture four times.
frames_change() {
    for i in 1 2 3 4; do
        import -window "$wid" rgb:- 2>/dev/null | md5sum
        sleep 0.25
    done | sort -u | wc -l
}

first_rss=""
first_threads=""
chunk=0
while :; do
    elapsed=$(( ($(now_ms) - started) / 1000 ))
    [ "$elapsed" -ge "$seconds" ] && break
    chunk=$((chunk + 1))
    "$python" "$here/storm_driver.py" "$wid" "$((seed + chunk))" 8 | xdotool - 2>>"$work/xdotool.log"
    # Once in the player phase: 2000 next presses in a burst, each a track
    # change that rewrites the info box and the scroller text while frames
    # are drawn from them.
    if [ -z "${burst_done:-}" ] && [ $(( ($(now_ms) - started) / 1000 )) -ge 45 ]; then
        xdotool key --delay 1 --repeat 2000 Return
        burst_done=1
    fi
    elapsed=$(( ($(now_ms) - started) / 1000 ))
    if [ -f "$work/status" ]; then
        fail "the program ended during the storm with status $(cat "$work/status")"
        finish
    fi
    distinct=$(frames_change)
    [ "$distinct" -ge 2 ] || fail "frames stopped changing after $elapsed s"
    r=$(rss)
    t=$(threads)
    echo "storm: ${elapsed} s: RSS $r KiB, $t threads, $distinct distinct frames of 4"
    # Flat from the first sample of the player phase on (the intro ends at 37 s).
    if [ "$elapsed" -ge 45 ]; then
        if [ -z "$first_rss" ]; then
            first_rss=$r
            first_threads=$t
        else
            [ "$r" -le $((first_rss + slack)) ] || fail "RSS grew from $first_rss to $r KiB"
            [ "$t" -le $((first_threads + 2)) ] || fail "threads grew from $first_threads to $t"
        fi
    fi
done
[ -n "$first_rss" ] || echo "storm: too short to sample the player phase"

xdotool windowfocus --sync "$wid" key Escape
status=$(wait_exit 15)
[ "$status" = "0" ] || fail "Escape after the storm ended the program with status '$status'"

check_sanitizer_logs
# Every line is one whole diagnostic of the program's own.
check_output_lines '^(buffer size: [0-9]+ \([0-9]+ ms\)|(cant open|not stereo|samplerate not 44100|failed to open:) .*/music/.*|vorbis fuckup|nothing to play)$'
LC_ALL=C grep -q '^not stereo .*/02 mono.ogg$' "$work/out.txt" || echo "storm: the mono track was never reached"
finish
