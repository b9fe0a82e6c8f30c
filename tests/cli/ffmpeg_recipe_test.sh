#!/bin/sh
# The ffmpeg recipes of docs/cli.md, plain and with --steady, taken from that file
# itself, on a short generated clip with a colour cast, sound and uneven frame
# timing: ffmpeg decodes to raw bgra frames, velto corrects them, ffmpeg
# encodes losslessly. Checks for each recipe that every frame comes through
# once, that the video is opaque, that the sound is kept and that the cast, the
# spread between the mean red, green and blue, is clearly reduced.
# Usage: ffmpeg_recipe_test.sh VELTO WORKDIR
set -eu
velto=$1
work=$2
readme=$(cd "$(dirname "$0")/../.." && pwd)/docs/cli.md
rm -rf "$work"
mkdir -p "$work"
cd "$work"
command -v ffmpeg >/dev/null || { echo "ffmpeg is missing: run tools/setup.sh"; exit 1; }

# The first two sh blocks after the recipe's heading, the plain recipe and the
# one with --steady, each run with our velto.
recipe() {  # recipe N: the N-th block
    awk -v n="$1" '/^## Correcting a video with ffmpeg/ { found = 1 }
         found && /^```sh$/ { if (++seen == n) inside = 1; next }
         inside && /^```$/ { exit }
         inside { print }' "$readme" | sed 's|build/native/velto|"$velto"|'
}
recipe 1 >recipe.sh
recipe 2 >steady.sh
grep -q '"$velto" apply --raw' recipe.sh || { echo "no recipe found in $readme"; exit 1; }
grep -q '"$velto" apply --raw .*--steady' steady.sh || { echo "no --steady recipe in $readme"; exit 1; }

# Two seconds of a test pattern with red lifted and blue held down, and one
# frame slot skipped after frame 25, as a camera that drops a frame: made
# even, the stream would get a repeated frame there.
ffmpeg -v error -f lavfi \
    -i "testsrc2=size=160x120:rate=25:duration=2,format=rgb24,lutrgb=r=val*0.8+40:g=val*0.9+10:b=val*0.75,setpts=N/25/TB+gte(N\,25)*0.04/TB" \
    -f lavfi -i "sine=frequency=440:duration=2.04" -c:v ffv1 -c:a flac input.mkv

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

for script in recipe.sh steady.sh; do
    : >corrected.mkv  # the recipe overwrites
    velto=$velto sh -eu $script
    before=$(count input.mkv)
    after=$(count corrected.mkv)
    [ "$before" -eq 50 ] && [ "$after" -eq 50 ] || { echo "$script, frames: $before in, $after out"; exit 1; }
    # Opaque: every pixel's alpha, as a player composes it, is 255.
    ffmpeg -v error -i corrected.mkv -vf format=rgba,alphaextract -f rawvideo -pix_fmt gray - |
        od -An -tu1 -v | awk '{ for (i = 1; i <= NF; i++) if ($i != 255) bad++ } END { exit bad > 0 }' ||
        { echo "$script: the corrected video is not opaque"; exit 1; }
    [ "$(ffprobe -v error -select_streams a -show_entries stream=codec_type -of csv=p=0 corrected.mkv)" = audio ] ||
        { echo "$script: the corrected video lost its sound"; exit 1; }
    spreadBefore=$(cast input.mkv)
    spreadAfter=$(cast corrected.mkv)
    echo "$script, mean channel spread: $spreadBefore before, $spreadAfter after"
    awk -v a="$spreadBefore" -v b="$spreadAfter" 'BEGIN { exit !(b < 0.8 * a) }' ||
        { echo "$script: the cast is not reduced enough"; exit 1; }
done
