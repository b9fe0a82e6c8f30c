#!/bin/sh
# Fails unless the plug-in exports exactly its entry points, undecorated, and
# imports from Windows system DLLs only (no GCC, C++ or thread runtime). The
# entry points are VirtualDub's two unless named.
# Usage: check-exports.sh OBJDUMP PLUGIN [EXPORT...]
set -eu
objdump=$1
plugin=$2
shift 2
dump=$("$objdump" -p "$plugin")

exports=$(printf '%s\n' "$dump" |
  sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' |
  sed -n 's/^[[:space:]]*\[ *[0-9]*\] //p' | sort)
[ $# -gt 0 ] || set -- VirtualdubFilterModuleDeinit VirtualdubFilterModuleInit2
want=$(printf '%s\n' "$@" | sort)
if [ "$exports" != "$want" ]; then
  echo "$plugin: exports are not exactly its entry points:" >&2
  printf '  %s\n' $exports >&2
  exit 1
fi

imports=$(printf '%s\n' "$dump" | sed -n 's/^[[:space:]]*DLL Name: //p')
[ -n "$imports" ] || { echo "$plugin: no import table found" >&2; exit 1; }
status=0
for dll in $imports; do
  case $(printf '%s' "$dll" | tr 'A-Z' 'a-z') in
    kernel32.dll|user32.dll|gdi32.dll|advapi32.dll|msvcrt.dll|ntdll.dll|comctl32.dll) ;;
    *) echo "$plugin: imports $dll, which is not a Windows system DLL" >&2; status=1 ;;
  esac
done
[ $status -eq 0 ] && echo "$plugin: exports $(echo $exports); imports $(echo $imports)"
exit $status
