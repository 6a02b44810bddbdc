#!/bin/sh
# The window as a user meets it: size, title, frame, keys and quitting.
. "$(dirname "$0")/common.inc"

make_disk

# Default: 640 x 400, no frame; Escape quits about a third of a second later.
start_program
wid=$(find_window)
if [ -z "$wid" ]; then
    fail "no window titled Vellumbra appeared"
    finish
fi
geometry=$(xwininfo -id "$wid")
echo "$geometry" | grep -q "Width: 640" || fail "window width is not 640"
echo "$geometry" | grep -q "Height: 400" || fail "window height is not 400"
echo "$geometry" | grep -q "Absolute upper-left X:  192" || fail "window is not centred across"
echo "$geometry" | grep -q "Absolute upper-left Y:  184" || fail "window is not centred down"
# SDL asks for a frameless window through the Motif hints when a window
# manager defines them, else (as on a bare X server) marks it transient.
frameless() {
    xprop -id "$1" _MOTIF_WM_HINTS | grep -q "= 0x2, 0x0, 0x0" ||
        xprop -id "$1" WM_TRANSIENT_FOR | grep -q "window id"
}
frameless "$wid" || fail "window has a frame without -b"

xdotool windowfocus --sync "$wid"
xdotool key a Tab F1 KP_Enter
# Held for two seconds: some forty auto-repeats, none of which may count.
xdotool keydown Escape
sleep 2
[ -f "$work/status" ] && fail "a key other than the eight, or Escape held down, ended the program"
before=$(now_ms)
xdotool keyup Escape
status=$(wait_exit 5)
elapsed=$(( $(now_ms) - before ))
[ "$status" = "0" ] || fail "Escape ended the program with status '$status'"
[ "$elapsed" -ge 250 ] || fail "Escape quit after $elapsed ms, before the fade could run"
[ "$elapsed" -le 3000 ] || fail "Escape took $elapsed ms to quit"

# "-b" among other arguments gives a decorated window; a close request quits.
start_program x -b y
wid=$(find_window)
if [ -n "$wid" ]; then
    frameless "$wid" && fail "-b still gives a window without a frame"
    before=$(now_ms)
    "$build/tests/send_close" "$wid"
    status=$(wait_exit 5)
    elapsed=$(( $(now_ms) - before ))
    [ "$status" = "0" ] || fail "closing the window ended the program with status '$status'"
    [ "$elapsed" -ge 250 ] || fail "closing quit after $elapsed ms, before the fade could run"
else
    fail "no window with -b"
fi

# No video mode: one clear line and a failure status, no crash.
rm -f "$work/status"
(cd "$work/disk" && SDL_VIDEODRIVER=bogus SDL_AUDIODRIVER=dummy ./diskplayer >"$work/out.txt" 2>&1
 echo $? >"$work/status")
[ "$(cat "$work/status")" = "1" ] || fail "without a video mode the status is $(cat "$work/status")"
grep -q "^can't set video mode: " "$work/out.txt" || fail "no message when no video mode can be set"

# An icon whose bytes are no picture (the data file's id still matches)
# loads as 0 x 0; set as the icon, X would end the program with BadValue.
icon=$(sed -n 's/.*{\([0-9]*\)u, \([0-9]*\)u, "res\/icon.png"}.*/\1 \2/p' \
    "$build/generated/resource_table.cpp")
python3 - "$work/disk/data" $icon <<'PY'
import sys
path, offset, size = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
data = bytearray(open(path, "rb").read())
data[offset:offset + size] = bytes((i * 37 + 11) % 256 for i in range(size))
open(path, "wb").write(data)
PY
start_program
wid=$(find_window)
if [ -n "$wid" ]; then
    xdotool windowfocus --sync "$wid" key Escape
    status=$(wait_exit 5)
    [ "$status" = "0" ] || fail "with a damaged icon, Escape ended the program with status '$status'"
else
    fail "no window with a damaged icon (status '$(cat "$work/status" 2>/dev/null)')"
fi

# Without a data file the program still runs and quits cleanly.
rm -f "$work/disk/data"
start_program
wid=$(find_window)
if [ -n "$wid" ]; then
    sleep 1
    xdotool windowfocus --sync "$wid" key Escape
    status=$(wait_exit 5)
    [ "$status" = "0" ] || fail "without data, Escape ended the program with status '$status'"
    grep -q "^can't load: \"data\"$" "$work/out.txt" || fail "no can't-load line without data"
else
    fail "no window without a data file"
fi

finish
