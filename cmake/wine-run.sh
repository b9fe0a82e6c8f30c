#!/bin/sh
# Runs a Windows program of a build tree under wine, without wine's first-start
# installers. Unless WINEPREFIX names one, every program of a tree shares one
# prefix at the tree's top (next to CMakeCache.txt), made once by
# wine-prefix.sh.
#
# wine's own error lines are kept aside and shown only when the program fails,
# so a program that wine cannot start says why. Where 32-bit programs run
# under emulation, 32-bit programs run one at a time (two emulated wine
# programs at once have failed for want of memory) and see
# VELTO_I386_EMULATED=1, so a timing program can tell its figures mean nothing.
set -u
here=$(cd "$(dirname "$0")" && pwd)
if [ -z "${WINEPREFIX:-}" ]; then
  dir=$(cd "$(dirname "$1")" && pwd)
  while [ "$dir" != / ] && [ ! -f "$dir/CMakeCache.txt" ]; do
    dir=$(dirname "$dir")
  done
  [ "$dir" = / ] && dir=$(cd "$(dirname "$1")" && pwd)
  WINEPREFIX="$dir/wineprefix"
fi
export WINEPREFIX
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
export WINEDEBUG="${WINEDEBUG:--all,err+all}"
sh "$here/wine-prefix.sh" "$WINEPREFIX" || exit 1

# The machine field of the PE header: 8664 for x86-64, 14c for i386.
machine=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ')
[ -n "$machine" ] && machine=$(od -An -tx2 -j$((machine + 4)) -N2 "$1" | tr -d ' ')

# Debian's wine starts every program through its 32-bit loader when that is
# installed; a 64-bit program goes straight to the 64-bit one and so runs
# even where no 32-bit program can.
if [ "$machine" = 8664 ]; then
  set -- /usr/lib/wine/wine64 "$@"
elif [ "$(sh "$here/i386-mode.sh")" = emulated ]; then
  export VELTO_I386_EMULATED=1
  set -- flock -o "${TMPDIR:-/tmp}/velto-emulated-wine.lock" wine "$@"
else
  set -- wine "$@"
fi

errors=$(mktemp "${TMPDIR:-/tmp}/velto-wine.XXXXXX") || exit 1
trap 'rm -f "$errors"' EXIT
trap 'exit 143' TERM
trap 'exit 130' INT
"$@" 2>"$errors"
status=$?
if [ "$status" -eq 0 ]; then
  grep -v '^[0-9a-f]*:err:' "$errors" >&2
else
  cat "$errors" >&2
fi
exit "$status"
