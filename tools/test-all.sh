#!/bin/sh
# Sets up the machine, builds every tree and runs every test:
# native, native under the sanitizers, and the Windows plug-ins under wine;
# then builds the packages and installs the .deb once.
set -eu
cd "$(dirname "$0")/.."
tools/setup-if-needed.sh

presets="native sanitize win32 win64"
[ -n "${VELTO_PRESETS:-}" ] && presets="$VELTO_PRESETS"

jobs=$(nproc 2>/dev/null || echo 2)
for preset in $presets; do
  echo "== $preset =="
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  if [ "$preset" = win32 ] && [ "$(sh cmake/i386-mode.sh)" = none ]; then
    # Said aloud, test by test: a run that skips them must not pass silently.
    ctest --preset "$preset" -N -LE without-wine | sed -n 's/^ *Test *#[0-9]*: //p' |
      while read -r name; do
        echo "SKIPPED: win32 test $name: this machine cannot run 32-bit programs, natively or emulated"
      done
    ctest --preset "$preset" -L without-wine
    continue
  fi
  case "$preset" in
    # The tree's wine prefix, made once before tests start in parallel.
    win*) sh cmake/wine-prefix.sh "$PWD/build/$preset/wineprefix" ;;
  esac
  ctest --preset "$preset" -j "$jobs"
done

# The packages, from the trees just built, and the .deb installed into this
# machine and removed again (root, or sudo without a password, needed).
built() { case " $presets " in *" $1 "*) ;; *) return 1 ;; esac; }
if built native && built win32 && built win64; then
  echo "== packages =="
  tools/package.sh
  if [ "$(id -u)" -eq 0 ] || sudo -n true 2>/dev/null; then
    version=$(sed -n 's/^project(velto VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
    sh tests/package/deb_test.sh "dist/velto_${version}-1_amd64.deb" build/package/deb-test
  else
    echo "SKIPPED: package test: it installs the .deb, which needs root or sudo without a password"
  fi
fi
