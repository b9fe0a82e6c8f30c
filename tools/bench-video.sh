#!/bin/sh
# velto video against ffmpeg alone, in one run, side by side, on a generated
# 1080p clip with sound: the same decoding, the same encoder and settings,
# the same copied sound; what velto adds is the conversion to its pixels,
# the correction and the conversion back.
#   velto video in.mp4 out.mp4             vs  ffmpeg -i in.mp4 -c:v libx264 -crf 18 -preset medium -c:a copy out.mp4
#   velto video --lossless in.mp4 out.mkv  vs  ffmpeg -i in.mp4 -c:v ffv1 -c:a copy out.mkv
#   velto video in10.mkv out10.mkv         vs  ffmpeg -i in10.mkv -c:v libx265 -crf 22 -preset medium -c:a copy out10.mkv
# (in10.mkv: 10-bit HEVC tagged PQ, with a mastering display and light
# levels, which both commands write into the stream.)
# The correction stretches each channel, and the encoders spend more on a
# picture of more contrast (and more visible grain): the last two lines give
# ffmpeg the corrected pictures, encoded as the input was, so that only what
# velto does itself stands between the two.
# The two commands of a pair run in turn, RUNS times each after one run not
# counted; it prints each one's median wall time and the median of the
# ratios pair by pair, which holds when the machine's speed drifts, and the
# same of the processor time, which other work on a shared machine moves
# less than the wall time.
# Usage: tools/bench-video.sh [RUNS] [SECONDS] [CASES]
#   (default 5 runs of a 4 s clip, cases "libx264 ffv1 libx265-10")
set -eu
cd "$(dirname "$0")/.."
runs=${1:-5}
seconds=${2:-4}
cases=${3:-libx264 ffv1 libx265-10}

cmake --preset native >/dev/null
cmake --build --preset native -j 2 --target velto >/dev/null
velto=$PWD/build/native/velto
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# A test pattern with a colour cast and the faint grain of a camera sensor
# (noiseless, it would be unusually cheap to encode), 25 frames a second,
# and a tone, as H.264 and AAC.
ffmpeg -v error -f lavfi \
    -i "testsrc2=size=1920x1080:rate=25:duration=$seconds,lutrgb=r=val*0.85+30:b=val*0.8,noise=alls=3:allf=t" \
    -f lavfi -i "sine=frequency=440:duration=$seconds" \
    -c:v libx264 -preset veryfast -crf 20 -pix_fmt yuv420p -c:a aac -shortest in.mp4

# The same as 10-bit HEVC, as phones record HDR video.
hdr10="master-display=G(13250,34500)B(7500,3000)R(34000,16000)WP(15635,16450)L(10000000,1):max-cll=1000,400"
x265="log-level=error:$hdr10"
ffmpeg -v error -i in.mp4 -c:v libx265 -preset ultrafast -crf 20 -x265-params "$x265" \
    -pix_fmt yuv420p10le -color_primaries bt2020 -color_trc smpte2084 -colorspace bt2020nc \
    -c:a copy in10.mkv

measure() {  # wall seconds, and processor seconds (user and system), of one run of the command
    /usr/bin/time -f '%e %U %S' -o time.txt "$@" >/dev/null 2>&1 || { echo "bench: '$*' failed" >&2; exit 1; }
    awk '{ printf "%s %.2f\n", $1, $2 + $3 }' time.txt
}
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

pair() {  # pair NAME 'VELTO COMMAND' 'FFMPEG COMMAND'
    case " $cases " in *" $1 "*) ;; *) return 0 ;; esac
    : >runs.txt
    # shellcheck disable=SC2086
    measure $2 >/dev/null && measure $3 >/dev/null
    i=0
    while [ "$i" -lt "$runs" ]; do
        # shellcheck disable=SC2086
        a=$(measure $2)
        # shellcheck disable=SC2086
        b=$(measure $3)
        echo "$a $b" >>runs.txt
        i=$((i + 1))
    done
    # Columns: velto's wall and processor seconds, ffmpeg's, and the two ratios.
    awk '{ printf "%s %s %s %s %.4f %.4f\n", $1, $2, $3, $4, $1 / $3, $2 / $4 }' runs.txt >pairs.txt
    col() { cut -d' ' -f"$1" pairs.txt; }
    printf '%-10s velto %6.2f s   ffmpeg %6.2f s   ratio %.3f (%s to %s)\n' "$1" \
        "$(col 1 | median)" "$(col 3 | median)" "$(col 5 | median)" \
        "$(col 5 | sort -n | head -n 1)" "$(col 5 | sort -n | tail -n 1)"
    printf '%-10s processor seconds: velto %6.2f   ffmpeg %6.2f   ratio %.3f (%s to %s)\n' "" \
        "$(col 2 | median)" "$(col 4 | median)" "$(col 6 | median)" \
        "$(col 6 | sort -n | head -n 1)" "$(col 6 | sort -n | tail -n 1)"
}

echo "== velto video against ffmpeg, 1920x1080, $seconds s, median of $runs runs =="
pair libx264 "$velto video -q -y in.mp4 out.mp4" \
    "ffmpeg -v error -y -i in.mp4 -c:v libx264 -crf 18 -preset medium -c:a copy ref.mp4"
pair ffv1 "$velto video -q -y --lossless in.mp4 out.mkv" \
    "ffmpeg -v error -y -i in.mp4 -c:v ffv1 -c:a copy ref.mkv"
pair libx265-10 "$velto video -q -y in10.mkv out10.mkv" \
    "ffmpeg -v error -y -i in10.mkv -c:v libx265 -crf 22 -preset medium -x265-params $x265 -c:a copy ref10.mkv"

"$velto" video -q -y --crf 20 --preset veryfast in.mp4 corrected.mp4
"$velto" video -q -y --crf 20 --preset ultrafast in10.mkv corrected10.mkv
echo "== the same, ffmpeg given the corrected pictures =="
pair libx264 "$velto video -q -y in.mp4 out.mp4" \
    "ffmpeg -v error -y -i corrected.mp4 -c:v libx264 -crf 18 -preset medium -c:a copy ref.mp4"
pair ffv1 "$velto video -q -y --lossless in.mp4 out.mkv" \
    "ffmpeg -v error -y -i corrected.mp4 -c:v ffv1 -c:a copy ref.mkv"
pair libx265-10 "$velto video -q -y in10.mkv out10.mkv" \
    "ffmpeg -v error -y -i corrected10.mkv -c:v libx265 -crf 22 -preset medium -x265-params $x265 -c:a copy ref10.mkv"
