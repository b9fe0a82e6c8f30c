#!/bin/sh
# Takes docs/dialog.png, the plug-in's configuration dialog as it opens in a
# host, on a virtual display under wine.
# Usage: tools/screenshot-dialog.sh [BUILD_TREE]   (default build/win32)
set -eu
cd "$(dirname "$0")/.."
root=$PWD

if [ "${1:-}" = "--on-display" ]; then
  # Second half, run on the virtual display by tests/plugin/run-display.sh.
  build=$2
  out=$3
  "$root/cmake/wine-run.sh" "$build/tests/plugin/show_dialog.exe" 60 &
  host=$!
  window=$(timeout 60 sh -c 'until xdotool search --onlyvisible --name "^Setting\$"; do sleep 0.2; done' | head -n 1)
  # Let the dialog finish painting before the picture is taken.
  sleep 1
  import -window "$window" "$out"
  kill "$host"
  wait "$host" || true
  exit 0
fi

build=$root/${1:-build/win32}
cmake --build "$build" --target velto_plugin show_dialog
export VELTO_PLUGIN="$build/velto.vdf"
mkdir -p docs
sh tests/plugin/run-display.sh "$build/wineprefix-display" \
  "$root/tools/screenshot-dialog.sh" --on-display "$build" "$root/docs/dialog.png"
echo "wrote docs/dialog.png"
