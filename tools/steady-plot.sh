#!/bin/sh
# Draws docs/steady.png, the picture of --steady in docs/steady.md: the red
# black point over time on two generated clips of bench/steady_measure.cpp,
# without the option, with it, and with it but without cut detection; and
# the blue mean of the output on the walkers clip, without it, with the
# steady levels through the gain and black bytes, and with it. Needs gnuplot
# (Debian: gnuplot-nox).
# Usage: tools/steady-plot.sh [OUTPUT.png]
set -eu
cd "$(dirname "$0")/.."
out=${1:-docs/steady.png}
command -v gnuplot >/dev/null || { echo "gnuplot is missing: apt-get install gnuplot-nox"; exit 1; }

cmake --preset native >/dev/null
cmake --build --preset native -j 2 --target steady_measure >/dev/null
data=$(mktemp)
trap 'rm -f "$data"' EXIT
# A missed target (exit 1) still writes the whole series.
build/native/bench/steady_measure --series "$data" >/dev/null || [ -s "$data" ]

# Blocks of the series: clip c (static, cuts, pan, fast pan, walkers) and way
# w (per frame, steady, no cuts, fixed, bytes) are gnuplot index 5 * c + w;
# column 2 is the red black point.
gnuplot <<PLOT
set terminal pngcairo size 900,820 font "sans,11"
set output "$out"
set multiplot layout 3,1 title "Red black point of each frame, and the blue mean of the output"
set xlabel "seconds"
set ylabel "level"
set grid ytics lc rgb "#dddddd"
set key outside top center horizontal
set title "Hard cuts every 2 s between differently cast scenes" offset 0,-0.4
plot "$data" index 5 using 1:2 with lines lw 1 lc rgb "#e08080" title "per frame", \
     "" index 7 using 1:2 with lines lw 2 dt 2 lc rgb "#909090" title "steady, no cut detection", \
     "" index 6 using 1:2 with lines lw 2 lc rgb "#1f4e9a" title "--steady 1"
set title "A fast pan across a scene whose cast turns from warm to cool"
plot "$data" index 15 using 1:2 with lines lw 1 lc rgb "#e08080" title "per frame", \
     "" index 16 using 1:2 with lines lw 2 lc rgb "#1f4e9a" title "--steady 1"
set title "Walkers, 10 frames a second: blue mean of the output, 15 to 40 s"
set ylabel "mean"
set xrange [15:40]
plot "$data" index 20 using 1:13 with lines lw 1 lc rgb "#e08080" title "per frame", \
     "" index 24 using 1:13 with lines lw 1 lc rgb "#d09030" title "steady levels, gain and black bytes", \
     "" index 21 using 1:13 with lines lw 2 lc rgb "#1f4e9a" title "--steady 1"
unset multiplot
PLOT
echo "wrote $out ($(wc -c <"$out") bytes)"
