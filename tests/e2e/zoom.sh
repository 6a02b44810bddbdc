#!/bin/sh
# The window at a zoom, as a user on a 1920 x 1080 screen meets it: its size
# and place, the picture enlarged pixel for pixel, and the controls answering
# where they are drawn.
E2E_SCREEN=1920x1080x24
. "$(dirname "$0")/common.inc"

make_disk

# Checks the window's size and that it is centred on the screen.
check_window() {  # window id, width, height, what was asked for
    geometry=$(xwininfo -id "$1")
    echo "$geometry" | grep -q "Width: $2\$" || fail "$4: the window is not $2 wide"
    echo "$geometry" | grep -q "Height: $3\$" || fail "$4: the window is not $3 high"
    echo "$geometry" | grep -q "Absolute upper-left X:  $(( (1920 - $2) / 2 ))\$" || fail "$4: not centred across"
    echo "$geometry" | grep -q "Absolute upper-left Y:  $(( (1080 - $3) / 2 ))\$" || fail "$4: not centred down"
}

# Both pictures are taken 7.5 s after the window maps. The intro's first
# picture stands still over the star burst from 5.3 to 9 s of the frame
# clock, which starts after the window maps, within two seconds even in a
# sanitizer build: only the burst's stars move between the two pictures.
picture_in_the_intro() {  # window id, file
    sleep 7.5
    import -window "$1" "$2"
}

quit() {  # window id, what was asked for
    xdotool windowfocus --sync "$1" key Escape
    [ "$(wait_exit 5)" = "0" ] || fail "$2: Escape did not end the program"
}

start_program
wid=$(find_window)
[ -n "$wid" ] || { fail "no window without options"; finish; }
check_window "$wid" 640 400 "no option"
picture_in_the_intro "$wid" "$work/size1.png"
quit "$wid" "no option"

start_program x -2 y
wid=$(find_window)
[ -n "$wid" ] || { fail "no window with -2"; finish; }
check_window "$wid" 1280 800 "-2"
picture_in_the_intro "$wid" "$work/size2.png"
# Start-up's own start of playback finds nothing to play; so does each
# press of play/pause. Its centre drawn at size 1 lies outside it at -2,
# its enlarged centre inside.
xdotool mousemove --window "$wid" 293 51 click 1 sleep 0.3
[ "$(grep -c 'nothing to play' "$work/out.txt")" = 1 ] || fail "-2: a click beside play/pause pressed it"
xdotool mousemove --window "$wid" 587 103 click 1 sleep 0.3
[ "$(grep -c 'nothing to play' "$work/out.txt")" = 2 ] || fail "-2: a click on the enlarged play/pause did nothing"
quit "$wid" "-2"

# Every 2 x 2 block of the window is one colour, and taking one pixel of
# each gives the picture at size 1. Inside the intro picture's place only
# the stars behind its clear parts can differ: far fewer pixels than the
# picture lights.
convert "$work/size2.png" -sample 50% "$work/halved.png"
convert "$work/halved.png" -sample 200% "$work/doubled.png"
blocks=$(compare -metric AE "$work/size2.png" "$work/doubled.png" null: 2>&1)
[ "$blocks" = 0 ] || fail "-2: $blocks window pixels differ from their 2 x 2 block"
box=190x142+225+129
convert "$work/halved.png" -crop $box +repage "$work/halved-box.png"
convert "$work/size1.png" -crop $box +repage "$work/size1-box.png"
convert "$work/size1-box.png" -fill black -colorize 100 "$work/black-box.png"
lit=$(compare -metric AE "$work/size1-box.png" "$work/black-box.png" null: 2>&1)
differ=$(compare -metric AE "$work/size1-box.png" "$work/halved-box.png" null: 2>&1)
[ "$lit" -gt 1000 ] 2>/dev/null || fail "the intro picture did not show at size 1 ($lit lit pixels)"
[ "$((differ * 4))" -lt "$lit" ] 2>/dev/null ||
    fail "-2: $differ of the intro picture's $lit lit pixels differ from size 1"

# -a on this screen: 1280 x 800 is within 80 % of it, 1920 x 1200 is not.
# The size and place come from the X server's list of monitors, here one
# as large as the screen, and must be what the whole screen gives.
start_program -a
wid=$(find_window)
[ -n "$wid" ] || { fail "no window with -a"; finish; }
check_window "$wid" 1280 800 "-a"
quit "$wid" "-a"

finish
