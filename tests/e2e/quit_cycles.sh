#!/bin/sh
# Start and quit, over and over: Escape at random moments of the intro with
# music playing, right after a next press (a track change under way), and
# once in the player phase. Every run must end with status 0 within 5 s.
# The player-phase run also clicks the position scale's last pixel while a
# track plays: its recorded sound must go on with the next track at once,
# not start the clicked one again.
# With a sanitizer build in DISKPLAYER_PROGRAM every exit is also checked
# for reports, leaks at exit included (none are suppressed).
# QUIT_CYCLES (default 20) sets the number of intro runs; QUIT_SEED the
# random moments (printed).
# Usage: sh quit_cycles.sh <disk dir> <build dir>
here=$(cd "$(dirname "$0")" && pwd)
. "$here/common.inc"

cycles=${QUIT_CYCLES:-20}
seed=${QUIT_SEED:-$(date +%s)}
echo "quit cycles: $cycles, seed $seed"

make_disk
[ -n "${DISKPLAYER_PROGRAM:-}" ] && cp "$DISKPLAYER_PROGRAM" "$work/disk/diskplayer"
# 132301 frames: the float nearest the length lies below it, so a seek to the
# whole length is one the library makes (it refuses one at or past the end).
for n in 1 2; do
    sox -n -r 44100 -c 2 -b 16 "$work/tone.wav" synth 132301s sine $((300 * n)) vol 0.3
    oggenc -Q -q 0 -t "Track $n" -c "COMMENT=quit cycle track $n" -o "$work/disk/music/$n.ogg" "$work/tone.wav"
done

export ASAN_OPTIONS="log_path=$work/sanitizer detect_leaks=1"
export LSAN_OPTIONS="suppressions=$here/../lsan.supp print_suppressions=0"
export UBSAN_OPTIONS="log_path=$work/sanitizer print_stacktrace=1"
export TSAN_OPTIONS="log_path=$work/sanitizer suppressions=$here/../tsan.supp print_suppressions=0"

# One run: start, wait $1 ms, press next if $2 is 1, then Escape.
run_once() {
    start_program
    wid=$(find_window)
    if [ -z "$wid" ]; then
        # On a loaded machine a start can miss the window's deadline; a
        # program that never opens one fails the second try as well.
        echo "run $3: no window yet; program output:"
        cat "$work/out.txt"
        kill "$(ps -o pid= --ppid "$(cat "$work/pid")" | tr -d ' ')" 2>/dev/null
        wait_exit 5 >/dev/null
        start_program
        wid=$(find_window)
    fi
    if [ -z "$wid" ]; then
        fail "run $3: no window"
        cat "$work/out.txt"
        return
    fi
    xdotool windowfocus --sync "$wid"
    sleep "$(awk "BEGIN { print $1 / 1000 }")"
    [ "$2" = 1 ] && xdotool key Return
    xdotool key Escape
    status=$(wait_exit 5)
    [ "$status" = "0" ] || fail "run $3 (Escape after $1 ms, next: $2) ended with status '$status'"
    if [ -z "$status" ]; then
        kill -KILL "$(ps -o pid= --ppid "$(cat "$work/pid")" | tr -d ' ')" 2>/dev/null
        wait_exit 5 >/dev/null
    fi
}

# The player phase, with the sound recorded in about real time. The tracks
# played in the intro, so the first is loaded again: Space starts it, a
# click on the scale's last pixel seeks to its end, and the second track
# (600 Hz) must follow within a second and a half. Then next and Escape.
run_player() {
    AUDIO_DRIVER=disk SDL_DISKAUDIOFILE="$work/player.pcm" SDL_DISKAUDIODELAY=23 start_program
    wid=$(find_window)
    if [ -z "$wid" ]; then
        fail "player run: no window"
        return
    fi
    xdotool windowfocus --sync "$wid"
    sleep 39
    xdotool key space sleep 0.5 mousemove --window "$wid" 345 27 click 1 sleep 1.5 key Return key Escape
    status=$(wait_exit 5)
    [ "$status" = "0" ] || fail "player run ended with status '$status'"
    python3 - "$work/player.pcm" <<'PY' || fail "player run: the click at the scale's end did not go on to the next track"
import array, sys
pcm = array.array("h", open(sys.argv[1], "rb").read())
frames = 1024
buffers = [pcm[i:i + 2 * frames] for i in range(0, len(pcm) - 2 * frames + 1, 2 * frames)]
# The long silence between the intro's tracks and Space; the sound after it.
silent = [not any(b) for b in buffers]
start = max(i for i in range(len(buffers) - 100) if all(silent[i:i + 100])) + 100
def crossings(b):
    left = b[0::2]
    return sum((left[i] < 0) != (left[i + 1] < 0) for i in range(len(left) - 1))
loud = [crossings(b) for b in buffers[start:] if max(abs(v) for v in b) > 5000]
# 300 Hz crosses zero about 14 times a buffer, 600 Hz about 28.
sys.exit(0 if any(c > 21 for c in loud) else 1)
PY
}

i=0
awk -v seed="$seed" -v n="$cycles" 'BEGIN { srand(seed); for (i = 0; i < n; i++) print int(rand() * 2500), int(rand() * 2) }' >"$work/moments"
while read -r delay next; do
    i=$((i + 1))
    run_once "$delay" "$next" "$i"
done <"$work/moments"
# The player phase begins 37 s in.
run_player

check_sanitizer_logs
finish
