#!/usr/bin/env bash
# Takes the README's screenshot: the player as `bash scripts/run.sh` starts
# it, in the demo folder, on a private 1280x720 Xvfb display with its sound
# written to a scratch file at real-time pace, three seconds into the first
# song.
#
#   docs/make_screenshot.sh BUILD_DIR    (after building mp3player and demo)
set -euo pipefail
build=$(cd "${1:?usage: make_screenshot.sh BUILD_DIR}" && pwd)
docs=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d /tmp/screenshot.XXXXXX)
for n in $(seq 400 499); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] || break
done
Xvfb ":$n" -screen 0 1280x720x24 -nolisten tcp > /dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb"; rm -rf "$work"' EXIT
export DISPLAY=:$n HOME=$work ALSA_CONFIG_PATH=/usr/share/alsa/alsa.conf:$work/asound.conf
printf 'pcm.!default { type file; slave.pcm "null"; file "%s"; format "raw" }\n' "$work/capture.raw" > "$work/asound.conf"
printf '[sound]\nalsa_fragsize = 441\n' > "$work/.allegrorc"
sleep 1
(cd "$build/demo" && exec "$build/player/mp3player") > "$work/player.log" 2>&1 &
player=$!
sleep 3
xwd -root -silent | convert xwd:- -strip "$docs/screenshot.png"
xdotool mousemove 10 10 keydown Escape
sleep 0.5
xdotool keyup Escape
wait "$player"
