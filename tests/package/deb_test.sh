#!/bin/sh
# The .deb as a user meets it: dpkg -i into this machine, velto --version from
# /usr/bin, melt finding the effect with no FREI0R_PATH and giving the
# installed tool's bytes, the real Shotcut and OBS Studio listing the panel
# and the filter, then dpkg -r, after which every path the package
# brought that was not here before is gone. Runs as root (or through sudo
# without a password); changes the machine's package database while it runs.
# Usage: deb_test.sh DEB WORKDIR
set -u
deb=$(readlink -f "$1") work=$2
here=$(cd "$(dirname "$0")" && pwd)
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo -n"
version=$(dpkg-deb -f "$deb" Version) || exit 1
if dpkg-query -W -f='${db:Status-Status}' velto 2>/dev/null | grep -qv not-installed; then
  echo "SKIPPED: package test: a velto package is installed here already; it is left alone"
  exit 0
fi
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# What of the package's paths exists before: those must still exist after.
dpkg-deb -c "$deb" | awk '{ print substr($6, 2) }' | sed 's|/$||; /^$/d' >paths
while read -r p; do [ -e "$p" ] && echo "$p"; done <paths >before

if ! $sudo dpkg -i "$deb" >install.log 2>&1; then
  cat install.log
  $sudo dpkg -r velto >/dev/null 2>&1  # a package dpkg -i left unpacked, unconfigured
  echo "FAIL: dpkg -i $deb"
  exit 1
fi
got=$(/usr/bin/velto --version)
[ "$got" = "velto ${version%-*}" ] || fail "/usr/bin/velto --version says '$got'"
for f in /usr/share/man/man1/velto.1.gz /usr/share/bash-completion/completions/velto \
         /usr/share/kdenlive/effects/frei0r_velto.xml \
         /usr/share/doc/velto/copyright; do
  [ -s "$f" ] || fail "no $f"
done

# melt on its own search path: the effect's red, green and blue must be the
# installed tool's.
ff() { ffmpeg -nostdin -v error -y "$@"; }
ff -f lavfi -i "testsrc2=size=64x48:rate=25:duration=0.12,format=rgba,lutrgb=r=val*0.8+40:b=val*0.75" \
  -f rawvideo -pix_fmt bgra in.bgra &&
  ff -f rawvideo -pix_fmt bgra -s 64x48 -r 25 -i in.bgra -c:v ffv1 in.mkv || fail "no clip"
ok=""
for _ in 1 2 3; do  # melt 7.12 now and then hangs before its first frame
  if env -u FREI0R_PATH -u MLT_FREI0R_PLUGIN_PATH timeout -k 5 30 melt -quiet in.mkv \
       -filter frei0r.velto -consumer avformat:out.bgra f=rawvideo pix_fmt=bgra </dev/null >melt.log 2>&1
  then ok=1; break; fi
done
[ -n "$ok" ] || fail "melt with frei0r.velto: $(tail -n 1 melt.log)"
/usr/bin/velto apply --raw 64x48 --quiet in.bgra tool.bgra || fail "velto apply --raw"
for f in out tool; do ff -f rawvideo -pix_fmt bgra -s 64x48 -i $f.bgra -f rawvideo -pix_fmt rgb24 $f.rgb; done
if [ -s out.rgb ] && cmp -s out.rgb tool.rgb; then echo "melt found the installed effect: the tool's bytes"
else fail "melt without FREI0R_PATH: not the installed tool's bytes (is /usr/lib/frei0r-1/velto.so found?)"; fi

sh "$here/shotcut_panel_test.sh" /usr || fail "the Shotcut panel"
# The real programs on a virtual display, with what the package installed
# and nothing a variable points to instead.
env -u FREI0R_PATH -u MLT_FREI0R_PLUGIN_PATH sh "$here/shotcut_app_test.sh" "$PWD/shotcut" ||
  fail "Shotcut with the installed panel and effect"
if grep -qx /usr/lib/x86_64-linux-gnu/obs-plugins/velto-obs.so paths; then
  env -u OBS_PLUGINS_PATH -u OBS_PLUGINS_DATA_PATH sh "$here/obs_app_test.sh" "$PWD/obs" ||
    fail "OBS Studio with the installed module"
else
  echo "SKIPPED: OBS Studio test: the package has no velto-obs.so (built without libobs-dev)"
fi

$sudo dpkg -r velto >remove.log 2>&1 || { cat remove.log; fail "dpkg -r velto"; }
status=$(dpkg-query -W -f='${db:Status-Status}' velto 2>/dev/null)
[ -z "$status" ] || [ "$status" = not-installed ] || fail "after dpkg -r, velto is '$status'"
while read -r p; do
  [ -e "$p" ] || [ -L "$p" ] || continue
  grep -qx "$p" before || fail "left behind: $p"
done <paths
[ "$failures" -eq 0 ] || { echo "$failures failures"; exit 1; }
echo "package test: installed, ran, removed, nothing left behind"
