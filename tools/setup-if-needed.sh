#!/bin/sh
# Runs tools/setup.sh only when something it sets up is missing, and says in
# one line whether it does. Looks without root and in about half a second:
# the packages of tools/packages.sh, the i386 architecture for wine32, and
# whether 32-bit programs run here (natively, or under a recent enough qemu).
# VELTO_NO_SETUP=1 skips even the look.
set -eu
cd "$(dirname "$0")/.."
if [ "${VELTO_NO_SETUP:-}" = 1 ]; then
  echo "setup: skipped (VELTO_NO_SETUP=1)"
  exit 0
fi
. tools/packages.sh

reason=""
command -v dpkg-query >/dev/null || reason="no dpkg-query"
if [ -z "$reason" ]; then
  missing=$(missing_of $packages)
  [ -z "$missing" ] || reason="missing:$missing"
fi
if [ -z "$reason" ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  reason="no i386 architecture in dpkg"
fi
if [ -z "$reason" ]; then
  case $(sh cmake/i386-mode.sh) in
    none) reason="32-bit programs do not run here" ;;
    emulated)
      # setup.sh wants qemu 8 or later behind the handler (the older one is far too slow).
      qemu=$(sed -n 's/^interpreter //p' /proc/sys/fs/binfmt_misc/qemu-i386 2>/dev/null)
      major=$("${qemu:-false}" --version 2>/dev/null | sed -n '1s/.* version \([0-9]*\)\..*/\1/p')
      [ "${major:-0}" -ge 8 ] || reason="32-bit programs run under an old or unknown emulator"
      ;;
  esac
fi

if [ -z "$reason" ]; then
  echo "setup: everything tools/setup.sh installs is here; not run (VELTO_NO_SETUP=1 skips this look)"
  exit 0
fi
echo "setup: running tools/setup.sh ($reason)"
exec tools/setup.sh
