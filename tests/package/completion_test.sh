#!/bin/bash
# The bash completion with the built velto: commands, options as the help
# lists them, values of --format and --out-dir, and file names by format.
# Usage: completion_test.sh COMPLETION VELTO WORKDIR
set -u
completion=$1 velto=$2 work=$3
rm -rf "$work" && mkdir -p "$work/sub" && cd "$work" || exit 1
touch a.png B.JPG c.pam d.txt e.mkv "f g.png"
. "$completion" && declare -F _velto >/dev/null || { echo "FAIL: $completion defines no _velto"; exit 1; }
failures=0
expect() {  # expect "WANTED WORDS" WORD...: completes the last word (~ for a space)
    local want=$1
    shift
    COMP_WORDS=("$velto" "$@")
    COMP_CWORD=$#
    _velto
    local got
    got=$(printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' '|')
    want=$(printf '%s\n' "$want" | tr ' ' '\n' | tr '~' ' ' | sort | tr '\n' '|')
    [ "$got" = "$want" ] || { echo "FAIL: velto $*: got '$got', want '$want'"; failures=$((failures + 1)); }
}
expect "apply analyze" a
expect "--levels" apply --le
expect "--quiet" analyze --qu
expect "png jpeg webp tiff heic avif ppm pam" apply --format ""
expect "" apply --levels ""
expect "sub" apply --out-dir ""
expect "sub a.png B.JPG c.pam f~g.png" apply ""
expect "sub a.png B.JPG c.pam f~g.png" analyze --json ""
expect "sub a.png B.JPG c.pam d.txt e.mkv f~g.png" apply --raw 8x8 ""
[ "$failures" -eq 0 ]
