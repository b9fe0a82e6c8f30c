#!/bin/sh
# Runs a Windows program of the build on a virtual display of its own, in a
# wine prefix kept for display programs only. wine's server for the prefix
# is waited out before the display starts and again before it goes, so no
# server outlives the display it was bound to.
# Usage: run-display.sh PREFIX PROGRAM [ARGUMENTS...]
# A PROGRAM ending in .sh is a shell script run on the display as it is.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
WINEPREFIX=$1
shift
export WINEPREFIX
sh "$here/../../cmake/wine-prefix.sh" "$WINEPREFIX"
wineserver -w
# There is no window manager on the virtual display: wine draws the windows'
# frames itself and does not wait for a manager to confirm each window.
if [ ! -f "$WINEPREFIX/.unmanaged" ]; then
  WINEDEBUG=-all /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null
  wineserver -w
  touch "$WINEPREFIX/.unmanaged"
fi
runner=$here/../../cmake/wine-run.sh
case "$1" in *.sh) runner=sh ;; esac
exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" \
  sh -c '"$0" "$@"; status=$?; wineserver -w; exit $status' \
  "$runner" "$@"
