#!/bin/sh
# Builds the benchmarks and prints the performance tables, each case against a
# memcpy of the same frame in the same run:
# - native x86-64: the Google Benchmark program, every case at 640x480,
#   1920x1080 and 3840x2160;
# - 64-bit and 32-bit Windows, under wine: the plain timing program, the
#   engine's cases and the built plug-in's frame callback at 1920x1080 and
#   3840x2160.
# Extra arguments go to the Google Benchmark program, for example
#   tools/bench.sh --benchmark_filter=1920x1080
# (tools/bench-video.sh times velto video against ffmpeg alone.)
set -eu
cd "$(dirname "$0")/.."

cmake --preset native >/dev/null
cmake --build --preset native -j 2 --target frame_bench
for preset in win64 win32; do
  cmake --preset $preset >/dev/null
  cmake --build --preset $preset -j 2 --target frame_timing velto_plugin
done

echo "== native x86-64, Google Benchmark =="
build/native/bench/frame_bench "$@"
echo
echo "== 64-bit Windows build under wine: the engine and velto64.vdf =="
cmake/wine-run.sh build/win64/bench/frame_timing.exe --size 1920x1080 --size 3840x2160 \
  --plugin build/win64/velto64.vdf
echo
echo "== 32-bit Windows build under wine: the engine and velto.vdf =="
if [ "$(sh cmake/i386-mode.sh)" = emulated ]; then
  echo "bench: this machine runs 32-bit programs under processor emulation; their timings would mean nothing, so none are taken"
else
  cmake/wine-run.sh build/win32/bench/frame_timing.exe --size 1920x1080 --size 3840x2160 \
    --plugin build/win32/velto.vdf
fi
