#!/usr/bin/env bash
# Passes of the player's main loop per second at 1920x1080 and 1024x768 under
# Xvfb, with a 1024x768 JPEG background and a 200-entry playlist, and the time
# of each drawing step.
#   bench/run_screen_bench.sh [BUILD_DIR] [SECONDS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
seconds=${2:-5}
cmake --build "$build" --target screen_bench -j2 > /dev/null
bench="$build/bench/screen_bench"

work=$(mktemp -d)
xvfb_pid=""
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# The background: a 1024x768 JPEG with detail in it; the songs: one tone.
convert -size 1024x768 -seed 7 plasma:red-blue -quality 90 "$work/bg.jpg"
sox -q -n -r 44100 -c 2 -b 16 "$work/tone.wav" synth 30 sine 440 vol 0.5
lame --quiet -b 128 "$work/tone.wav" "$work/tone.mp3"
for _ in $(seq 1 200); do echo "$work/tone.mp3"; done > "$work/playlist.qpl"
# Sound goes to a file through ALSA's file device, at real-time pace.
echo "pcm.!default { type file; slave.pcm \"null\"; file \"$work/sound.raw\"; format \"raw\"; perm 0644 }" \
  > "$work/asound.conf"
mkdir -p "$work/home"
printf '[sound]\nalsa_fragsize = 441\n' > "$work/home/.allegrorc"

for size in 1920x1080 1024x768; do
  exec 3< <(Xvfb -displayfd 1 -screen 0 "${size}x24" -nolisten tcp 2>/dev/null & echo "$!")
  read -r xvfb_pid <&3
  read -r display <&3
  exec 3<&-
  (cd "$work" && DISPLAY=":$display" HOME="$work/home" \
    ALSA_CONFIG_PATH="/usr/share/alsa/alsa.conf:$work/asound.conf" "$bench" "$seconds" 2> /dev/null)
  kill "$xvfb_pid"
  wait "$xvfb_pid" 2>/dev/null || true
  xvfb_pid=""
done
