#!/bin/sh
# How this machine runs 32-bit x86 Linux programs, such as wine's 32-bit
# loader, which every 32-bit Windows program starts through. Prints one word:
#   native    the kernel runs them itself
#   emulated  a binfmt_misc handler runs them under processor emulation (qemu)
#   none      they cannot run here
# The probe is a 93-byte static i386 program that only exits with 0, so it
# needs no 32-bit library: the answer is right before any i386 package is in.
set -u
probe_dir=${VELTO_PROBE_DIR:-$(cd "$(dirname "$0")/.." && pwd)/build}
mkdir -p "$probe_dir" 2>/dev/null || probe_dir=${TMPDIR:-/tmp}
probe=$probe_dir/i386-probe
if [ ! -x "$probe" ]; then
  # ELF header (52 bytes), one loadable segment (32 bytes), then
  # xor ebx, ebx; mov eax, 1; int 0x80 (exit with status 0).
  printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000\002\000\003\000\001\000\000\000T\200\004\0104\000\000\000\000\000\000\000\000\000\000\0004\000 \000\001\000\000\000\000\000\000\000\001\000\000\000\000\000\000\000\000\200\004\010\000\200\004\010]\000\000\000]\000\000\000\005\000\000\000\000\020\000\0001\333\270\001\000\000\000\315\200' \
    >"$probe.$$" && chmod 755 "$probe.$$" && mv -f "$probe.$$" "$probe"
fi
"$probe" 2>/dev/null || { echo none; exit 0; }

# It runs; through an enabled handler for i386 programs, or natively.
for entry in /proc/sys/fs/binfmt_misc/*; do
  case "$entry" in */register | */status) continue ;; esac
  [ -f "$entry" ] || continue
  if grep -qx enabled "$entry" 2>/dev/null &&
     grep -q '^magic 7f454c4601010100000000000000000002000300' "$entry" 2>/dev/null; then
    grep -qx enabled /proc/sys/fs/binfmt_misc/status 2>/dev/null && { echo emulated; exit 0; }
  fi
done
echo native
