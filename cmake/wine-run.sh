#!/bin/sh
# Runs a Windows program of a build tree under wine, quietly and without wine's
# first-start installers. Unless WINEPREFIX names one, every program of a tree
# shares one prefix at the tree's top (next to CMakeCache.txt), so wine sets a
# prefix up once per tree.
if [ -z "${WINEPREFIX:-}" ]; then
  dir=$(cd "$(dirname "$1")" && pwd)
  while [ "$dir" != / ] && [ ! -f "$dir/CMakeCache.txt" ]; do
    dir=$(dirname "$dir")
  done
  [ "$dir" = / ] && dir=$(cd "$(dirname "$1")" && pwd)
  WINEPREFIX="$dir/wineprefix"
fi
export WINEPREFIX
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
# Debian's wine runs 32-bit and 64-bit programs alike.
exec wine "$@"
