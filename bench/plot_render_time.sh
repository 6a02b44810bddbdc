#!/bin/sh
# Draws docs/render-time.png from the timeline that `make bench` leaves in
# build-bench/bench-logs/render-time.txt (bench_frame --timeline=...).
# Needs gnuplot (Debian's gnuplot-nox); run once by hand, commit the picture.
#   plot_render_time.sh [timeline] [png]
set -eu
timeline=${1:-build-bench/bench-logs/render-time.txt}
png=${2:-docs/render-time.png}
gnuplot <<PLOT
set terminal pngcairo size 1000,420 font ",10"
set output "$png"
set termoption noenhanced
set xrange [0:1261]
set title "diskplayer: CPU time per frame, intro (frames 0-1110) and first 5 s of the player screen"
set xlabel "frame (30 per second)"
set ylabel "microseconds of thread CPU time"
set key top left
set grid ytics
set arrow from 1110.5, graph 0 to 1110.5, graph 1 nohead dashtype 2
set label "player screen" at 1115, graph 0.95
plot "$timeline" using 1:2 with lines lw 1.5 title "render_frame", \
     "$timeline" using 1:3 with lines lw 1 title "SDL_BlitSurface of the canvas (presenting it)"
PLOT
echo "wrote $png"
