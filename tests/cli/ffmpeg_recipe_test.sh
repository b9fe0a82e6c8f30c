#!/bin/sh
# The README's ffmpeg recipe on a short generated clip with a colour cast:
# ffmpeg decodes to raw bgra frames, velto corrects them, ffmpeg encodes
# losslessly. Checks that every frame comes through and that the cast, the
# spread between the mean red, green and blue, is clearly reduced.
# Usage: ffmpeg_recipe_test.sh VELTO WORKDIR
set -eu
velto=$1
work=$2
rm -rf "$work"
mkdir -p "$work"
cd "$work"
command -v ffmpeg >/dev/null || { echo "ffmpeg is missing: run tools/setup.sh"; exit 1; }

# Two seconds of a test pattern with red lifted and blue held down.
ffmpeg -v error -f lavfi \
    -i "testsrc2=size=160x120:rate=25:duration=2,format=rgb24,lutrgb=r=val*0.8+40:g=val*0.9+10:b=val*0.75" \
    -c:v ffv1 input.mkv

# The recipe, as the README shows it.
size=$(ffprobe -v error -select_streams v:0 -show_entries stream=width,height -of csv=s=x:p=0 input.mkv)
rate=$(ffprobe -v error -select_streams v:0 -show_entries stream=r_frame_rate -of csv=p=0 input.mkv)
ffmpeg -v error -i input.mkv -f rawvideo -pix_fmt bgra - |
  "$velto" apply --raw "$size" - - |
  ffmpeg -v error -f rawvideo -pix_fmt bgra -s "$size" -r "$rate" -i - -i input.mkv \
         -map 0:v -map '1:a?' -c:v ffv1 -c:a copy corrected.mkv

count() {
    ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames \
        -of csv=p=0 "$1"
}
# Mean red, green and blue over the whole clip, and their spread.
cast() {
    ffmpeg -v error -i "$1" -f rawvideo -pix_fmt bgra - | od -An -tu1 -v | awk '
        { for (i = 1; i + 3 <= NF; i += 4) { b += $i; g += $(i + 1); r += $(i + 2); n++ } }
        END {
            r /= n; g /= n; b /= n
            hi = r; if (g > hi) hi = g; if (b > hi) hi = b
            lo = r; if (g < lo) lo = g; if (b < lo) lo = b
            printf "%.2f\n", hi - lo
        }'
}

[ "$size" = 160x120 ] || { echo "ffprobe gave the size '$size'"; exit 1; }
before=$(count input.mkv)
after=$(count corrected.mkv)
[ "$before" -eq 50 ] && [ "$after" -eq 50 ] || { echo "frames: $before in, $after out"; exit 1; }
spreadBefore=$(cast input.mkv)
spreadAfter=$(cast corrected.mkv)
echo "mean channel spread: $spreadBefore before, $spreadAfter after"
awk -v a="$spreadBefore" -v b="$spreadAfter" 'BEGIN { exit !(b < 0.8 * a) }' ||
    { echo "the cast is not reduced enough"; exit 1; }
