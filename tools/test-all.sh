#!/bin/sh
# Sets up the machine, builds every tree and runs every test:
# native, native under the sanitizers, and the Windows plug-ins under wine.
set -eu
cd "$(dirname "$0")/.."
tools/setup.sh

presets="native sanitize win32 win64"
[ -n "${VELTO_PRESETS:-}" ] && presets="$VELTO_PRESETS"

jobs=$(nproc 2>/dev/null || echo 2)
for preset in $presets; do
  echo "== $preset =="
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  case "$preset" in
    win*)
      # Set the tree's wine prefix up once, before tests start in parallel.
      WINEPREFIX="$PWD/build/$preset/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
        wineboot -i >/dev/null 2>&1 || true
      WINEPREFIX="$PWD/build/$preset/wineprefix" wineserver -w || true
      ;;
  esac
  ctest --preset "$preset" -j "$jobs"
done
