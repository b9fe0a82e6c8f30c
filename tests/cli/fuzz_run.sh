#!/bin/sh
# Builds the readers' fuzz target (the CMake target fuzz_readers) with Debian's
# clang (libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer) and runs it
# for a bounded time from a few seeds.
# Usage: fuzz_run.sh SOURCE_DIR WORKDIR [SECONDS]
set -eu
src=$1
work=$2
seconds=${3:-40}
mkdir -p "$work/seeds"
cd "$work"
command -v clang++ >/dev/null || { echo "clang++ is missing: run tools/setup.sh"; exit 1; }

# A tree of its own, configured once and rebuilt as the sources change; -O1
# as libFuzzer advises, and no build type adding optimisations of its own.
launcher=
command -v ccache >/dev/null && launcher="-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache"
# shellcheck disable=SC2086
cmake -S "$src" -B build -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE= -DCMAKE_C_FLAGS="-O1 -g" -DCMAKE_CXX_FLAGS="-O1 -g" -DVELTO_FUZZ=ON \
    $launcher >configure.log 2>&1 || { tail -n 30 configure.log; exit 1; }
cmake --build build --target fuzz_readers -j2 >build.log 2>&1 || { tail -n 40 build.log; exit 1; }

# Seeds: the first byte picks the reader (even: image, odd: raw stream).
printf '\000P6\n3 2\n255\n%s' 'abcdefghijklmnopqr' >seeds/ppm
printf '\000P5\n2 2\n65535\n%s' 'abcdefgh' >seeds/pgm16
printf '\000P3\n2 1\n9\n1 2 3 4 5 6\n' >seeds/plain
printf '\000P1\n3 1\n0 1 0\n' >seeds/pbm
printf '\000P7\nWIDTH 2\nHEIGHT 1\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n%s' \
    'abcdefgh' >seeds/pam
# A header line of 253 bytes: libnetpbm would copy between overlapping buffers.
{ printf '\000P7\nWIDTH 2T 1'; head -c 243 /dev/zero | tr '\0' p; printf '\nxxxxxxxxxx'; } >seeds/pam-long-line
# A 1 x 1 RGB PNG.
printf '\000\211PNG\r\n\032\n\000\000\000\rIHDR\000\000\000\001\000\000\000\001\010\002\000\000\000\220wS\336\000\000\000\014IDATx\234c\370\317\300\000\000\003\001\001\000\311\376\222\357\000\000\000\000IEND\256B`\202' >seeds/png
# Small JPEGs: baseline colour with an EXIF block, progressive, grey.
command -v convert >/dev/null || { echo "ImageMagick is missing: run tools/setup.sh"; exit 1; }
convert -size 16x8 gradient:red-blue seed.jpg
{ printf '\000\377\330\377\341\000\042Exif\000\000MM\000*\000\000\000\010\000\001\001\022'
  printf '\000\003\000\000\000\001\000\006\000\000\000\000\000\000'; tail -c +3 seed.jpg; } >seeds/jpeg
{ printf '\000'; convert seed.jpg -interlace JPEG jpg:-; } >seeds/progressive
{ printf '\000'; convert seed.jpg -colorspace gray jpg:-; } >seeds/grey
# TIFFs (LZW, 16-bit Deflate grey, two pages, tiles), a 16-bit PNG, HEICs of
# 8 and 10 bits and an AVIF.
command -v heif-enc >/dev/null || { echo "heif-enc is missing: run tools/setup.sh"; exit 1; }
{ printf '\000'; convert seed.jpg -compress lzw tif:-; } >seeds/tiff
{ printf '\000'; convert seed.jpg -colorspace gray -depth 16 -compress zip tif:-; } >seeds/tiff16
{ printf '\000'; convert seed.jpg seed.jpg tif:-; } >seeds/tiff-pages
{ printf '\000'; convert seed.jpg -define tiff:tile-geometry=16x16 tif:-; } >seeds/tiff-tiles
{ printf '\000'; convert seed.jpg -depth 16 png:-; } >seeds/png16
# A 2 x 1 TIFF with an EXIF directory and an orientation, as libtiff writes
# it (ImageMagick writes no EXIF directory into a TIFF).
{ printf '\000'; base64 -d <<'TIFF'
SUkqAMwAAAAKFB7IZDIKAAABAwABAAAAAgAAAAEBAwABAAAAAQAAAAIBAwADAAAAjAAAAAMBAwAB
AAAAAQAAAAYBAwABAAAAAgAAABEBBAABAAAACAAAABIBAwABAAAABgAAABUBAwABAAAAAwAAABcB
BAABAAAABgAAAGmHDQABAAAAAAAAAAAAAAAIAAgACAACAJqCBQABAAAAxAAAAAOQAgAUAAAAsAAA
AAAAAAAyMDI2OjEyOjA5IDEwOjExOjEyAG8SgwAAAACACwAAAQMAAQAAAAIAAAABAQMAAQAAAAEA
AAACAQMAAwAAAFYBAAADAQMAAQAAAAEAAAAGAQMAAQAAAAIAAAARAQQAAQAAAAgAAAASAQMAAQAA
AAYAAAAVAQMAAQAAAAMAAAAXAQQAAQAAAAYAAAAcAQMAAQAAAAEAAABphw0AAQAAAJIAAAAAAAAA
CAAIAAgA
TIFF
} >seeds/tiff-exif
convert seed.jpg -depth 16 seed16.png
heif-enc -q 50 seed.jpg -o seed.heic >/dev/null && heif-enc -A -q 50 seed.jpg -o seed.avif >/dev/null &&
  heif-enc -b 10 -q 50 seed16.png -o seed10.heic >/dev/null
{ printf '\000'; cat seed.heic; } >seeds/heic
{ printf '\000'; cat seed10.heic; } >seeds/heic10
{ printf '\000'; cat seed.avif; } >seeds/avif
printf '\001\011%s' 'abcdefghijklmnopqrstuvwxyz0123456789' >seeds/stream

# libnetpbm leaks the strings of a PAM header when it jumps out of a bad
# one; that is the library's, a few bytes a file, and the tool reads one.
# libheif's AV1 decoder leaves dav1d's pictures behind when a damaged AVIF
# stops it halfway (the library's own, known and still open upstream).
printf '%s\n' 'leak:libnetpbm.so' 'leak:libdav1d.so' >lsan.supp
export LSAN_OPTIONS="suppressions=$work/lsan.supp:print_suppressions=0"
mkdir -p corpus
# One fixed seed: a run finds what the last one found, so a finding is never
# a matter of luck (only how far a run gets depends on the machine).
build/tests/cli/fuzz_readers -seed=1 -max_total_time="$seconds" -timeout=20 -print_final_stats=1 corpus seeds 2>fuzz.log ||
    { tail -n 60 fuzz.log; exit 1; }
tail -n 12 fuzz.log
