#!/bin/sh
# How far each correction removes colour casts from real photographs: the
# natural photographs of Debian's opencv-doc and python3-skimage packages,
# each given five casts the way light makes them, corrected by velto's
# neutral correction, its classic one, and ffmpeg's normalize and grayworld
# filters in the same run (bench/quality_measure.cpp says how it measures).
# The packages are fetched once with apt-get download (no root needed) into
# a cache outside the repository, ${XDG_CACHE_HOME:-~/.cache}/velto-quality,
# and unpacked there; nothing is installed.
# Prints the table and exits with 1 when a target of the neutral correction
# is missed. Usage: tools/bench-quality.sh [--per-photo]
set -eu
cd "$(dirname "$0")/.."
cache=${XDG_CACHE_HOME:-$HOME/.cache}/velto-quality
mkdir -p "$cache"

for package in opencv-doc python3-skimage; do
  if ! ls "$cache/$package"_*.deb >/dev/null 2>&1; then
    echo "bench-quality: fetching $package into $cache" >&2
    (cd "$cache" && apt-get download -q "$package" >/dev/null 2>&1) ||
      { echo "bench-quality: apt-get download $package failed (is the package index up to date?)" >&2; exit 1; }
  fi
  if [ ! -e "$cache/unpacked-$package" ]; then
    dpkg-deb -x "$cache/$package"_*.deb "$cache/root"
    touch "$cache/unpacked-$package"
  fi
done

# The natural photographs: no drawings, renders, paintings, charts, grey
# pictures, micrographs or astronomy.
opencv=$cache/root/usr/share/doc/opencv-doc/examples/data
skimage=$cache/root/usr/lib/python3/dist-packages/skimage/data
photos=""
for f in aero1.jpg aloeL.jpg apple.jpg baboon.jpg board.jpg building.jpg butterfly.jpg \
         ela_original.jpg fruits.jpg home.jpg left.jpg leuvenA.jpg licenseplate_motion.jpg \
         messi5.jpg orange.jpg squirrel_cls.jpg graf1.png rubberwhale1.png smarties.png \
         chicky_512.png; do
  photos="$photos $opencv/$f"
done
for f in astronaut.png chelsea.png coffee.png motorcycle_left.png rocket.jpg; do
  photos="$photos $skimage/$f"
done
for f in $photos; do
  [ -f "$f" ] || { echo "bench-quality: $f is missing from the package" >&2; exit 1; }
done

cmake --preset native >/dev/null
cmake --build --preset native -j 2 --target quality_measure >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# shellcheck disable=SC2086
build/native/bench/quality_measure --work "$work" "$@" $photos
