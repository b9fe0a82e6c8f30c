#!/bin/sh
# Sets up the machine, builds every tree and runs every test:
# native, native under the sanitizers, and the Windows plug-ins under wine.
set -eu
cd "$(dirname "$0")/.."
tools/setup.sh

presets="native sanitize win32"
[ -n "${VELTO_PRESETS:-}" ] && presets="$VELTO_PRESETS"

jobs=$(nproc 2>/dev/null || echo 2)
for preset in $presets; do
  echo "== $preset =="
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset" -j "$jobs"
done
