#!/bin/sh
# The main job: installs what is missing (tools/setup-if-needed.sh), builds the
# tool and the plug-in, corrects the bundled sample, writing out/corrected.png
# and a before/after picture side by side, out/before-after.png (the original
# on the left).
set -eu
cd "$(dirname "$0")/.."
tools/setup-if-needed.sh

jobs=$(nproc 2>/dev/null || echo 2)
for preset in native win32; do  # the tool, and the plug-in build/win32/velto.vdf
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
done

mkdir -p out
build/native/velto apply samples/lakeside-cast.png out/corrected.png
ffmpeg -v error -y -i samples/lakeside-cast.png -i out/corrected.png \
    -filter_complex "[0]pad=iw+8:ih:0:0:white[left];[left][1]hstack" \
    -pred mixed -compression_level 9 out/before-after.png

echo "Levels found in samples/lakeside-cast.png:"
build/native/velto analyze samples/lakeside-cast.png
echo "Wrote out/corrected.png and out/before-after.png (before on the left, after on the right)."
