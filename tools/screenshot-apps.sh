#!/bin/sh
# Takes docs/obs.png, docs/kdenlive.png and docs/shotcut.png: the filter's
# settings in OBS Studio, Kdenlive and Shotcut, each program started on a
# virtual display with a home of its own, a clip of the bundled sample open
# and the filter put on it with clicks and keys as a user would. The clicks
# are at the places Debian 12's programs (OBS Studio 29, Kdenlive 22.12,
# Shotcut 22.12) have their controls at their first start on a 1280 x 1024
# screen; another version may want other places.
# Needs obs-studio, kdenlive and shotcut installed (tools/setup.sh installs
# OBS Studio and Shotcut; Kdenlive only this script wants), xvfb, xdotool,
# imagemagick and ffmpeg. The build tree's velto.so and velto-obs.so are used,
# nothing is installed.
# Usage: tools/screenshot-apps.sh [BUILD_TREE [APP...]]   (default build/native,
#        all three of obs, shotcut and kdenlive)
set -eu

# On the virtual display: waits for a window whose name matches, prints its id.
window() { timeout 60 sh -c "until xdotool search --onlyvisible --name '$1'; do sleep 0.5; done" | head -n 1; }
click() { xdotool mousemove "$1" "$2" click 1; sleep "${3:-1}"; }

if [ "${1:-}" = "--on-display" ]; then
  app=$2 out=$3 clip=$4
  case $app in
  obs)
    obs --multi >obs.out 2>&1 &
    pid=$!
    main=$(window "^OBS ")
    sleep 3
    # The source in the Sources list, then the Filters button above it.
    xdotool mousemove --window "$main" 277 531 click 1
    sleep 1
    xdotool mousemove --window "$main" 373 450 click 1
    dialog=$(window "^Filters for")
    sleep 2
    import -window "$dialog" -crop 861x470+0+0 +repage "$out"
    xdotool windowfocus --sync "$main" key ctrl+q
    ;;
  shotcut)
    LIBGL_ALWAYS_SOFTWARE=1 QT_QPA_PLATFORM=xcb shotcut "$clip" >shotcut.out 2>&1 &
    pid=$!
    main=$(window "Shotcut\$")
    sleep 8
    # The Filters tab, its +, the search, the filter found.
    xdotool mousemove --window "$main" 103 397 click 1
    sleep 2
    xdotool mousemove --window "$main" 21 367 click 1
    sleep 2
    xdotool type velto
    sleep 2
    xdotool mousemove --window "$main" 120 207 click 1
    sleep 3
    # The panel's dock made wider: its edge dragged to the right.
    xdotool mousemove --window "$main" 615 250
    sleep 0.5
    xdotool mousedown 1
    sleep 0.5
    xdotool mousemove --window "$main" 640 250
    sleep 0.5
    xdotool mousemove --window "$main" 760 250
    sleep 0.5
    xdotool mouseup 1
    sleep 2
    import -window root -crop 1000x325+0+85 +repage "$out"
    ;;
  kdenlive)
    # Kdenlive will not start without a session bus: one of its own.
    bus=$(dbus-daemon --session --fork --print-address=1 --print-pid=1)
    DBUS_SESSION_BUS_ADDRESS=$(echo "$bus" | head -n 1) kdenlive -i "$clip" >kdenlive.out 2>&1 &
    pid=$!
    # "No profile found for your clip": take the clip's.
    profile=$(window "^Warning")
    sleep 1
    xdotool windowfocus --sync "$profile" key Return
    sleep 3
    xdotool windowfocus --sync "$(window "^Untitled")"
    # The clip in the bin, into the timeline (V), selected there; the
    # Effects tab, its search, the effect double-clicked onto the clip; the
    # playhead to the start, so the monitor shows the corrected frame.
    click 125 115
    xdotool key v
    sleep 2
    click 193 721
    click 140 471 2
    click 150 78 0.5
    xdotool type velto
    sleep 2
    xdotool mousemove 120 117 click --repeat 2 --delay 80 1
    sleep 3
    click 175 566 3
    import -window root -crop 395x691+672+37 +repage "$out"
    ;;
  esac
  sleep 2
  # OBS has quit; the others are stopped, and Kdenlive's bus.
  kill "$pid" 2>/dev/null || true
  [ "$app" = kdenlive ] && kill "$(echo "$bus" | sed -n 2p)"
  exit 0
fi

cd "$(dirname "$0")/.."
root=$PWD build=$PWD/${1:-build/native}
[ $# -gt 0 ] && shift
apps=${*:-obs shotcut kdenlive}
cmake --build "$build" --target velto_frei0r velto_obs
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ffmpeg -nostdin -v error -y -loop 1 -framerate 25 -i samples/lakeside-cast.png -t 4 \
  -c:v ffv1 -pix_fmt bgra "$work/clip.mkv"
# The build tree's effect and module, found through the hosts' variables.
mkdir -p "$work/frei0r" "$work/obs-module" "$work/obs-data/velto-obs"
cp "$build/velto.so" "$work/frei0r/"
cp "$build/velto-obs.so" "$work/obs-module/"
cp -r obs/data/* "$work/obs-data/velto-obs/"

# Shotcut reads panels only from the share/shotcut/qml beside its program:
# a copy of the program in a tree of links to its own files, with ours added.
qml=$work/shotcut/share/shotcut/qml
mkdir -p "$work/shotcut/bin" "$qml/filters"
cp "$(command -v shotcut)" "$work/shotcut/bin/"
ln -s /usr/share/shotcut/translations "$work/shotcut/share/shotcut/"
for f in /usr/share/shotcut/qml/*; do [ "${f##*/}" = filters ] || ln -s "$f" "$qml/"; done
for f in /usr/share/shotcut/qml/filters/*; do ln -s "$f" "$qml/filters/"; done
cp -r package/shotcut "$qml/filters/velto"

# OBS Studio: a scene with the clip as a media source and the filter on it.
config=$work/obs/home/.config/obs-studio
mkdir -p "$config/basic/scenes" "$config/basic/profiles/velto"
printf '[General]\nFirstRun=true\n[Basic]\nProfile=velto\nProfileDir=velto\nSceneCollection=velto\nSceneCollectionFile=velto\n' \
  >"$config/global.ini"
printf '[General]\nName=velto\n[Video]\nBaseCX=480\nBaseCY=320\nOutputCX=480\nOutputCY=320\n' \
  >"$config/basic/profiles/velto/basic.ini"
cat >"$config/basic/scenes/velto.json" <<EOF
{"name": "velto", "current_scene": "Scene", "current_program_scene": "Scene",
 "scene_order": [{"name": "Scene"}],
 "sources": [
  {"id": "scene", "versioned_id": "scene", "name": "Scene",
   "settings": {"id_counter": 1, "items": [{"name": "Camera", "id": 1, "visible": true}]}},
  {"id": "ffmpeg_source", "versioned_id": "ffmpeg_source", "name": "Camera",
   "settings": {"local_file": "$work/clip.mkv", "looping": true},
   "filters": [{"id": "velto_filter", "versioned_id": "velto_filter",
                "name": "Velto white balance", "settings": {}}]}
 ]}
EOF
# Kdenlive: the effect's description where it reads a user's own.
mkdir -p "$work/kdenlive/home/.local/share/kdenlive/effects"
cp package/frei0r_velto.xml "$work/kdenlive/home/.local/share/kdenlive/effects/"

for app in $apps; do
  home=$work/$app/home
  mkdir -p "$home" "$work/$app/tmp" "$work/$app/run"
  chmod 700 "$work/$app/run"
  # TMPDIR too: Kdenlive keeps a lock file there while it starts.
  (cd "$work/$app" &&
    HOME=$home XDG_CONFIG_HOME=$home/.config XDG_DATA_HOME=$home/.local/share \
    XDG_CACHE_HOME=$home/.cache XDG_RUNTIME_DIR=$work/$app/run TMPDIR=$work/$app/tmp \
    FREI0R_PATH=$work/frei0r OBS_PLUGINS_PATH=$work/obs-module OBS_PLUGINS_DATA_PATH=$work/obs-data \
    PATH=$work/shotcut/bin:$PATH \
    timeout -k 5 120 xvfb-run -a -s "-screen 0 1280x1024x24 +extension GLX" \
      sh "$root/tools/screenshot-apps.sh" --on-display "$app" "$work/$app.png" "$work/clip.mkv")
  # Fewer colours keep the picture small; the controls stay sharp.
  convert "$work/$app.png" -dither None -colors 128 "PNG8:$root/docs/$app.png"
  echo "wrote docs/$app.png ($(wc -c <"$root/docs/$app.png") bytes)"
done
