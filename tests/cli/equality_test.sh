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

# width height frames seed levelR levelG levelB
cases='640 480 3 1 20 20 20
643 483 2 2 1 40 7
720 576 2 3 40 1 20
37 29 5 4 33 5 20
4 4 4 5 20 20 20
5 3 2 6 20 20 20
1 1 2 7 40 40 40
1920 1080 1 8 12 25 38
17 1500 2 9 20 30 10'

# Every case in one start of the Windows program: a start of wine costs more
# than all the frames, most of all where 32-bit programs run under emulation.
set --
n=0
while read -r w h frames seed r g b; do
    n=$((n + 1))
    set -- "$@" "$w" "$h" "$frames" "$seed" "$r" "$g" "$b" "frames-$n.bgra" "plugin-$n.bgra"
done <<CASES
$cases
CASES
if ! "$emulator" "$pass" "$@"; then
    echo "FAIL: host_layout_pass did not run"
    exit 1
fi

failures=0
n=0
while read -r w h frames seed r g b; do
    n=$((n + 1))
    for threads in 1 3; do
        "$velto" apply --raw "${w}x$h" --levels "$r,$g,$b" --threads $threads --quiet \
            "frames-$n.bgra" cli.bgra
        if ! cmp -s "plugin-$n.bgra" cli.bgra; then
            echo "FAIL: ${w}x$h levels $r,$g,$b seed $seed, $threads threads: the tool differs" \
                 "from the engine in the host's layout ($(cmp "plugin-$n.bgra" cli.bgra | head -n 1))"
            failures=$((failures + 1))
        fi
    done
    echo "${w}x$h x $frames frames, levels $r,$g,$b: equal"
done <<CASES
$cases
CASES
[ "$failures" -eq 0 ] || { echo "$failures failures"; exit 1; }
