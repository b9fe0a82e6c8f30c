#!/bin/sh
# The manual page against the help texts: the options of `velto --help` and of
# each `velto COMMAND --help` (an option with a value as "--raw VALUE") must be
# the ones the page lists under OPTIONS and under "velto COMMAND", and the
# page must have a section for every command and none for a command that is
# not. Every difference is named. Then man renders it without a warning.
# Usage: manpage_test.sh VELTO PAGE
set -u
velto=$(readlink -f "$1") page=$(readlink -f "$2")
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
# Option lines, as "--name" or "--name VALUE", one a line, from the help's
# lines that start with two spaces and "--" and the page's lines after .TP.
options_of() {
  # An option takes a value when one space, not a column's two or more,
  # parts it from the next word: "--raw WxH", not "--lossless    FFV1 ...".
  awk '{
    line = $0; sub(/^ +/, "", line); n = 0; takes = ""
    while (match(line, /^-[-A-Za-z0-9]*,?/)) {
      name = substr(line, 1, RLENGTH); sub(/,$/, "", name); names[++n] = name
      line = substr(line, RLENGTH + 1)
      if (line !~ /^ -/) break
      line = substr(line, 2)
    }
    if (line ~ /^ [^ ]/) takes = " VALUE"
    for (i = 1; i <= n; i++) print names[i] takes
  }' | LC_ALL=C sort -u
}
help_options() {  # help_options [COMMAND]
  # shellcheck disable=SC2086
  "$velto" ${1:-} --help | grep '^  --' | options_of
}
page_options() {  # page_options SECTION: "OPTIONS" or "velto COMMAND"
  awk -v want="$1" '
    /^\.S[HS] / { s = $0; sub(/^\.S[HS] /, "", s); gsub(/"/, "", s); on = (s == want); next }
    on && /^\.TP/ { getline; print }' "$page" |
    sed 's/\\-/-/g; s/\\f[BIRP]//g' | options_of
}
compare() {  # compare WHAT HELP_OPTIONS PAGE_OPTIONS
  printf '%s\n' "$2" >help.txt
  printf '%s\n' "$3" >page.txt
  for o in $(LC_ALL=C comm -23 help.txt page.txt | tr ' ' '~'); do
    fail "velto.1 lacks '$(echo "$o" | tr '~' ' ')', which '$1 --help' lists"
  done
  for o in $(LC_ALL=C comm -13 help.txt page.txt | tr ' ' '~'); do
    fail "velto.1 lists '$(echo "$o" | tr '~' ' ')' for $1, which '$1 --help' does not"
  done
}
work=$(mktemp -d) && cd "$work" || exit 1
trap 'rm -rf "$work"' EXIT

compare velto "$(help_options)" "$(page_options OPTIONS)"
commands=$("$velto" --help | awk '/^Commands:/ { on = 1; next } on && /^  [a-z]/ { print $1 } on && /^$/ { exit }')
[ -n "$commands" ] || fail "'velto --help' lists no commands"
for c in $commands; do
  if grep -qx ".SS \"velto $c\"" "$page"; then
    compare "velto $c" "$(help_options "$c")" "$(page_options "velto $c")"
  else
    fail "velto.1 has no section .SS \"velto $c\""
  fi
done
for c in $(sed -n 's/^\.SS "velto \([a-z]*\)"$/\1/p' "$page"); do
  printf '%s\n' $commands | grep -qx "$c" || fail "velto.1 has a section for 'velto $c', which 'velto --help' does not list"
done

if command -v man >/dev/null; then
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "man -l: $warnings"
fi
[ "$failures" -eq 0 ] || { echo "$failures failures"; exit 1; }
echo "velto.1 lists the options of every command's help, and man shows it"
