#!/bin/sh
# The velto program end to end: help, exit codes and messages, images with
# and without alpha, raw streams on one and several threads, short streams,
# and outputs that never appear half-written. Test pictures come from
# ffmpeg's generated sources.
# Usage: commands_test.sh VELTO WORKDIR
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

# expect CODE TEXT COMMAND...: the exit code, and for a failure exactly one
# line on standard error that contains TEXT.
expect() {
    code=$1
    text=$2
    shift 2
    "$@" >stdout.txt 2>stderr.txt
    rc=$?
    [ "$rc" -eq "$code" ] || fail "'$*' exited $rc, not $code: $(cat stderr.txt)"
    if [ "$code" -ne 0 ]; then
        [ "$(wc -l <stderr.txt)" -eq 1 ] || fail "'$*': not one line on stderr: $(cat stderr.txt)"
        grep -q -- "$text" stderr.txt || fail "'$*': stderr lacks '$text': $(cat stderr.txt)"
    fi
}

no_temporaries() {
    leftovers=$(find . -name '.velto-*')
    [ -z "$leftovers" ] || fail "temporaries left behind after $1: $leftovers"
}

gen() {  # gen OUTPUT FILTER...: one generated picture or clip
    out=$1
    shift
    ffmpeg -v error -y -f lavfi -i "$@" "$out" || fail "ffmpeg could not make $out"
}
raw_of() {  # raw_of IMAGE RAW: its pixels as bgra
    ffmpeg -v error -y -i "$1" -f rawvideo -pix_fmt bgra "$2" || fail "ffmpeg could not read $1"
}

# --- help and usage ---
for cmd in "" apply analyze; do
    # shellcheck disable=SC2086
    $velto $cmd --help >help.txt 2>&1 || fail "velto $cmd --help failed"
    grep -q '^Usage: velto' help.txt || fail "velto $cmd --help shows no usage"
done
"$velto" --help | grep -q -- '--version' || fail "velto --help does not list --version"
# Both helps teach: what the levels do, then examples of a photo, a folder and a video.
for cmd in "" apply; do
    # shellcheck disable=SC2086
    $velto $cmd --help >help.txt
    grep -q "raising a channel's" help.txt && grep -q '^Examples:' help.txt &&
        grep -q 'velto apply photo.jpg' help.txt && grep -q 'velto apply --out-dir' help.txt &&
        grep -q 'velto video' help.txt || fail "velto $cmd --help does not teach"
done
"$velto" apply --help | grep -q 'A JPEG output of a' || fail "apply --help lacks the JPEG rule"
"$velto" apply --help | grep -q 'with it the output is the same' && fail "apply --help ties threads to --steady"
# (The option checks themselves are unit-tested; here the program's side.)
expect 2 "no command" "$velto"
expect 2 "velto apply --help" "$velto" apply --levels 20,41,20 a.png b.png
expect 2 "WIDTHxHEIGHT" "$velto" analyze --raw 65536x65536 a
expect 2 "unknown image extension" "$velto" apply a.png b.gif
expect 2 "it does not go with --method neutral" "$velto" apply --method neutral --levels 20,20,20 a.png b.png
expect 2 "does not go with --method classic or --levels" "$velto" analyze --levels 20,20,20 --strength 50 a.png
expect 2 "--strength wants a percentage from 0 to 100" "$velto" apply --strength 101 a.png b.png

# --- bad data: one line naming the file, exit 1, no output ---
gen rgb.png "testsrc2=size=96x64" -frames:v 1 -vf "colorchannelmixer=rr=0.9:gg=0.75:bb=0.5"
printf 'not a picture' >junk.png
head -c 300 rgb.png >cut.png
: >empty.png
printf 'P6\n100000 100000\n255\n' >huge.ppm
echo precious >keep.png
expect 1 "missing.png: cannot open" "$velto" apply missing.png out.png
expect 1 "junk.png: not a PNG" "$velto" apply junk.png out.png
expect 1 "cut.png: corrupt PNG" "$velto" apply cut.png out.png
expect 1 "empty.png: empty file" "$velto" apply empty.png out.png
expect 1 "huge.ppm: image too large" "$velto" analyze huge.ppm
expect 1 "is a directory" "$velto" analyze .
expect 1 "junk.png: not a PNG" "$velto" apply junk.png keep.png
expect 1 "nowhere/out.png: cannot create" "$velto" apply rgb.png nowhere/out.png
gen clip.mp4 "testsrc2=size=64x48:duration=1"
expect 1 "clip.mp4: a video, not a still image; video goes through 'velto video'" \
    "$velto" apply clip.mp4 out.png
expect 1 "missing.jpg: cannot open" "$velto" apply --out-dir made missing.jpg
[ -e made ] && fail "a run that wrote nothing made its --out-dir"
[ -e out.png ] && fail "a failed run left out.png"
[ "$(cat keep.png)" = precious ] || fail "a failed run touched an existing output"
no_temporaries "bad inputs"

# --- images ---
expect 0 "" "$velto" apply rgb.png out.png
[ -s out.png ] || fail "apply wrote no out.png"
cmp -s rgb.png out.png && fail "apply left the cast picture unchanged"
# Binary output is not written to a terminal (here a pseudo-terminal) unless
# forced.
script -qec "'$velto' apply rgb.png - 2>tty.err" /dev/null </dev/null >/dev/null
[ $? -eq 2 ] && grep -q "standard output is a terminal" tty.err ||
    fail "binary output to a terminal was not refused: $(cat tty.err)"
script -qec "'$velto' apply --force rgb.png -" /dev/null </dev/null >tty.out &&
    [ "$(wc -c <tty.out)" -ge "$(wc -c <out.png)" ] || fail "--force did not write to a terminal"
expect 0 "" "$velto" apply --levels 5,30,12 rgb.png out.ppm
head -c 2 out.ppm | grep -q P6 || fail "out.ppm is not a PPM"
"$velto" apply - - <rgb.png >piped.png || fail "apply - - failed"
cmp -s piped.png out.png || fail "apply through pipes differs from files"
"$velto" apply rgb.png noextension && cmp -s noextension out.png ||
    fail "an output without extension is not written like the input"

# The image path and the raw path give the same colours.
raw_of rgb.png rgb.bgra
"$velto" apply --raw 96x64 rgb.bgra rgb.out.bgra || fail "apply --raw failed"
raw_of out.png out.bgra
ffmpeg -v error -y -f rawvideo -pix_fmt bgra -s 96x64 -i rgb.out.bgra -pix_fmt bgr24 -f rawvideo a.bgr
ffmpeg -v error -y -i out.png -pix_fmt bgr24 -f rawvideo b.bgr
cmp -s a.bgr b.bgr || fail "an image and its raw frame are corrected differently"
for method in neutral classic; do
    "$velto" analyze --method $method --json --blocks rgb.png >image.json
    "$velto" analyze --method $method --json --blocks --raw 96x64 rgb.bgra >raw.json
    cmp -s image.json raw.json || fail "analyze of an image and of its raw frame differ ($method)"
done
"$velto" analyze --json rgb.png | grep -q '^{"frame":0,"width":96,"height":64,"method":"neutral","strength":1,"found":true,"light":\[[0-9.e-]*,1,[0-9.e-]*\],"confidence":.*,"gains":\[.*,"levels":\[20,20,20\],"black":\[' ||
    fail "analyze --json of the neutral correction does not read as documented"
grep -q '^{"frame":0,"width":96,"height":64,"levels":\[20,20,20\],"black":\[' image.json ||
    fail "analyze --json line does not start as documented: $(cat image.json)"
# --method classic is the classic at its default levels, the plug-in's bytes.
"$velto" apply --method classic rgb.png classic.png && "$velto" apply --levels 20,20,20 rgb.png levels.png &&
    cmp -s classic.png levels.png && ! cmp -s classic.png out.png ||
    fail "--method classic is not the classic at levels 20,20,20, or the neutral correction is"
[ "$(grep -o '"index":' image.json | wc -l)" -eq 16 ] || fail "analyze --blocks lists not 16 blocks"
# Which blocks decide: blocks 8 and 9 of the host's bottom-up order, in the
# picture the left-most block of the second block row and the right-most of
# the third; and --blocks numbers bottom-up too: the top-left block is 13.
patch() {  # patch X Y: analyze rgb.png with one of its 24 x 16 blocks, at X,Y, painted blue
    ffmpeg -v error -y -i rgb.png -vf "drawbox=x=$1:y=$2:w=24:h=16:color=blue:t=fill" patch.png
    "$velto" analyze --method classic --json --blocks patch.png >patch.json
}
levels() { sed 's/,"blocks".*//' "$1"; }
block() { grep -o "{\"index\":$2,[^}]*}" "$1"; }
patch 36 24
[ "$(levels patch.json)" = "$(levels image.json)" ] || fail "a patch at the centre changed the levels"
for at in "0 16" "72 32"; do
    patch $at
    [ "$(levels patch.json)" != "$(levels image.json)" ] || fail "a patch at $at left the levels alone"
done
patch 0 0
[ "$(block patch.json 13)" != "$(block image.json 13)" ] &&
    [ "$(block patch.json 1)" = "$(block image.json 1)" ] || fail "the top-left block is not block 13"
"$velto" analyze --help | grep -q "left-most block of the second block row" ||
    fail "analyze --help does not say which blocks decide"

# --- outputs: a file is replaced whole, keeping its mode; a symbolic link is
# followed; devices and FIFOs are written, never replaced ---
echo old >target.png
chmod 640 target.png
ln -s target.png link.png
mkdir -p elsewhere
ln -s ../target.png elsewhere/link.png
ln -s made.png dangling.png
for name in link.png elsewhere/link.png; do
    expect 0 "" "$velto" apply rgb.png $name
    [ -L $name ] || fail "$name, a symbolic link, was replaced by a file"
done
cmp -s target.png out.png || fail "a symbolic link's target was not written"
[ "$(stat -c %a target.png)" = 640 ] || fail "a replaced file lost its mode: $(stat -c %a target.png)"
expect 0 "" "$velto" apply rgb.png dangling.png
[ -L dangling.png ] && cmp -s made.png out.png || fail "a link to a missing file was not followed"
expect 1 "is a directory" "$velto" apply rgb.png elsewhere
mkfifo fifo
timeout 20 cat fifo >fifo.out &
reader=$!
expect 0 "" "$velto" apply rgb.png fifo
wait $reader
[ -p fifo ] && cmp -s fifo.out out.png || fail "a FIFO's reader did not get the output"
ln -s /dev/stdout tostdout
"$velto" apply rgb.png tostdout >std.png && [ -L tostdout ] && cmp -s std.png out.png ||
    fail "a name for standard output was not written through it"
if [ "$(id -u)" -eq 0 ]; then
    mknod null c 1 3 && mknod full c 1 7 && mknod block b 7 0 || fail "mknod failed"
    expect 0 "" "$velto" apply --raw 96x64 rgb.bgra null
    expect 1 "full: write error: No space left on device" "$velto" apply rgb.png full
    expect 1 "block: is a block device" "$velto" apply rgb.png block
    [ -c null ] && [ -c full ] && [ -b block ] || fail "a device node was replaced"
    chown 65534:65534 target.png
    expect 0 "" "$velto" apply rgb.png target.png
    [ "$(stat -c %u:%g:%a target.png)" = 65534:65534:640 ] ||
        fail "a replaced file lost its owner: $(stat -c %u:%g:%a target.png)"
    # A user who may not write /dev, where /dev/stdout lives, writes to it.
    setpriv --reuid=65534 --regid=65534 --clear-groups "$velto" apply rgb.png /dev/stdout |
        cat >asuser.png
    cmp -s asuser.png out.png || fail "/dev/stdout was not written for a user without root"
else
    echo "skipped (needs root): device nodes, owners, another user's /dev/stdout"
fi
no_temporaries "outputs"

# Alpha comes through unchanged; grey and 16-bit inputs are read.
gen rgba.png "testsrc2=size=64x48" -frames:v 1 \
    -vf "format=rgba,geq=r='r(X,Y)*0.6':g='g(X,Y)':b='b(X,Y)':a='4*X+Y'"
expect 0 "" "$velto" apply rgba.png rgba.out.png
expect 0 "" "$velto" apply rgba.png rgba.out.pam
for f in rgba.png rgba.out.png rgba.out.pam; do
    ffmpeg -v error -y -i "$f" -vf alphaextract -f rawvideo -pix_fmt gray "$f.alpha"
done
cmp -s rgba.png.alpha rgba.out.png.alpha || fail "PNG output lost the alpha"
cmp -s rgba.png.alpha rgba.out.pam.alpha || fail "PAM output lost the alpha"
expect 2 "holds no alpha" "$velto" apply rgba.png rgba.out.ppm
[ -e rgba.out.ppm ] && fail "a refused PPM output was written"
# Alpha that is opaque everywhere is dropped; --flatten lays any alpha on a colour.
gen opaque.png "testsrc2=size=64x48" -frames:v 1 -pix_fmt rgba
mkdir opaque && cp opaque.png opaque/
for run in "opaque.png opaque.jpg" "opaque.png opaque.ppm" "--out-dir opaque.out --format jpeg opaque/opaque.png" \
    "--flatten white rgba.png flat.jpg" "--flatten 000000 rgba.png flat.ppm"; do
    # shellcheck disable=SC2086
    expect 0 "" "$velto" apply $run
done
"$velto" apply rgb.png rgb.out.png && "$velto" apply --flatten ff0000 rgb.png rgb.flat.png &&
    cmp -s rgb.out.png rgb.flat.png || fail "--flatten changed a picture without alpha"
raw_of flat.ppm flat.bgra
od -An -tx1 -v flat.bgra | head -c 12 | grep -q '00 00 00' || fail "--flatten 000000 did not lay a clear corner on black"
/usr/bin/convert rgb.png -interlace PNG interlaced.png || fail "ImageMagick is missing"
"$velto" apply interlaced.png interlaced.out.png && raw_of interlaced.out.png a.bgra &&
    raw_of out.png b.bgra && cmp -s a.bgra b.bgra ||
    fail "an interlaced PNG is not read like the plain one"
gen grey.png "testsrc2=size=64x48" -frames:v 1 -pix_fmt gray
gen deep.png "testsrc2=size=64x48" -frames:v 1 -pix_fmt rgb48be
expect 0 "" "$velto" apply grey.png grey.out.png
expect 0 "" "$velto" apply deep.png deep.out.png
expect 0 "" "$velto" analyze --method classic grey.png
grep -q 'gain        R 64  G 64  B 64' stdout.txt || fail "grey at equal levels is not left alone"
raw_of grey.png a.bgra && raw_of grey.out.png b.bgra && cmp -s a.bgra b.bgra ||
    fail "the neutral correction changed a grey picture"

# One large picture shows its progress on a terminal, and takes one decoded
# copy of memory (and the rows being encoded), not two.
gen large.png "testsrc2=size=4000x3000" -frames:v 1
script -qec "'$velto' apply large.png large.out.png" /dev/null </dev/null >large.tty
grep -q "large.out.png: writing [0-9]*%" large.tty || fail "no progress for a large picture: $(cat large.tty)"
if [ -x /usr/bin/time ] && [ -z "${VELTO_SANITIZED:-}" ]; then
    /usr/bin/time -f %M -o large.rss "$velto" apply large.png large.out.png
    decoded=$((4000 * 3000 * 4 / 1024))
    [ "$(cat large.rss)" -lt $((decoded * 3 / 2)) ] ||
        fail "a picture of $decoded KiB decoded took $(cat large.rss) KiB"
fi

# --- photographs: JPEG in and out, EXIF and ICC profile carried ---
hex() { od -An -tx1 -v "$1" | tr -d ' \n'; }
holds() { case "$(hex "$1")" in *"$(hex "$2")"*) return 0 ;; esac; return 1; }
ffmpeg -v error -y -i rgb.png -q:v 2 plain.jpg || fail "ffmpeg could not write a JPEG"
# An EXIF block saying "rotate 90 degrees", and a small RGB profile.
printf '\377\341\000\042Exif\000\000MM\000*\000\000\000\010\000\001\001\022\000\003\000\000\000\001\000\006\000\000\000\000\000\000' >exif.seg
{ printf '\377\342\000\224ICC_PROFILE\000\001\001\000\000\000\204'; head -c 8 /dev/zero
  printf 'mntrRGB XYZ '; head -c 12 /dev/zero; printf 'acsp'; head -c 92 /dev/zero; } >icc.seg
{ head -c 2 plain.jpg; cat exif.seg icc.seg; tail -c +3 plain.jpg; } >photo.jpg
expect 0 "" "$velto" apply photo.jpg photo.out.jpg
[ "$(head -c 3 photo.out.jpg | od -An -tx1 | tr -d ' ')" = ffd8ff ] || fail "photo.out.jpg is not a JPEG"
holds photo.out.jpg exif.seg || fail "the EXIF block did not reach the corrected JPEG"
holds photo.out.jpg icc.seg || fail "the ICC profile did not reach the corrected JPEG"
# The pixels are libjpeg-turbo's, as ImageMagick reads them too, and corrected.
convert plain.jpg decoded.png || fail "ImageMagick could not read a JPEG"
"$velto" apply photo.jpg photo.out.png && "$velto" apply decoded.png decoded.out.png &&
    raw_of photo.out.png a.bgra && raw_of decoded.out.png b.bgra && raw_of decoded.png c.bgra
cmp -s a.bgra b.bgra && ! cmp -s a.bgra c.bgra || fail "a JPEG is not read and corrected like its pixels"
expect 0 "" "$velto" apply --quality 40 photo.jpg small.jpg
[ "$(wc -c <small.jpg)" -lt "$(wc -c <photo.out.jpg)" ] || fail "--quality 40 did not shrink the JPEG"
convert plain.jpg -interlace JPEG progressive.jpg && convert plain.jpg -colorspace gray grey.jpg &&
    convert plain.jpg -colorspace CMYK cmyk.jpg || fail "ImageMagick could not write JPEGs"
expect 0 "" "$velto" apply progressive.jpg progressive.out.jpg
expect 0 "" "$velto" apply grey.jpg grey.out.png
head -c 900 photo.jpg >cut.jpg
expect 1 "cmyk.jpg: a CMYK JPEG" "$velto" apply cmyk.jpg out.jpg
expect 1 "cut.jpg: corrupt JPEG: premature end" "$velto" apply cut.jpg out.jpg
expect 2 "--quality is for JPEG, WebP, HEIC and AVIF output" "$velto" apply --quality 80 photo.jpg out.png
# A JPEG output follows a JPEG input: a quality-76 4:2:0 photo stays about its
# size, and a grey one stays grey.
gen natural.png "testsrc2=size=320x240" -frames:v 1
convert natural.png -quality 76 -sampling-factor 2x2 q76.jpg && convert natural.png -colorspace gray \
    -quality 90 grey90.jpg || fail "ImageMagick could not write JPEGs"
for f in q76 grey90; do
    "$velto" apply $f.jpg $f.out.jpg || fail "apply $f.jpg failed"
    [ "$(wc -c <$f.out.jpg)" -le $(($(wc -c <$f.jpg) * 11 / 10)) ] ||
        fail "$f.jpg grew from $(wc -c <$f.jpg) to $(wc -c <$f.out.jpg) bytes"
done
[ "$(ffprobe -v error -show_entries stream=pix_fmt -of csv=p=0 grey90.out.jpg)" = gray ] ||
    fail "a grey JPEG came out in colour"
[ "$(ffprobe -v error -show_entries stream=pix_fmt -of csv=p=0 q76.out.jpg)" = yuvj420p ] ||
    fail "a 4:2:0 JPEG lost its colour resolution"
# The resolution is kept, from JPEG to PNG and back.
convert plain.jpg -density 300 -units PixelsPerInch dpi.jpg || fail "ImageMagick could not set a density"
"$velto" apply dpi.jpg dpi.png && "$velto" apply dpi.png dpi.out.jpg ||
    fail "apply of a 300 dpi picture failed"
[ "$(identify -format '%x %U' dpi.out.jpg)" = "300 PixelsPerInch" ] ||
    fail "300 dpi became $(identify -format '%x %U' dpi.png) in PNG, $(identify -format '%x %U' dpi.out.jpg) in JPEG"
# Colour information that cannot be carried is said, in one line.
expect 0 "" "$velto" apply interlaced.png interlaced.jpg
grep -q "interlaced.png: not carried to interlaced.jpg: the gAMA chunk" stderr.txt ||
    fail "gAMA left out of a JPEG in silence: $(cat stderr.txt)"
# Damaged data is refused, or written with --keep-going and a warning.
{ head -c -2 plain.jpg; printf 'damaged in transit\377\331'; } >damaged.jpg
expect 1 "damaged.jpg: corrupt JPEG: " "$velto" apply damaged.jpg damaged.out.jpg
[ -e damaged.out.jpg ] && fail "a damaged JPEG was written without --keep-going"
expect 0 "" "$velto" apply --keep-going damaged.jpg damaged.out.jpg
[ -s damaged.out.jpg ] && [ "$(wc -l <stderr.txt)" -eq 1 ] &&
    grep -q "written all the same (--keep-going)" stderr.txt || fail "--keep-going: $(cat stderr.txt)"

# --- many files: one line for a bad one, the others written ---
mkdir photos other
cp rgb.png photos/a.png
cp photo.jpg photos/b.jpg
cp grey.png photos/c.png
cp cut.jpg photos/d.jpg
cp rgb.png other/a.png
expect 1 "photos/d.jpg: corrupt JPEG" "$velto" apply --out-dir done --threads 2 photos/*
for f in a.png b.jpg c.png; do
    "$velto" apply "photos/$f" "one-$f" && cmp -s "one-$f" "done/$f" ||
        fail "done/$f differs from the file corrected alone"
done
[ -e done/d.jpg ] && fail "a corrupt file made an output"
cp done/a.png before.png
expect 1 "done/a.png: exists already" "$velto" apply --out-dir done photos/a.png
cmp -s done/a.png before.png || fail "an output was replaced without --overwrite"
expect 0 "" "$velto" apply --out-dir done --overwrite photos/a.png
expect 1 "other/a.png: skipped: two/a.png is the output of photos/a.png" \
    "$velto" apply --out-dir two photos/a.png other/a.png
expect 0 "" "$velto" apply --out-dir conv --format jpeg photos/a.png photos/b.jpg
[ -s conv/a.jpg ] && cmp -s conv/b.jpg done/b.jpg || fail "--format jpeg did not write conv/*.jpg"
script -qec "'$velto' apply --out-dir tty photos/a.png photos/b.jpg" /dev/null </dev/null >tty.txt
grep -q "2/2 files" tty.txt || fail "no progress of files on a terminal: $(cat tty.txt)"
"$velto" analyze --json photos/* >many.json 2>stderr.txt
[ $? -eq 1 ] && [ "$(wc -l <stderr.txt)" -eq 1 ] && [ "$(grep -c '^{"file":"photos/[abc]\.' many.json)" -eq 3 ] ||
    fail "analyze of several files: $(cat many.json stderr.txt)"
no_temporaries "many files"

# --- streams ---
gen clip.bgra "testsrc2=size=72x40:rate=10:duration=2" -vf "colorbalance=rs=0.3:bs=-0.3" \
    -f rawvideo -pix_fmt bgra
frames=20
[ "$(wc -c <clip.bgra)" -eq $((72 * 40 * 4 * frames)) ] || fail "ffmpeg made the wrong clip"
"$velto" apply --raw 72x40 --threads 1 clip.bgra one.bgra || fail "one thread failed"
for n in 2 3 7; do
    "$velto" apply --raw 72x40 --threads $n clip.bgra many.bgra || fail "$n threads failed"
    cmp -s one.bgra many.bgra || fail "$n threads give other bytes than one"
done
"$velto" apply --raw 72x40 - - <clip.bgra >piped.bgra || fail "stream through pipes failed"
cmp -s one.bgra piped.bgra || fail "stream through pipes differs"
od -An -tx1 -v one.bgra | awk '{ for (i = 4; i <= NF; i += 4) if ($i != "00") bad = 1 }
    END { exit bad }' || fail "raw output frames have a fourth byte other than 0"
"$velto" analyze --raw 72x40 --json --threads 3 clip.bgra >clip.json
[ "$(wc -l <clip.json)" -eq $frames ] || fail "analyze --json wrote not one line a frame"
[ "$(sed -n '20p' clip.json | cut -c1-12)" = '{"frame":19,' ] || fail "frames out of order"
"$velto" analyze --raw 72x40 --threads 1 clip.bgra >clip1.txt
"$velto" analyze --raw 72x40 --threads 4 clip.bgra >clip4.txt
cmp -s clip1.txt clip4.txt || fail "analyze differs between thread counts"
# --steady: levels smoothed in frame order, the same bytes on any thread count;
# at the cut to another scene a new scene starts on its own levels.
gen zoom.bgra "mandelbrot=size=72x40:rate=10" -t 2 -vf "colorbalance=bs=0.4:gs=-0.2" \
    -f rawvideo -pix_fmt bgra
cat clip.bgra zoom.bgra >cuts.bgra
steady="--raw 72x40 --steady 1 --fps 10"
# shellcheck disable=SC2086
"$velto" apply $steady --threads 1 cuts.bgra steady1.bgra || fail "--steady failed"
for n in 2 5; do
    # shellcheck disable=SC2086
    "$velto" apply $steady --threads $n cuts.bgra steady$n.bgra && cmp -s steady1.bgra steady$n.bgra ||
        fail "--steady on $n threads gives other bytes than on one"
done
"$velto" apply --raw 72x40 cuts.bgra plain.bgra
cmp -s steady1.bgra plain.bgra && fail "--steady changed nothing"
for method in neutral classic; do
    # shellcheck disable=SC2086
    "$velto" analyze $steady --method $method --json --threads 3 cuts.bgra >steady.json
    [ "$(grep -c '"newScene":true' steady.json)" -eq 2 ] && sed -n 21p steady.json | grep -q '"newScene":true' ||
        fail "--steady did not start a scene at frames 0 and 20 ($method): $(grep -n 'newScene":true' steady.json | cut -c1-20)"
done
grep -q '"measuredBlack":' steady.json || fail "analyze --steady does not report the measured levels"
expect 2 "add --fps RATE" "$velto" apply --raw 72x40 --steady 1 clip.bgra x.bgra
: >nothing.bgra
expect 1 "nothing.bgra: holds no frame" "$velto" apply --raw 72x40 nothing.bgra nothing.out
[ -e nothing.out ] && fail "an empty stream made an output"
expect 1 "standard input: holds no frame" sh -c "'$velto' analyze --raw 72x40 - </dev/null"

# A stream cut inside frame 5: the five whole frames are written, exit 1.
head -c $((72 * 40 * 4 * 5 + 999)) clip.bgra >cut.bgra
head -c $((72 * 40 * 4 * 5)) one.bgra >five.bgra
for n in 1 4; do
    expect 1 "cut.bgra: frame 5 is incomplete (999 of 11520 bytes)" \
        "$velto" apply --raw 72x40 --threads $n cut.bgra cut.out
    cmp -s five.bgra cut.out || fail "the whole frames before a short one are not kept ($n threads)"
done
head -c $((72 * 40 * 4 + 5)) clip.bgra >one-cut.bgra
expect 1 "frame 1 is incomplete (5 of 11520 bytes); the 1 whole frame before it is written" \
    "$velto" apply --raw 72x40 one-cut.bgra one-cut.out
head -c 999 clip.bgra >tiny.bgra
echo precious >keep.bgra
expect 1 "frame 0 is incomplete (999 of 11520 bytes); nothing is written" \
    "$velto" apply --raw 72x40 tiny.bgra keep.bgra
[ "$(cat keep.bgra)" = precious ] || fail "a stream without a whole frame replaced a file"
# A write that fails after the reader has met the cut: the error wins and the
# torn output is dropped, on any thread count. (A file size limit makes the
# write fail; with SIGXFSZ ignored it fails with EFBIG instead of a signal.)
for n in 4 1; do
    rm -f limited.bgra
    expect 1 "limited.bgra: write error: File too large" sh -c \
        "trap '' XFSZ; ulimit -f 30; exec '$velto' apply --raw 72x40 --threads $n cut.bgra limited.bgra"
    [ -e limited.bgra ] && fail "a failed write left an output ($n threads)"
done
"$velto" apply --raw 72x40 - - <cut.bgra >cut.piped 2>stderr.txt && fail "a short stream succeeded"
grep -q "standard input: frame 5 is incomplete" stderr.txt || fail "no short-frame message: $(cat stderr.txt)"
cmp -s five.bgra cut.piped || fail "standard output lacks the whole frames before a short one"
expect 1 "frame 5 is incomplete" "$velto" analyze --method classic --raw 72x40 cut.bgra
[ "$(wc -l <stdout.txt)" -eq 25 ] || fail "analyze of a short stream did not report the five frames"

# A failed write says so and leaves nothing behind.
if [ -w /dev/full ]; then
    expect 1 "standard output: write error" sh -c "'$velto' apply --raw 72x40 clip.bgra - >/dev/full"
    expect 1 "standard output: write error" sh -c "'$velto' analyze rgb.png >/dev/full"
fi
# An interrupted stream leaves neither its output nor its temporary, whatever
# the signal that ends it, and dies of that signal.
for signal in TERM HUP PIPE USR1 ALRM RTMIN; do
    (cat clip.bgra; sleep 2) | "$velto" apply --raw 72x40 --quiet - stopped.bgra &
    pid=$!
    sleep 0.5
    kill -s $signal $pid
    wait $pid
    [ $? -gt 128 ] || fail "velto did not die of SIG$signal"
    [ -e stopped.bgra ] && fail "SIG$signal left an output"
done
sh -c "ulimit -f 30; exec '$velto' apply --raw 72x40 clip.bgra stopped.bgra" 2>/dev/null
[ $? -gt 128 ] && [ ! -e stopped.bgra ] || fail "SIGXFSZ did not end velto cleanly"
# A signal the caller ignores stays ignored: a background job of this shell
# ignores SIGINT.
(cat clip.bgra; sleep 1) | "$velto" apply --raw 72x40 --quiet - kept.bgra &
pid=$!
sleep 0.5
kill -s INT $pid
wait $pid && cmp -s kept.bgra one.bgra || fail "an ignored SIGINT stopped velto"
wait
no_temporaries "all runs"

# Photo formats beside PNG and JPEG, one row each: FILE MAKE (a command
# writing FILE from photo-src.png or the 16-bit grad16.png). Each is corrected
# in its own format and kind (compression, depth; a WebP's lossless or not),
# a 16-bit one keeps more than 256 values a channel, a damaged copy is refused
# in one line with nothing written, and a folder run takes them all together.
for tool in cwebp heif-enc heif-convert tiffcp tiffinfo; do
  command -v $tool >/dev/null || fail "$tool is missing: run tools/setup.sh"
done
kind() {  # a WebP's first chunk, a HEIF's brand, or format, depth and compression
  case $1 in
    *.webp) head -c 16 "$1" | tail -c 8 ;;
    *.heic | *.avif) head -c 12 "$1" | tail -c 4 ;;
    *) identify -format '%m %z %C' "$1[0]" ;;
  esac
}
ffmpeg -loglevel error -y -f lavfi -i testsrc=size=64x48 -frames:v 1 photo-src.png
convert -size 64x600 gradient:'#102030-#e0c090' -depth 16 grad16.png
mkdir -p mixed
while read -r file make; do
  sh -c "$make" || { fail "$file: cannot make the input"; continue; }
  expect 0 "" "$velto" apply "$file" "out-$file"
  [ "$(kind "out-$file")" = "$(kind "$file")" ] ||
    fail "$file: the output is not of the input's format and kind: $(kind "out-$file")"
  # A deep input keeps its depth: 16 bits in a PNG or TIFF, 10 in a HEIC
  # (decoded to a 16-bit PNG to count).
  deep=
  case $file in 10bit.*) heif-convert "out-$file" "out-$file.png" >/dev/null && deep="out-$file.png" ;; esac
  [ "$(identify -format %z "$file[0]")" = 16 ] && deep="out-$file"
  for c in ${deep:+R G B}; do
    [ "$(convert "$deep" -channel $c -separate -format %k info:)" -gt 256 ] ||
      fail "$file: the corrected $c channel has no more than 256 values"
  done
  head -c 120 "$file" >"bad-$file"
  expect 1 "bad-$file" "$velto" apply "bad-$file" "bad-out-$file"
  [ ! -e "bad-out-$file" ] || fail "$file: a damaged input left an output"
  cp "$file" mixed/
done <<ROWS
lossy.webp cwebp -quiet -q 70 photo-src.png -o lossy.webp
lossless.webp cwebp -quiet -lossless photo-src.png -o lossless.webp
lzw.tif convert photo-src.png -compress lzw lzw.tif
plain.tif tiffcp -c none lzw.tif plain.tif
zip16.tif convert grad16.png -compress zip zip16.tif
grad16.png true
photo.heic heif-enc -q 70 photo-src.png -o photo.heic >/dev/null
photo.avif heif-enc -A -q 70 photo-src.png -o photo.avif >/dev/null
10bit.heic heif-enc -b 10 -q 90 grad16.png -o 10bit.heic >/dev/null
ROWS
cp photo-src.png mixed/
# libheif's AV1 encoder fails on 10 bits: a deep AVIF is written at 8, and said so.
"$velto" apply grad16.png deep.avif 2>stderr.txt && heif-convert deep.avif deep.avif.png >/dev/null &&
  [ "$(identify -format %z deep.avif.png)" = 8 ] &&
  grep -q "not carried to deep.avif: the depth beyond 8 bits" stderr.txt ||
  fail "a 16-bit PNG to AVIF: $(cat stderr.txt)"
expect 0 "" "$velto" apply --out-dir mixed-out mixed/*
[ "$(ls mixed-out | wc -l)" -eq 10 ] || fail "a folder of mixed formats: $(ls mixed-out)"
# A multi-page TIFF: the first page is corrected, and the rest said to be left.
convert photo-src.png photo-src.png photo-src.png pages.tif
"$velto" apply pages.tif pages.out.tif 2>stderr.txt &&
  grep -q "pages.tif: the other 2 pages are left out" stderr.txt &&
  [ "$(identify pages.out.tif | wc -l)" -eq 1 ] || fail "a multi-page TIFF: $(cat stderr.txt)"
# The EXIF orientation ("rotate 90 degrees") and the profile of photo.jpg,
# through TIFF (a tag) and HEIC (the file's transforms), and back to JPEG.
tail -c 132 icc.seg >profile.icc
"$velto" apply photo.jpg turned.tif && "$velto" apply turned.tif turned-tif.jpg &&
  "$velto" apply photo.jpg turned.heic && "$velto" apply turned.heic turned-heic.jpg ||
  fail "apply of a turned photo through TIFF and HEIC failed"
tiffinfo turned.tif | grep -q "Orientation: row 0 rhs, col 0 top" || fail "a TIFF lost the orientation"
[ "$(identify -format '%w %[EXIF:Orientation]' turned-tif.jpg)" = "96 6" ] ||
  fail "the orientation did not come back from a TIFF"
heif-info turned.heic | grep -q "image: 64x96" || fail "a HEIC is not turned as the photo was"
[ "$(identify -format '%w %[EXIF:Orientation]' turned-heic.jpg)" = "64 1" ] ||
  fail "a HEIC's turned picture would be turned again: $(identify -format '%w %[EXIF:Orientation]' turned-heic.jpg)"
for f in turned.tif turned.heic turned-tif.jpg turned-heic.jpg; do
  holds $f profile.icc || fail "$f lost the ICC profile"
done
# XMP from a JPEG through PNG, TIFF and HEIC back to a JPEG.
printf '<x:xmpmeta xmlns:x="adobe:ns:meta/">velto-xmp</x:xmpmeta>' >packet.xmp
convert photo-src.png -profile XMP:packet.xmp xmp.jpg
"$velto" apply xmp.jpg xmp.png && "$velto" apply xmp.png xmp.tif && "$velto" apply xmp.tif xmp.heic &&
  "$velto" apply xmp.heic xmp.out.jpg && grep -q velto-xmp xmp.out.jpg || fail "XMP was not carried"

[ "$failures" -eq 0 ] || { echo "$failures failures"; exit 1; }
echo "all command tests passed"
