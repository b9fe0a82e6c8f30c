#!/bin/sh
# Makes the wine prefix PREFIX once and checks it, so that the programs of a
# tree never race to make it themselves. Whoever comes second waits for the
# first. A prefix that comes out without its system DLLs (as one made under
# emulation once did) is made again, up to three times.
# Usage: wine-prefix.sh PREFIX
set -u
prefix=$1
here=$(cd "$(dirname "$0")" && pwd)
[ -f "$prefix/.velto-ready" ] && exit 0

mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
[ -f "$prefix/.velto-ready" ] && exit 0

mode=$(sh "$here/i386-mode.sh")
export WINEPREFIX="$prefix"
export WINEDEBUG="${WINEDEBUG:--all,err+all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
log=$prefix.log

# What a good prefix has: the 64-bit system, and where 32-bit programs run,
# the 32-bit one beside it, which a 32-bit program can start from.
prefix_good() {
  [ -f "$prefix/drive_c/windows/system32/kernel32.dll" ] || return 1
  [ "$mode" = none ] && return 0
  [ -f "$prefix/drive_c/windows/syswow64/kernel32.dll" ] &&
    wine 'C:\windows\syswow64\cmd.exe' /c exit >>"$log" 2>&1
}

for attempt in 1 2 3; do
  rm -rf "$prefix"
  # wineboot itself is a 64-bit program: started by wine's 64-bit loader it
  # needs no 32-bit program, so a prefix can be made even where none runs.
  /usr/lib/wine/wine64 wineboot -i >"$log" 2>&1
  wineserver -w
  if prefix_good; then
    wineserver -w
    touch "$prefix/.velto-ready"
    exit 0
  fi
  wineserver -k 2>/dev/null
  echo "wine-prefix: $prefix is incomplete after attempt $attempt of 3" >&2
done
echo "wine-prefix: could not make $prefix; what wine said:" >&2
cat "$log" >&2
exit 1
