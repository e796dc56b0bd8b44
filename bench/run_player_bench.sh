#!/usr/bin/env bash
# Benchmarks of the real player under a private Xvfb display with ALSA's
# output written to a file:
#   1. peak resident memory while playing a 1-minute and a 60-minute song
#      (a song is read packet by packet, never held whole, so the two should
#      differ by well under 1 MiB);
#   2. time from start to the first sound with a 1024-line playlist.
#
#   run_player_bench.sh [BUILD_DIR]
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
player=$build/player/mp3player
[ -x "$player" ] || { echo "no player at $player (build it first)" >&2; exit 1; }
tmp=$(mktemp -d)
xvfb_pid=
player_pid=
cleanup() {
    if [ -n "$player_pid" ]; then kill "$player_pid" 2>/dev/null || true; fi
    if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
    rm -rf "$tmp"
}
trap cleanup EXIT

# A display of our own: the first free number from 150 up.
for n in $(seq 150 199); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] || break
done
Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp > /dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=":$n"
for _ in $(seq 100); do xdpyinfo > /dev/null 2>&1 && break; sleep 0.1; done
capture=$tmp/capture.raw
printf 'pcm.!default { type file; slave.pcm "null"; file "%s"; format "raw"; perm 0644 }\n' "$capture" > "$tmp/asound.conf"
export ALSA_CONFIG_PATH=/usr/share/alsa/alsa.conf:$tmp/asound.conf
mkdir -p "$tmp/home"
printf '[sound]\nalsa_fragsize = 441\n' > "$tmp/home/.allegrorc"  # real-time pace
export HOME=$tmp/home

# Songs: one minute of a tone, encoded without an info frame so that copies
# of it joined end to end make one valid 60-minute song.
sox -q -n -r 44100 -c 2 -b 16 "$tmp/minute.wav" synth 60 sine 440 sine 660 vol 0.5
lame --quiet -t -b 128 "$tmp/minute.wav" "$tmp/minute.mp3"
rm -f "$tmp/minute.wav"
for _ in $(seq 60); do cat "$tmp/minute.mp3"; done > "$tmp/hour.mp3"

quit_player() {
    xdotool keydown Escape; sleep 0.4; xdotool keyup Escape
    wait "$player_pid" 2>/dev/null || true
    player_pid=
}

# Peak resident set (kB) of the player after playing SONG for a few seconds.
peak_kb() {
    local dir
    dir=$tmp/run-$(basename "$1")
    mkdir -p "$dir"
    echo "$1" > "$dir/playlist.qpl"
    (cd "$dir" && exec "$player") > /dev/null 2>&1 &
    player_pid=$!
    sleep 5
    local kb
    kb=$(awk '/^VmHWM/ { print $2 }' "/proc/$player_pid/status")
    quit_player
    echo "$kb"
}

short_kb=$(peak_kb "$tmp/minute.mp3")
long_kb=$(peak_kb "$tmp/hour.mp3")
echo "song sizes:                 $(stat -c %s "$tmp/minute.mp3") and $(stat -c %s "$tmp/hour.mp3") bytes"
echo "peak RSS, 1-minute song:    $short_kb kB"
echo "peak RSS, 60-minute song:   $long_kb kB"
echo "difference:                 $((long_kb - short_kb)) kB (target: under 1024 kB)"

# Start-up with a full playlist: the time until the capture holds sound
# (past the 1024-frame silent lead-in that ALSA's output starts with).
dir=$tmp/run-list
mkdir -p "$dir"
for _ in $(seq 1024); do echo "$tmp/minute.mp3"; done > "$dir/playlist.qpl"
rm -f "$capture"
start=$(date +%s%N)
(cd "$dir" && exec "$player") > /dev/null 2>&1 &
player_pid=$!
first=
for _ in $(seq 2000); do
    if [ "$(stat -c %s "$capture" 2> /dev/null || echo 0)" -gt 4096 ] && od -An -tu2 -v -j 4096 "$capture" | tr -s ' ' '\n' |
        awk '$1 != "" && ($1 < 32000 || $1 > 33536) { found = 1; exit } END { exit !found }'; then
        first=$(date +%s%N)
        break
    fi
    sleep 0.005
done
quit_player
if [ -n "$first" ]; then
    echo "first sound, 1024 entries:  $(((first - start) / 1000000)) ms (target: 300 ms or less)"
else
    echo "first sound, 1024 entries:  none within the wait"
fi
