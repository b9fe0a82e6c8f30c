#!/bin/sh
# Runs a Windows program of the build under wine, in a prefix of the build
# tree's own (WINEPREFIX may name another), quietly and without wine's
# first-start installers.
here=$(cd "$(dirname "$1")" && pwd)
: "${WINEPREFIX:=$here/wineprefix}"
export WINEPREFIX
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
# Debian's wine runs 32-bit and 64-bit programs alike.
exec wine "$@"
