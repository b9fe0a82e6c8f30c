#!/bin/sh
# velto.so installed by cmake --install and run in ffmpeg's frei0r filter and
# in melt, first as the commands in docs/frei0r.md, on clips with a cast and noise in
# every byte: red, green and blue must equal `velto apply --raw` with the same
# method (neutral by default; Neutral at 0 the classic, with the same levels;
# with Steady, `--steady` at the clip's rate), alpha the input's. Parameters
# left out or unknown keep their defaults.
# Usage: hosts_test.sh BUILD_DIR VELTO WORKDIR
set -u
build=$1 velto=$2 work=$3
readme=$(cd "$(dirname "$0")/../.." && pwd)/docs/frei0r.md
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1
command -v melt >/dev/null && command -v ffmpeg >/dev/null || { echo "run tools/setup.sh"; exit 1; }
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

cmake --install "$build" --prefix "$PWD/prefix" >/dev/null
# FREI0R_PATH=build/native, as docs/frei0r.md offers, finds the one velto.so
# (earlier versions of this test installed their copy below it).
rm -rf "$build/tests/frei0r/hosts-work"
[ "$(find "$build" -name velto.so | wc -l)" -eq 1 ] ||
    fail "copies of velto.so below $build: $(find "$build" -name velto.so)"
[ -x prefix/bin/velto ] || fail "cmake --install put no bin/velto"
export FREI0R_PATH="$PWD/prefix/lib/frei0r-1"
names=$(nm -D --defined-only "$FREI0R_PATH/velto.so" | awk '{ printf "%s ", $3 }') || fail "no lib/frei0r-1/velto.so"
[ "$names" = "f0r_construct f0r_deinit f0r_destruct f0r_get_param_info f0r_get_param_value \
f0r_get_plugin_info f0r_init f0r_set_param_value f0r_update f0r_update2 " ] || fail "velto.so exports $names"

ff() {  # ffmpeg that leaves the loop's lines alone
    ffmpeg -nostdin -v error -y "$@"
}
clip() {  # clip SIZE [RATE SECONDS]: in.bgra and the same frames in in.mkv
    ff -f lavfi -i "testsrc2=size=$1:rate=${2:-25}:duration=${3:-0.12},format=rgba,\
lutrgb=r=val*0.8+40:g=val*0.9+10:b=val*0.75,noise=alls=30:allf=t" -f rawvideo -pix_fmt bgra in.bgra &&
        ff -f rawvideo -pix_fmt bgra -s "$1" -r "${2:-25}" -i in.bgra -c:v ffv1 in.mkv || fail "no $1 clip"
}
check() {  # check WHAT SIZE LEVELS|neutral[:PERCENT] [TOOL OPTIONS]: out.bgra against the tool's bytes and in.bgra's alpha
    what="$1 $2 $3" size=$2 method="--levels $3"
    case $3 in
    neutral) method="--method neutral" ;;
    neutral:*) method="--method neutral --strength ${3#neutral:}" ;;
    esac
    shift 3
    what="$what${1:+ $*}"
    # shellcheck disable=SC2086
    "$velto" apply --raw "$size" $method "$@" --quiet in.bgra tool.bgra &&
        ff -f rawvideo -pix_fmt bgra -s "$size" -i tool.bgra -f rawvideo -pix_fmt bgra -s "$size" -i in.bgra \
            -filter_complex "[1]alphaextract[a];[0][a]alphamerge" -f rawvideo -pix_fmt bgra want.bgra
    if cmp -s want.bgra out.bgra; then echo "$what: equal"
    else fail "$what: not velto apply --raw's bytes ($(cmp want.bgra out.bgra 2>&1 | head -n 1))"; fi
    rm -f out.bgra
}
# melt 7.12 now and then waits forever before its first frame, with or without
# an effect (one run in a hundred on a busy machine), and now and then ends at
# once with success and an empty file: such a run is tried again, three times.
run_melt() {
    out=
    for arg; do case $arg in avformat:*) out=${arg#avformat:} ;; esac; done
    for attempt in 1 2 3; do
        [ -z "$out" ] || rm -f "$out"
        timeout -k 5 30 melt -quiet "$@" </dev/null
        case $? in
        0) [ -z "$out" ] || [ -s "$out" ] && return 0 ;;
        124 | 137) ;;
        *) return 1 ;;
        esac
    done
    return 1
}

readme_block() {  # readme_block HEADING: the first sh block after it, melt retried
    awk -v heading="$1" 'index($0, heading) == 1 { found = 1 }
         found && /^```sh$/ { inside = 1; next }
         inside && /^```$/ { exit }
         inside { print }' "$readme" | sed 's/^melt /run_melt /'
}
{ readme_block "## Use in ffmpeg and melt" && readme_block "## Steady levels"; } >readme.sh
clip 160x120 && mv in.mkv input.mkv && . ./readme.sh </dev/null >readme.log 2>&1 ||
    fail "the commands in docs/frei0r.md: $(tail -n 2 readme.log)"
for corrected in corrected.mkv corrected-melt.mkv steady.mkv steady-melt.mkv; do
    ff -i $corrected -f rawvideo -pix_fmt bgra out.bgra
    case $corrected in
    steady*) check "docs, $corrected" 160x120 neutral --steady 1 --fps 25 ;;
    *) check "docs, $corrected" 160x120 neutral ;;
    esac
done

run_host() {  # run_host HOST SIZE RATE PARAMETERS: in.bgra (ffmpeg) or in.mkv (melt) to out.bgra
    if [ "$1" = ffmpeg ]; then
        ff -f rawvideo -pix_fmt bgra -s "$2" -r "$3" -i in.bgra \
            -vf "frei0r=filter_name=velto:filter_params=$4" -f rawvideo -pix_fmt bgra out.bgra
    else
        IFS=';'
        # shellcheck disable=SC2086
        set -- $4
        unset IFS
        run_melt in.mkv -filter frei0r.velto "$@" -consumer avformat:out.bgra f=rawvideo pix_fmt=bgra
    fi
}

# ffmpeg 5.1 (Debian 12's) pads each row to the processor's widest alignment,
# up to 64 bytes, where frei0r has 4 x width: only widths that are multiples of
# 16 come through whole, with any effect. melt reads frames under 8 x 8 wrongly.
# HOST SIZE METHOD PARAMETERS (melt's: a;b;c). ffmpeg takes Neutral, a bool,
# as y or n, melt as 1 or 0.
set -f
while read -r host size levels params; do
    clip "$size" || continue
    run_host "$host" "$size" 25 "$params" || fail "$host $size: failed"
    check "$host" "$size" "$levels"
done <<CASES
ffmpeg 640x480 neutral 0.5
ffmpeg 48x37 neutral:30 0.5|0.5|0.5|0|y|0.3
ffmpeg 640x480 20,20,20 0.5|0.5|0.5|0|n
ffmpeg 1x1 40,40,40 1|1|1|0|n
ffmpeg 48x37 10,20,40 0.25|0.5|1|0|n|0.3
ffmpeg 1280x723 1,39,7 0|0.975|0.17|0|n
ffmpeg 16x483 12,20,1 0.3|nan|-3|nan|n
melt 643x483 neutral
melt 37x29 neutral:0 0=0.25;Strength=0
melt 37x29 10,20,40 0=0.25;2=1;4=0
melt 9x8 1,30,20 Level R=0;Level G=0.75;bogus=0.9;Neutral=0
CASES

# Steady: ffmpeg passes each frame's time in milliseconds, melt in seconds,
# both as floating-point products that wobble in the last bits; at an even
# rate each must give `velto apply --steady SECONDS --fps RATE`'s bytes.
# Two seconds of testsrc2, whose moving parts move the levels.
# HOST SIZE RATE METHOD SECONDS PARAMETERS
while read -r host size rate levels seconds params; do
    clip "$size" "$rate" 2 || continue
    run_host "$host" "$size" "$rate" "$params" || fail "$host $size steady: failed"
    check "$host" "$size" "$levels" --steady "$seconds" --fps "$rate"
done <<CASES
ffmpeg 640x480 25 neutral 1 0.5|0.5|0.5|0.1
ffmpeg 320x240 30000/1001 10,20,40 0.5 0.25|0.5|1|0.05|n
melt 320x240 30000/1001 neutral:60 1 Steady=0.1;Strength=0.6
melt 97x61 50 20,30,20 0.2 Level G=0.75;3=0.02;Neutral=0
CASES

# ffmpeg 5.1 hands frames that went through a pixel-format conversion before
# the filter (yuv420p video in an AVI here) one and the same time, about
# -3.8e20: Steady counts them at 25 a second and smooths as `--fps 25` does.
ff -f lavfi -i "testsrc2=size=720x528:rate=2997/125:duration=2,\
lutrgb=r=val*0.8+40:g=val*0.9+10:b=val*0.75" -c:v mpeg4 untimed.avi &&
    ff -i untimed.avi -f rawvideo -pix_fmt bgra in.bgra &&
    ff -i untimed.avi -vf "frei0r=filter_name=velto:filter_params=0.5|0.5|0.5|0.1" \
        -f rawvideo -pix_fmt bgra out.bgra || fail "ffmpeg without time stamps: failed"
check "ffmpeg without time stamps" 720x528 neutral --steady 1 --fps 25

# MLT's parallel frames (real_time=-2 on the consumer) hand frames to several
# instances out of order: without Steady each frame is corrected on its own,
# so the bytes are the plain run's, for either method.
clip 320x240 25 1
for params in "" "Neutral=0"; do
    # shellcheck disable=SC2086
    run_melt in.mkv -filter frei0r.velto $params -consumer avformat:out.bgra f=rawvideo pix_fmt=bgra \
        real_time=-2 || fail "melt real_time=-2 $params: failed"
    check "melt real_time=-2" 320x240 "$([ -n "$params" ] && echo 20,20,20 || echo neutral)"
done
# MLT's slices (threads on the filter) cut each frame into strips: the effect
# tells them and passes frames through unchanged with one line, rather than
# correct each strip as a picture of its own (bands). The first frame's first
# strip comes before anything can be told.
# MLT cuts no more strips than the machine has processors.
if [ "$(nproc)" -lt 2 ]; then
    echo "SKIPPED: melt threads=2: one processor, so MLT cuts no strips"
elif ! run_melt in.mkv -filter frei0r.velto threads=2 -consumer avformat:out.bgra f=rawvideo pix_fmt=bgra \
    2>strips.err; then fail "melt threads=2: failed"
elif grep -q "^velto: the host runs the effect on strips" strips.err &&
    cmp -s -i $((320 * 240 * 4)) in.bgra out.bgra; then echo "melt threads=2: passed through, said"
else fail "melt threads=2: not passed through with the line ($(head -c 200 strips.err))"; fi
[ "$failures" -eq 0 ] || { echo "$failures failures"; exit 1; }
