#!/bin/sh
# The real OBS Studio with the module it finds (the .deb's in
# /usr/lib/x86_64-linux-gnu/obs-plugins, or where OBS_PLUGINS_PATH and
# OBS_PLUGINS_DATA_PATH point): obs starts on a virtual display with a home of
# its own, recording, whose scene collection holds side by side a media
# source playing the bundled sample as a clip and an image source of the
# same picture (drawn as a texture, as screen capture is), each with the
# filter velto_filter on it (neutral on the clip, classic on the picture).
# Its log must list velto-obs.so among the loaded modules and the filter on
# both sources, with no word of an unknown source type; obs is asked to quit
# as a user would (Ctrl+Q) and must end cleanly, its log reporting no memory
# left allocated. In the recording's last frame each half must have the
# mean colour of `velto apply` on the picture with the same method, within
# 2 levels a channel.
# Usage: obs_app_test.sh WORKDIR [VELTO]
set -u
if [ "${1:-}" = "--on-display" ]; then
  # Second half, on the display xvfb-run made: start obs, wait for the scenes,
  # quit it.
  home=$2
  # Not --disable-missing-files-check: with it OBS 29 itself leaves one
  # allocation at exit, which the leak count below would blame on the filter.
  obs --multi --verbose --startrecording </dev/null >obs.out 2>&1 &
  obs=$!
  # The log is written as obs goes; its scene list comes once the collection is loaded.
  seconds=0
  until grep -qs "^[0-9:.]*: Loaded scenes:" "$home"/.config/obs-studio/logs/*.txt; do
    sleep 1
    seconds=$((seconds + 1))
    kill -0 "$obs" 2>/dev/null || { echo "obs ended before it loaded its scenes"; exit 1; }
    [ "$seconds" -lt 60 ] || { echo "obs loaded no scenes in 60 s"; kill "$obs"; exit 1; }
  done
  sleep 2  # a few frames through the filter
  window=$(xdotool search --onlyvisible --name "^OBS " | head -n 1)
  [ -n "$window" ] && xdotool windowfocus --sync "$window" key ctrl+q
  seconds=0
  while kill -0 "$obs" 2>/dev/null; do
    sleep 1
    seconds=$((seconds + 1))
    [ "$seconds" -lt 30 ] || { echo "obs did not quit on Ctrl+Q in 30 s"; kill -9 "$obs"; exit 1; }
  done
  wait "$obs" || { echo "obs quit with status $?"; exit 1; }
  exit 0
fi

work=$1 velto=${2:-velto} self=$(readlink -f "$0")
sample=$(dirname "$self")/../../samples/lakeside-cast.png
for tool in obs xvfb-run xdotool ffmpeg convert "$velto"; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIPPED: OBS Studio test: no $tool here (Debian: obs-studio obs-plugins xvfb xdotool ffmpeg imagemagick)"
    exit 0
  fi
done
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1
home=$PWD/home config=$PWD/home/.config/obs-studio
mkdir -p "$config/basic/scenes" "$config/basic/profiles/velto" || exit 1
# The picture, and two seconds of it as a clip that OBS plays as frames.
ffmpeg -nostdin -v error -y -i "$sample" -vf scale=320:240 still.png &&
  ffmpeg -nostdin -v error -y -loop 1 -i still.png -t 2 -pix_fmt bgra -c:v ffv1 clip.mkv ||
  { echo "FAIL: no picture or clip"; exit 1; }

# FirstRun: no set-up wizard on the first start.
cat >"$config/global.ini" <<EOF
[General]
FirstRun=true
ConfirmOnExit=false
[Basic]
Profile=velto
ProfileDir=velto
SceneCollection=velto
SceneCollectionFile=velto
EOF
cat >"$config/basic/profiles/velto/basic.ini" <<EOF
[General]
Name=velto
[Video]
BaseCX=640
BaseCY=240
OutputCX=640
OutputCY=240
[Output]
Mode=Simple
[SimpleOutput]
FilePath=$PWD
RecQuality=Lossless
EOF
cat >"$config/basic/scenes/velto.json" <<EOF
{"name": "velto", "current_scene": "Scene", "current_program_scene": "Scene",
 "scene_order": [{"name": "Scene"}],
 "sources": [
  {"id": "scene", "versioned_id": "scene", "name": "Scene",
   "settings": {"id_counter": 2, "items": [{"name": "clip", "id": 1, "visible": true},
                                           {"name": "still", "id": 2, "visible": true,
                                            "pos": {"x": 320.0, "y": 0.0}}]}},
  {"id": "ffmpeg_source", "versioned_id": "ffmpeg_source", "name": "clip",
   "settings": {"local_file": "$PWD/clip.mkv", "looping": true},
   "filters": [{"id": "velto_filter", "versioned_id": "velto_filter",
                "name": "Velto white balance", "settings": {}}]},
  {"id": "image_source", "versioned_id": "image_source", "name": "still",
   "settings": {"file": "$PWD/still.png"},
   "filters": [{"id": "velto_filter", "versioned_id": "velto_filter",
                "name": "Velto white balance", "settings": {"method": "classic"}}]}
 ]}
EOF

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
HOME=$home XDG_CONFIG_HOME=$home/.config timeout -k 5 150 \
  xvfb-run -a -s "-screen 0 1280x1024x24" sh "$self" --on-display "$home" >display.log 2>&1 ||
  fail "OBS Studio under xvfb-run: $(tail -n 1 display.log)"
log=$(ls "$config"/logs/*.txt 2>/dev/null | head -n 1)
if [ -z "$log" ]; then
  fail "obs wrote no log: $(tail -n 1 obs.out 2>/dev/null)"
else
  cp "$log" obs-log.txt
  # The loaded modules are listed one a line after "Loaded Modules:".
  sed -n '/Loaded Modules:/,/-----/p' obs-log.txt | grep -q ': *velto-obs\.so$' ||
    fail "velto-obs.so is not among the modules obs loaded (see $PWD/obs-log.txt)"
  grep -q "Source ID 'velto_filter' not found" obs-log.txt && fail "obs knows no source type velto_filter"
  [ "$(grep -c "^[0-9:.]*: *- filter: 'Velto white balance' (velto_filter)$" obs-log.txt)" -eq 2 ] ||
    fail "the scene list has not the Velto filter on both the clip and the picture"
  grep -q "Number of memory leaks: 0$" obs-log.txt ||
    fail "obs did not end cleanly: $(grep 'memory leaks' obs-log.txt)"
fi

means() {  # means PICTURE [CROP]: its mean red, green and blue, in levels
  convert "$1" ${2:+-crop "$2" +repage} \
    -format "%[fx:int(255*mean.r+0.5)] %[fx:int(255*mean.g+0.5)] %[fx:int(255*mean.b+0.5)]" info:
}
near() {  # near "R G B" "R G B": each channel within 2 levels
  echo "$1 $2" | awk '{ for (i = 1; i <= 3; i++) { d = $i - $(i + 3); if (d > 2 || d < -2) exit 1 } }'
}
recording=$(ls ./*.avi 2>/dev/null | head -n 1)
if [ -z "$recording" ]; then
  fail "obs recorded nothing"
elif ! ffmpeg -nostdin -v error -y -sseof -0.5 -i "$recording" -update 1 -pix_fmt rgb24 last.png; then
  fail "no last frame in $recording"
else
  before=$(means still.png)
  for half in "neutral 320x240+0+0 the media source" "classic 320x240+320+0 the image source"; do
    set -- $half
    method=$1 crop=$2
    shift 2
    "$velto" apply --method "$method" --quiet still.png "$method.png" || fail "velto apply --method $method"
    want=$(means "$method.png") got=$(means last.png "$crop")
    if near "$want" "$before"; then fail "velto apply --method $method leaves the picture as it was"
    elif near "$got" "$want"; then echo "$*, $method: $got (velto apply: $want; before: $before)"
    else fail "$*, $method: OBS recorded $got where velto apply gives $want (before: $before)"; fi
  done
fi
[ "$failures" -eq 0 ] || { echo "$failures failures"; exit 1; }
echo "OBS Studio: velto-obs.so loaded, the filter on a media source and an image source as velto apply corrects, obs quit cleanly"
