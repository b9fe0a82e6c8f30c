#!/bin/sh
# Builds the benchmarks and prints the performance tables: the native frame
# pass under Google Benchmark, then the plain timing program built native and
# 32-bit (run under wine), each case against a memcpy of the same frame in the
# same run. Extra arguments go to the Google Benchmark program, for example
#   tools/bench.sh --benchmark_filter=1920x1080
set -eu
cd "$(dirname "$0")/.."

cmake --preset native >/dev/null
cmake --build --preset native -j 2 --target frame_bench frame_timing
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j 2 --target frame_timing

echo "== native x86-64, Google Benchmark =="
build/native/bench/frame_bench "$@"
echo
echo "== native x86-64, plain timing loop =="
build/native/bench/frame_timing
echo
echo "== 32-bit Windows build under wine, plain timing loop =="
cmake/wine-run.sh build/win32/bench/frame_timing.exe
