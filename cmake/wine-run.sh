#!/bin/sh
# Runs a Windows program of the build under wine, in a prefix of the build
# tree's own (WINEPREFIX may name another), quietly and without wine's
# first-start installers.
here=$(cd "$(dirname "$1")" && pwd)
: "${WINEPREFIX:=$here/wineprefix}"
export WINEPREFIX
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
case "$1" in
  *64.exe|*/win64/*) exec wine64 "$@" ;;
esac
exec wine "$@"
