#!/bin/sh
# velto video end to end, on small clips made here with ffmpeg: every
# container and kind of stream it keeps, frame times that are deliberately
# uneven, and the inputs it must refuse in one line without writing anything.
# Usage: video_test.sh VELTO WORKDIR
set -u
velto=$1
work=$2
rm -rf "$work"
mkdir -p "$work"
cd "$work" || exit 1
command -v ffmpeg >/dev/null || { echo "ffmpeg is missing: run tools/setup.sh"; exit 1; }

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
probe() {  # probe FILE ARGS...: ffprobe's plain answer
    f=$1
    shift
    # A stream with side data ends its line with a comma and adds empty ones.
    ffprobe -v error "$@" -of csv=p=0 "$f" | sed 's/,$//' | grep -v '^$'
}
frame_times() {  # every video frame's time stamp, in decoding order
    probe "$1" -select_streams v:0 -show_entries frame=pts_time
}
frame_hdr() {  # the first frame's static HDR metadata
    probe "$1" -select_streams v:0 -read_intervals %+#1 -show_entries \
        frame_side_data=side_data_type,red_x,green_y,blue_x,white_point_y,min_luminance,max_luminance,max_content,max_average |
        grep "Mastering\|Content light"
}
kinds() {  # the kinds of stream, in order
    probe "$1" -show_entries stream=codec_type | tr '\n' ' '
}
no_temporaries() {
    leftovers=$(find . -name '.velto-*')
    [ -z "$leftovers" ] || fail "temporaries left behind after $1: $leftovers"
}

# --- the clips ---
# A cast picture (red lifted, blue held down) for 2 s at 25 frames a second,
# 128 x 96, with frames 20 on 0.3 s later and frames 35 on 0.17 s later
# again: made even, the stream would have other times.
cast="testsrc2=size=128x96:rate=25:duration=2,lutrgb=r=val*0.8+40:b=val*0.7"
uneven="setpts=N/25/TB+gte(N\,20)*0.3/TB+gte(N\,35)*0.17/TB"
printf '1\n00:00:00,500 --> 00:00:01,200\nfirst\n\n2\n00:00:01,500 --> 00:00:02,200\nsecond\n' >subs.srt
printf ';FFMETADATA1\ntitle=Test clip\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=1000\ntitle=One\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=1000\nEND=2400\ntitle=Two\n' >chapters.txt
make() {  # make OUTPUT FFMPEG-ARGS...: a clip of the cast picture, with sound
    out=$1
    shift
    ffmpeg -v error -y -f lavfi -i "$cast,$uneven" -f lavfi -i "sine=duration=2.5" "$@" "$out" ||
        fail "ffmpeg could not make $out"
}
make full.mkv -i subs.srt -i chapters.txt -map 0 -map 1 -map 2 -map_metadata 3 -map_chapters 3 \
    -c:v libx264 -preset ultrafast -c:a flac -c:s srt
make plain.mp4 -map 0 -map 1 -c:v libx264 -preset ultrafast -c:a aac
# ffmpeg 5.1 turns the tag into a rotation (display matrix) only when copying.
ffmpeg -v error -y -i plain.mp4 -map 0 -c copy -metadata:s:v rotate=90 rotated.mp4
make plain.mov -map 0 -map 1 -c:v libx264 -preset ultrafast -c:a aac -vf setsar=4/3 \
    -colorspace bt709 -color_primaries bt709 -color_trc bt709 -color_range tv
ffmpeg -v error -y -f lavfi -i "$cast" -f lavfi -i "sine=duration=2" -c:v mpeg4 -q:v 3 \
    -c:a pcm_s16le even.avi || fail "ffmpeg could not make even.avi"
ffmpeg -v error -y -f lavfi -i "testsrc2=size=161x121:rate=25:duration=0.4,format=yuv444p" \
    -c:v ffv1 odd.mkv || fail "ffmpeg could not make odd.mkv"
ffmpeg -v error -y -f lavfi -i "$cast,format=yuv420p10le" -t 0.4 -c:v libx264 -preset ultrafast \
    deep.mkv || fail "ffmpeg could not make deep.mkv"
ffmpeg -v error -y -f lavfi -i "$cast,format=bgra" -t 0.6 -c:v ffv1 bgra.mkv ||
    fail "ffmpeg could not make bgra.mkv"
ffmpeg -v error -y -f lavfi -i "nullsrc=s=1024x64:d=0.2,format=gray10le,geq=lum='64+X*876/1024',format=yuv420p10le" \
    -c:v ffv1 ramp.mkv || fail "ffmpeg could not make ramp.mkv"
# Phone-like clips: 10-bit HEVC tagged PQ, and HLG (a lossless 10-bit ramp
# in mp4), both with a mastering display and light levels in the stream;
# 10-bit H.264; 8-bit HEVC in mp4, VP9 in webm, and Theora, which velto does
# not keep.
hdr10="master-display=G(13250,34500)B(7500,3000)R(34000,16000)WP(15635,16450)L(10000000,1):max-cll=1000,400"
ffmpeg -v error -y -f lavfi -i "$cast" -t 0.4 -pix_fmt yuv420p10le -c:v libx265 \
    -x265-params "log-level=error:hdr10=1:$hdr10" -color_primaries bt2020 -color_trc smpte2084 \
    -colorspace bt2020nc hdr.mkv || fail "ffmpeg could not make hdr.mkv"
ffmpeg -v error -y -f lavfi -i "nullsrc=s=1024x64:d=0.2,format=gray10le,geq=lum='64+X*876/1024',format=yuv420p10le" \
    -c:v libx265 -x265-params "log-level=error:lossless=1:hdr10=1:$hdr10" -tag:v hvc1 \
    -color_primaries bt2020 -color_trc arib-std-b67 -colorspace bt2020nc hlg.mp4 ||
    fail "ffmpeg could not make hlg.mp4"
ffmpeg -v error -y -f lavfi -i "$cast" -t 0.4 -pix_fmt yuv420p10le -c:v libx264 -preset ultrafast \
    h264-10.mkv || fail "ffmpeg could not make h264-10.mkv"
ffmpeg -v error -y -f lavfi -i "$cast" -t 0.4 -c:v libx265 -x265-params log-level=error \
    hevc.mp4 || fail "ffmpeg could not make hevc.mp4"
ffmpeg -v error -y -f lavfi -i "$cast" -t 0.4 -c:v libvpx-vp9 vp9.webm ||
    fail "ffmpeg could not make vp9.webm"
ffmpeg -v error -y -f lavfi -i "$cast" -t 0.4 -c:v libtheora theora.ogv ||
    fail "ffmpeg could not make theora.ogv"
# Flat grey in limited range, which the correction leaves as it is: through
# the conversions and back it must come out with the same bytes.
ffmpeg -v error -y -f lavfi -i "color=c=0x404040:size=64x48:duration=0.2,format=yuv420p" \
    -c:v ffv1 grey.mkv || fail "ffmpeg could not make grey.mkv"
ffmpeg -v error -y -f lavfi -i "sine=duration=1" -c:a aac sound.m4a || fail "no sound.m4a"
printf 'not a video' >junk.mp4
# A Matroska file cut in the middle of its frames: its header still says 2 s.
head -c "$(($(wc -c <full.mkv) / 2))" full.mkv >cut.mkv

# --- files that come out whole: INPUT OUTPUT ARGS | what must match ---
# times: every frame's time stamp; kinds: the streams; chapters; rotation;
# tags: pixel aspect and colour tags; format: pixel format and size; same:
# the same pictures, byte for byte.
tags=sample_aspect_ratio,color_range,color_space,color_primaries,color_transfer
while IFS='|' read -r input output args checks; do
    [ -n "$input" ] || continue
    # shellcheck disable=SC2086
    "$velto" video $args "$input" "$output" 2>stderr.txt ||
        { fail "velto video $args $input $output: $(cat stderr.txt)"; continue; }
    for check in $checks; do
        case $check in
        times) [ "$(frame_times "$input")" = "$(frame_times "$output")" ] ||
            fail "$output: frame times differ from $input's" ;;
        kinds) [ "$(kinds "$input")" = "$(kinds "$output")" ] ||
            fail "$output: streams '$(kinds "$output")', not '$(kinds "$input")'" ;;
        chapters) [ "$(probe "$output" -show_chapters | cut -d, -f5-)" = \
                    "$(probe "$input" -show_chapters | cut -d, -f5-)" ] &&
                  [ "$(probe "$output" -show_entries format_tags=title)" = "Test clip" ] ||
            fail "$output: chapters or title differ from $input's" ;;
        rotation) [ "$(probe "$output" -select_streams v:0 -show_entries stream_side_data=rotation | tr -d '\n')" = 90 ] ||
            fail "$output: lost its rotation" ;;
        format) [ "$(probe "$output" -show_entries stream=pix_fmt,width,height)" = \
                  "$(probe "$input" -show_entries stream=pix_fmt,width,height)" ] ||
            fail "$output: pixel format or size differs from $input's" ;;
        tags) [ "$(probe "$output" -select_streams v:0 -show_entries stream=$tags)" = \
                "$(probe "$input" -select_streams v:0 -show_entries stream=$tags)" ] ||
            fail "$output: aspect or colour tags differ from $input's" ;;
        same) [ "$(ffmpeg -nostdin -v error -i "$input" -f framemd5 - | grep -v '^#')" = \
                "$(ffmpeg -nostdin -v error -i "$output" -f framemd5 - | grep -v '^#')" ] ||
            fail "$output: pictures differ from $input's" ;;
        fallback) grep -q "theora video .*; it is written as libx264" stderr.txt ||
            fail "$input: no line about the codec it falls back from" ;;
        family) # the same codec and profile, and not much larger
            [ "$(probe "$output" -show_entries stream=codec_name,profile)" = \
              "$(probe "$input" -show_entries stream=codec_name,profile)" ] &&
            [ "$(wc -c <"$output")" -lt "$(($(wc -c <"$input") * 3 / 2))" ] ||
                fail "$output: codec, profile or size far from $input's" ;;
        hvc1) [ "$(probe "$output" -show_entries stream=codec_tag_string)" = hvc1 ] ||
            fail "$output: HEVC not tagged hvc1" ;;
        hdr) # the first frame's mastering display and light levels, and the container's
            [ -n "$(frame_hdr "$input")" ] && [ "$(frame_hdr "$output")" = "$(frame_hdr "$input")" ] &&
            probe "$output" -select_streams v:0 -show_entries stream_side_data=side_data_type |
                grep -q "Mastering display metadata" &&
            probe "$output" -select_streams v:0 -show_entries stream_side_data=max_content,max_average |
                grep -q "^1000,400$" || fail "$output: HDR metadata differs from $input's" ;;
        sei) # the encoder was given the mastering display and light levels too
            [ "$(ffmpeg -nostdin -v trace -i "$output" -frames:v 1 -c copy -bsf:v trace_headers -f null - 2>&1 |
                 grep -c "Mastering Display Colour Volume$\|Content Light Level Information$")" -ge 2 ] ||
                fail "$output: no mastering display or light level SEI" ;;
        deep) # a 10-bit ramp of 876 steps: corrected at 8 bits, it would keep under 350
            n=$(ffmpeg -nostdin -v error -i "$output" -frames:v 1 -f rawvideo -pix_fmt gray10le - |
                od -An -v -tu2 -w2 | sort -u | wc -l)
            [ "$n" -gt 600 ] || fail "$output: a 10-bit ramp kept only $n values" ;;
        esac
    done
done <<'EOF'
full.mkv|full-out.mkv||times kinds chapters
rotated.mp4|rotated-out.mp4|--steady 2|times kinds rotation
plain.mov|plain-out.mov|--levels 10,10,10|times kinds tags
plain.mov|neutral-out.mov|--strength 50 --steady 0|tags
even.avi|even-out.avi||times kinds
full.mkv|sound-only-video.mp4|--drop-unsupported --steady 0|times
odd.mkv|odd-out.mkv|--lossless|format times
deep.mkv|deep-out.mkv||format
h264-10.mkv|h264-10-out.mkv||format family
ramp.mkv|ramp-out.mkv|--lossless|format deep
hdr.mkv|hdr-out.mkv||format tags family hdr
hlg.mp4|hlg-out.mp4|--crf 0|format tags hdr hvc1 deep
hdr.mkv|hdr-h264.mkv|--codec libx264|sei
theora.ogv|theora-out.mkv||fallback
ramp.mkv|ramp-classic.mkv|--lossless --method classic --steady 0|format deep
grey.mkv|grey-out.mkv|--steady 0 --lossless|format same
hevc.mp4|hevc-out.mp4||family hvc1 format
vp9.webm|vp9-out.webm||family format
EOF
no_temporaries "whole outputs"

# The frames' times are not those of an even rate: the check above can fail.
ffmpeg -v error -y -i full.mkv -map 0:v -vf fps=25 -c:v libx264 -preset ultrafast evened.mkv
[ "$(frame_times full.mkv)" != "$(frame_times evened.mkv)" ] ||
    fail "the uneven clip's frame times are those of an even rate"

# Pictures that need no conversion: the same bytes as velto apply --raw on
# the same frames (its fourth byte is 0 where the video keeps its alpha, all
# 255 here), for each method, on each frame's own analysis and steady (the
# default) on this clip of 25 even frames a second. VIDEO-ARGS|APPLY-ARGS|NAME
ffmpeg -v error -i bgra.mkv -f rawvideo -pix_fmt bgra - >bgra.raw
while IFS='|' read -r vargs aargs name; do
    # shellcheck disable=SC2086
    "$velto" video --lossless $vargs bgra.mkv "$name.mkv" </dev/null || fail "bgra.mkv $vargs failed"
    # shellcheck disable=SC2086
    "$velto" apply --raw 128x96 $aargs bgra.raw "$name.bgr0"
    ffmpeg -nostdin -v error -y -f rawvideo -pix_fmt bgr0 -s 128x96 -i "$name.bgr0" -f rawvideo \
        -pix_fmt bgra "$name.expected"
    ffmpeg -nostdin -v error -i "$name.mkv" -f rawvideo -pix_fmt bgra - >"$name.got"
    [ -s "$name.got" ] && cmp -s "$name.got" "$name.expected" ||
        fail "video $vargs differs from velto apply --raw $aargs"
done <<'EOF2'
--method classic --steady 0|--method classic|classic-own
--method classic|--method classic --steady 1 --fps 25|classic-steady
--steady 0|--method neutral|neutral-own
--strength 60|--strength 60 --steady 1 --fps 25|neutral-steady
EOF2
cmp -s classic-own.got classic-steady.got && fail "steady levels gave each frame its own"
cmp -s neutral-own.got neutral-steady.got && fail "the steady light gave each frame its own"
cmp -s classic-own.got neutral-own.got && fail "the two methods gave the same pictures"

# --- refusals: CODE TEXT INPUT OUTPUT ARGS; one line, nothing written ---
echo precious >taken.mkv
while IFS='|' read -r code text input output args; do
    [ -n "$code" ] || continue
    # shellcheck disable=SC2086
    "$velto" video $args "$input" "$output" >/dev/null 2>stderr.txt
    rc=$?
    [ "$rc" -eq "$code" ] || fail "video $args $input $output exited $rc, not $code: $(cat stderr.txt)"
    [ "$(wc -l <stderr.txt)" -eq 1 ] && grep -q -- "$text" stderr.txt ||
        fail "video $args $input $output: not one line with '$text': $(cat stderr.txt)"
    if [ "$output" = taken.mkv ]; then
        [ "$(cat taken.mkv)" = precious ] || fail "a refused run replaced taken.mkv"
    elif [ -e "$output" ]; then
        fail "a refused run left $output"
    fi
done <<'EOF'
1|has no video stream|sound.m4a|none1.mp4|
1|not a media file|junk.mp4|none2.mp4|
1|missing.mkv: cannot open|missing.mkv|none3.mp4|
1|cannot go into none4.mp4; --drop-unsupported leaves it out|full.mkv|none4.mp4|
1|cut short|cut.mkv|none5.mkv|
1|exists already|full.mkv|taken.mkv|
1|hold no video|full.mkv|none6.mp3|
1|'nothing' is missing|full.mkv|none7.mkv|--codec nothing
1|has no preset 'nonsense'|full.mkv|none10.mkv|--preset nonsense
1|mpeg4 has no --crf|even.avi|none11.avi|--crf 20
2|--lossless writes FFV1 into .mkv only|full.mkv|none8.mp4|--lossless
2|unknown container|full.mkv|none9.xyz|
2|--levels steers the classic|full.mkv|none12.mkv|--method neutral --levels 9,9,9
2|--strength steers the neutral|full.mkv|none13.mkv|--levels 9,9,9 --strength 50
EOF
no_temporaries "refusals"

# A damaged file with --keep-going: what decodes is written, the loss is
# named, and the exit status says so.
"$velto" video --keep-going cut.mkv kept.mkv 2>stderr.txt
rc=$?
[ "$rc" -eq 1 ] && grep -q "lost" stderr.txt || fail "--keep-going: exit $rc, '$(cat stderr.txt)'"
n=$(probe kept.mkv -count_frames -select_streams v:0 -show_entries stream=nb_read_frames)
[ "${n:-0}" -gt 0 ] && [ "$n" -lt 50 ] || fail "--keep-going wrote ${n:-no} frames of the cut file"
# An input whose codec the container cannot hold: the container's own, and
# one line that says so.
"$velto" video hevc.mp4 fallback.webm 2>stderr.txt || fail "hevc.mp4 into .webm failed"
[ "$(wc -l <stderr.txt)" -eq 1 ] && grep -q "hevc video cannot go into .webm files; it is written as libvpx-vp9" stderr.txt &&
    [ "$(probe fallback.webm -show_entries stream=codec_name)" = vp9 ] ||
    fail "hevc.mp4 into .webm: '$(cat stderr.txt)'"
# -y replaces an existing output.
"$velto" video -y --lossless odd.mkv taken.mkv || fail "-y did not replace taken.mkv"
[ "$(probe taken.mkv -show_entries stream=codec_name)" = ffv1 ] || fail "-y left taken.mkv as it was"

# --- a signal in the middle: no output, no temporary ---
# The input comes through a pipe that stays open, so the run is still going.
{ cat full.mkv; sleep 5; } | "$velto" video --quiet - interrupted.mkv 2>/dev/null &
pid=$!
sleep 1
kill -TERM "$pid" 2>/dev/null
wait "$pid" 2>/dev/null
[ -e interrupted.mkv ] && fail "an interrupted run left interrupted.mkv"
no_temporaries "an interrupted run"

[ "$failures" -eq 0 ] || { echo "$failures failures"; exit 1; }
echo "all passed"
