#!/bin/sh
# The native tool's bytes against the Windows engine's, run as the plug-in's
# host runs it (bottom-up, padded rows), on generated frames of several sizes
# and levels. Runs in the Windows trees and needs the native tool built first.
# Usage: equality_test.sh EMULATOR HOST_LAYOUT_PASS VELTO WORKDIR
set -u
emulator=$1
pass=$2
velto=$3
work=$4
if [ ! -x "$velto" ]; then
    echo "$velto is missing: build the native preset first" \
         "(cmake --preset native && cmake --build --preset native)"
    exit 1
fi
absolute() { case "$1" in /*) echo "$1" ;; *) echo "$PWD/$1" ;; esac; }
emulator=$(absolute "$emulator")
pass=$(absolute "$pass")
velto=$(absolute "$velto")
rm -rf "$work"
mkdir -p "$work"
cd "$work" || exit 1

failures=0
# width height frames seed levelR levelG levelB
while read -r w h n seed r g b; do
    if ! "$emulator" "$pass" "$w" "$h" "$n" "$seed" "$r" "$g" "$b" frames.bgra plugin.bgra; then
        echo "FAIL: host_layout_pass ${w}x$h did not run"
        failures=$((failures + 1))
        continue
    fi
    for threads in 1 3; do
        "$velto" apply --raw "${w}x$h" --levels "$r,$g,$b" --threads $threads --quiet \
            frames.bgra cli.bgra
        if ! cmp -s plugin.bgra cli.bgra; then
            echo "FAIL: ${w}x$h levels $r,$g,$b seed $seed, $threads threads: the tool differs" \
                 "from the engine in the host's layout ($(cmp plugin.bgra cli.bgra | head -n 1))"
            failures=$((failures + 1))
        fi
    done
    echo "${w}x$h x $n frames, levels $r,$g,$b: equal"
done <<'CASES'
640 480 3 1 20 20 20
643 483 2 2 1 40 7
720 576 2 3 40 1 20
37 29 5 4 33 5 20
4 4 4 5 20 20 20
5 3 2 6 20 20 20
1 1 2 7 40 40 40
1920 1080 1 8 12 25 38
17 1500 2 9 20 30 10
CASES
[ "$failures" -eq 0 ] || { echo "$failures failures"; exit 1; }
