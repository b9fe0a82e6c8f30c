#!/bin/sh
# The Shotcut panel as installed under PREFIX (/usr from the .deb): meta.qml
# names the effect and its panel, the panel sets the effect's six parameters
# by index and never its `threads` property, and its defaults are the ones the
# Kdenlive description stores.
# Usage: shotcut_panel_test.sh PREFIX
set -u
dir=$1/share/shotcut/qml/filters/velto kdenlive=$1/share/kdenlive/effects/frei0r_velto.xml
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
for f in meta.qml ui.qml; do [ -s "$dir/$f" ] || fail "no $dir/$f"; done
grep -q 'mlt_service: "frei0r.velto"' "$dir/meta.qml" || fail "meta.qml names no frei0r.velto"
grep -q 'qml: "ui.qml"' "$dir/meta.qml" || fail "meta.qml names no ui.qml"
grep -q "keywords:.*white balance" "$dir/meta.qml" || fail "meta.qml has no keywords"
grep -v '^//' "$dir/ui.qml" | grep -q threads && fail "ui.qml sets threads"
for index in 0 1 2 3 4 5; do
  grep -q "filter.set('$index'" "$dir/ui.qml" || fail "ui.qml never sets parameter $index"
done
# Kdenlive's stored defaults, in order, against the panel's
want=$(sed -n 's/.*<parameter [^>]*default="\([^"]*\)".*/\1/p' "$kdenlive" | tr '\n' ' ')
level=$(sed -n 's/.*property double levelDefault: //p' "$dir/ui.qml")
steady=$(sed -n 's/.*property double steadyDefault: //p' "$dir/ui.qml")
neutral=$(sed -n 's/.*property bool neutralDefault: //p' "$dir/ui.qml" | sed 's/true/1/; s/false/0/')
strength=$(sed -n 's/.*property double strengthDefault: //p' "$dir/ui.qml")
got="$level $level $level $steady $neutral $strength "
[ "$got" = "$want" ] || fail "the panel's defaults '$got' are not Kdenlive's '$want'"
[ "$failures" -eq 0 ] || { echo "$failures failures"; exit 1; }
echo "Shotcut panel: installed, the effect's parameters and defaults"
