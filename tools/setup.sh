#!/bin/sh
# Installs what a fresh Debian 12 machine lacks to build and test every tree.
# Safe to run again: it asks apt only for packages that are missing.
#
# The 32-bit plug-in's tests run 32-bit wine. Where the kernel cannot run
# 32-bit programs, setup has them run under processor emulation instead:
# qemu's user-mode emulator, registered as binfmt_misc handler of i386
# programs, and says so in one line. Where the kernel runs them, nothing
# changes. Two switches, for testing that path on any machine:
#   tools/setup.sh --emulate-i386   run 32-bit programs under emulation from
#                                   now on (until reboot), even where the
#                                   kernel could run them
#   tools/setup.sh --native-i386    remove that handler again
set -eu
cd "$(dirname "$0")/.."

sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo

. tools/packages.sh

binfmt=/proc/sys/fs/binfmt_misc
handler=$binfmt/qemu-i386
# i386 executables and shared objects, as the kernel's own ELF loader sees them.
i386_magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
i386_mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'

apt_updated=""
# A mirror caught mid-sync serves an index of the wrong size for a minute or
# two: apt-get update is tried again after a pause, and where an index still
# fails the old one (or none) is used; the install that follows says clearly
# if a package cannot be had.
apt_update() {
  [ -z "$apt_updated" ] || return 0
  for pause in 10 30 0; do
    if $sudo apt-get update -qq; then apt_updated=1; lists_incomplete=""; return 0; fi
    [ "$pause" -eq 0 ] || { echo "setup: apt-get update failed; trying again in ${pause}s"; sleep "$pause"; }
  done
  echo "setup: apt-get update failed every time; going on with the package lists this machine has"
  apt_updated=1
  lists_incomplete=1
}
lists_incomplete=""

# qemu's major version, 0 when it is missing.
qemu_major() {
  v=$("$1" --version 2>/dev/null | sed -n '1s/.* version \([0-9]*\)\..*/\1/p')
  echo "${v:-0}"
}

# Debian 12's own qemu, 7.2, took about a minute of processor time for every
# start of a 32-bit wine program (more the larger its emulated address space);
# qemu 10 from Debian 12's backports takes half a second.
# Sets qemu to the emulator's path; fails when none of 8.0 or later can be had.
install_qemu() {
  qemu=$(command -v qemu-i386-static || true)
  if [ -n "$qemu" ] && [ "$(qemu_major "$qemu")" -ge 8 ]; then return 0; fi
  target=""
  if grep -q '^VERSION_CODENAME=bookworm' /etc/os-release 2>/dev/null; then
    list=/etc/apt/sources.list.d/bookworm-backports.sources
    if ! grep -rqs 'bookworm-backports' /etc/apt/sources.list /etc/apt/sources.list.d/; then
      printf '%s\n' 'Types: deb' 'URIs: http://deb.debian.org/debian' 'Suites: bookworm-backports' \
        'Components: main' 'Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg' |
        $sudo tee "$list" >/dev/null
      apt_updated=""
    fi
    target="-t bookworm-backports"
  fi
  apt_update
  # shellcheck disable=SC2086
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $target \
    qemu-user-static >/dev/null || return 1
  qemu=$(command -v qemu-i386-static) && [ "$(qemu_major "$qemu")" -ge 8 ]
}

remove_handler() {
  [ -f "$handler" ] && echo -1 | $sudo tee "$handler" >/dev/null
  return 0
}

register_handler() {
  q=$(readlink -f "$qemu")
  [ -f "$binfmt/register" ] || $sudo mount -t binfmt_misc binfmt_misc "$binfmt"
  # A handler of another qemu (say Debian 12's own, which is too slow) gives way to ours.
  if [ -f "$handler" ] && ! grep -qx "interpreter $q" "$handler"; then
    remove_handler
  fi
  if [ ! -f "$handler" ]; then
    # F: the kernel opens qemu now, so it is found whatever the program's root.
    printf ":qemu-i386:M::$i386_magic:$i386_mask:$q:F" |
      $sudo tee "$binfmt/register" >/dev/null
  fi
  echo 1 | $sudo tee "$handler" >/dev/null
}

mode=$(sh cmake/i386-mode.sh)
case "${1:-}" in
  --native-i386)
    remove_handler
    echo "setup: 32-bit programs: $(sh cmake/i386-mode.sh) (the emulation handler is removed)"
    exit 0
    ;;
  --emulate-i386) want_emulation=1 ;;
  "") want_emulation="" ; [ "$mode" = none ] && want_emulation=1 ;;
  *) echo "usage: tools/setup.sh [--emulate-i386 | --native-i386]" >&2; exit 2 ;;
esac

# Emulation first: the i386 packages below may run their own programs as
# they are installed.
if [ -n "$want_emulation" ] || [ "$mode" = emulated ]; then
  if install_qemu && register_handler && [ "$(sh cmake/i386-mode.sh)" = emulated ]; then
    echo "setup: this machine runs 32-bit programs under emulation ($("$qemu" --version | head -n 1));" \
         "the 32-bit Windows tests run there, slower"
  else
    echo "setup: this machine cannot run 32-bit programs and emulation could not be set up;" \
         "the 32-bit Windows tests will be skipped"
  fi
fi

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
  apt_updated=""
fi

missing=$(missing_of $packages)
if [ -n "$missing" ]; then
  echo "setup: installing$missing"
  apt_update
  # shellcheck disable=SC2086
  if ! DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing; then
    # A package fetched mid-sync: fresh lists, and once more. Where one
    # architecture's security list still cannot be read, its libraries and the
    # other architecture's cannot be matched (wine's 32-bit libraries must be
    # the very versions of the 64-bit ones): both are then taken from the
    # release's own suite.
    echo "setup: installing failed; once more with fresh package lists"
    apt_updated=""
    apt_update
    target=""
    if [ -n "$lists_incomplete" ] && grep -q '^VERSION_CODENAME=bookworm' /etc/os-release 2>/dev/null; then
      echo "setup: a security list could not be read; installing from bookworm itself so that" \
           "32-bit and 64-bit libraries match (apt-get upgrade brings the security fixes later)"
      target="-t bookworm"
    fi
    # shellcheck disable=SC2086
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $target $missing
  fi
fi
