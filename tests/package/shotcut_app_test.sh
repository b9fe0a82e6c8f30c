#!/bin/sh
# The real Shotcut with the panel and the effect it finds (the .deb's, in
# /usr/share/shotcut/qml/filters/velto and /usr/lib/frei0r-1): shotcut starts
# on a virtual display with software OpenGL and a home of its own, and its log
# must say that it read the panel's meta.qml and added "Velto white balance"
# to its filter list. Shotcut adds a panel's filter only when MLT offers the
# effect it names, so the line also says that MLT found velto.so.
# Usage: shotcut_app_test.sh WORKDIR
set -u
added='added filter "Velto white balance"'
if [ "${1:-}" = "--on-display" ]; then
  # Second half, on the display xvfb-run made: start shotcut, wait for the
  # panel's line in its log (filters load in their folders' order), stop it.
  log=$2
  LIBGL_ALWAYS_SOFTWARE=1 QT_QPA_PLATFORM=xcb shotcut </dev/null >shotcut.out 2>&1 &
  shotcut=$!
  seconds=0
  until grep -qs "$added" "$log"; do
    sleep 1
    seconds=$((seconds + 1))
    kill -0 "$shotcut" 2>/dev/null || { echo "shotcut ended before it listed the filter"; exit 0; }
    [ "$seconds" -lt 60 ] || break
  done
  kill "$shotcut" 2>/dev/null
  wait "$shotcut" 2>/dev/null
  exit 0
fi

work=$1 self=$(readlink -f "$0")
for tool in shotcut xvfb-run; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIPPED: Shotcut test: no $tool here (Debian: shotcut xvfb)"
    exit 0
  fi
done
rm -rf "$work" && mkdir -p "$work/home" && cd "$work" || exit 1
home=$PWD/home
log=$home/.local/share/Meltytech/Shotcut/shotcut-log.txt
# GLX: Shotcut's player needs an OpenGL context, which Mesa gives in software.
HOME=$home XDG_CONFIG_HOME=$home/.config XDG_DATA_HOME=$home/.local/share XDG_CACHE_HOME=$home/.cache \
  timeout -k 5 120 xvfb-run -a -s "-screen 0 1280x1024x24 +extension GLX" \
  sh "$self" --on-display "$log" >display.log 2>&1
[ -s display.log ] && cat display.log
if [ ! -s "$log" ]; then
  echo "FAIL: shotcut wrote no log: $(tail -n 1 shotcut.out 2>/dev/null)"
  exit 1
fi
cp "$log" shotcut-log.txt
if grep -q "$added" shotcut-log.txt; then
  echo "Shotcut: the panel read, Velto white balance in the filter list"
elif grep -q 'reading filter metadata "velto" "meta.qml"' shotcut-log.txt; then
  echo "FAIL: Shotcut read the panel but did not list it: no frei0r.velto in MLT, or meta.qml is wrong"
  grep -A 1 'reading filter metadata "velto"' shotcut-log.txt | sed 1d
  exit 1
elif grep -q 'reading filter metadata' shotcut-log.txt; then
  echo "FAIL: Shotcut did not read the panel (is /usr/share/shotcut/qml/filters/velto there?)"
  exit 1
else
  echo "FAIL: Shotcut read no filter panels: $(tail -n 1 shotcut-log.txt)"
  exit 1
fi
