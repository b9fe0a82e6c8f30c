#!/bin/sh
# velto.so installed as a user installs it and run in two frei0r hosts,
# ffmpeg's frei0r filter and MLT's melt, on generated clips with a cast and
# uneven alpha: red, green and blue must equal `velto apply --raw` with the
# same levels, byte for byte, and alpha the input's. Parameters left out or
# unknown leave the default level 20.
# Usage: hosts_test.sh BUILD_DIR VELTO WORKDIR
set -u
build=$1
velto=$2
work=$3
rm -rf "$work"
mkdir -p "$work"
cd "$work" || exit 1
for tool in ffmpeg melt; do
    command -v $tool >/dev/null || { echo "$tool is missing: run tools/setup.sh"; exit 1; }
done

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

cmake --install "$build" --prefix "$PWD/prefix" >/dev/null || fail "cmake --install failed"
plugin=prefix/lib/frei0r-1/velto.so
[ -f $plugin ] || { echo "FAIL: cmake --install put no velto.so in lib/frei0r-1"; exit 1; }
exports=$(nm -D --defined-only $plugin | awk '{ print $3 }' | sort | tr '\n' ' ')
[ "$exports" = "f0r_construct f0r_deinit f0r_destruct f0r_get_param_info f0r_get_param_value \
f0r_get_plugin_info f0r_init f0r_set_param_value f0r_update f0r_update2 " ] ||
    fail "velto.so exports more or less than the frei0r entry points: $exports"
export FREI0R_PATH="$PWD/prefix/lib/frei0r-1"

# Inside the loops below, ffmpeg must not eat their lines.
ff() {
    ffmpeg -nostdin -v error -y "$@"
}

# clip SIZE: three frames of a test pattern with red lifted, blue held down
# and noise in every byte, alpha included, as raw bgra and as a lossless clip.
clip() {
    ff -f lavfi -i "testsrc2=size=$1:rate=25:duration=0.12,format=rgba,\
lutrgb=r=val*0.8+40:g=val*0.9+10:b=val*0.75,noise=alls=30:allf=t" -f rawvideo -pix_fmt bgra in.bgra &&
        ff -f rawvideo -pix_fmt bgra -s "$1" -r 25 -i in.bgra -c:v ffv1 in.mkv ||
        { fail "ffmpeg could not make a $1 clip"; return 1; }
}

# check HOST SIZE LEVELS: out.bgra against the tool's bytes with in.bgra's alpha.
check() {
    "$velto" apply --raw "$2" --levels "$3" --quiet in.bgra tool.bgra &&
        ff -f rawvideo -pix_fmt bgra -s "$2" -i tool.bgra -f rawvideo -pix_fmt bgra \
            -s "$2" -i in.bgra -filter_complex "[1]alphaextract[a];[0][a]alphamerge" \
            -f rawvideo -pix_fmt bgra want.bgra || { fail "$1 $2: no bytes to compare with"; return; }
    if [ ! -f out.bgra ] || [ "$(wc -c <in.bgra)" -ne "$(wc -c <out.bgra)" ]; then
        fail "$1 $2 levels $3: not one frame out for every frame in"
    elif ! cmp -s want.bgra out.bgra; then
        fail "$1 $2 levels $3: differs from velto apply --raw ($(cmp want.bgra out.bgra | head -n 1))"
    else
        echo "$1 $2 levels $3: equal"
    fi
}

# ffmpeg 5.1 (Debian 12's) hands frei0r effects rows padded to the
# processor's widest alignment, up to 64 bytes, where frei0r has width * 4:
# only widths that are multiples of 16 come through whole, with any effect.
# SIZE  filter_params  LEVELS
while read -r size params levels; do
    clip "$size" || continue
    rm -f out.bgra
    ff -f rawvideo -pix_fmt bgra -s "$size" -i in.bgra \
        -vf "frei0r=filter_name=velto:filter_params=$params" -f rawvideo -pix_fmt bgra out.bgra ||
        fail "ffmpeg $size: the frei0r filter failed"
    check ffmpeg "$size" "$levels"
done <<CASES
640x480 0.5|0.5|0.5 20,20,20
1x1 1|1|1 40,40,40
48x37 0.25|0.5|1 10,20,40
1280x723 0|0.975|0.17 1,39,7
16x483 0.3|nan|-3 12,20,1
64x31 0.75 30,20,20
CASES

# melt 7.12 now and then stops before its first frame and waits forever, with
# or without an effect (about one run in a hundred on a busy machine): such a
# run is ended after 30 s and tried again.
run_melt() {
    for attempt in 1 2 3; do
        timeout -k 5 30 melt -quiet "$@" </dev/null && return 0
        rc=$?
        [ $rc -eq 124 ] || [ $rc -eq 137 ] || return 1
        echo "melt hung (attempt $attempt)"
    done
    return 1
}

# melt takes the levels by index or by name; it reads frames under 8 x 8
# pixels wrongly, with or without an effect. SIZE LEVELS PROPERTIES (a;b;c)
set -f
while read -r size levels properties; do
    clip "$size" || continue
    rm -f out.bgra
    IFS=';'
    # shellcheck disable=SC2086
    set -- $properties
    unset IFS
    run_melt in.mkv -filter frei0r.velto "$@" \
        -consumer avformat:out.bgra f=rawvideo pix_fmt=bgra real_time=0 || fail "melt $size: failed"
    check melt "$size" "$levels"
done <<CASES
643x483 20,20,20
37x29 10,20,40 0=0.25;2=1
9x8 1,30,20 Level R=0;Level G=0.75;bogus=0.9
CASES
[ "$failures" -eq 0 ] || { echo "$failures failures"; exit 1; }
