#!/usr/bin/env bash
# The Windows programs as a user meets them, under Wine on a private Xvfb
# display with Wine's ALSA output captured to a WAV file: the C example plays
# a song, and the player starts in a folder with a playlist, plays the first
# song, moves on with Right, and reports a song it cannot open.
# Sound is judged by level and frequency in the format Wine chose.
#   wine_e2e.sh BUILD_WIN_DIR
# Needs WINEPREFIX set (a prefix already made); prints one line per check.
set -euo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

# Tones of the songs, and how far a measured one may lie off (Wine
# resamples the library's output to its own rate).
first_hz=440
second_hz=660
hz_tolerance_percent=4
min_level=1000

pids=()
cleanup() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2> /dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

failures=0
check() {  # check NAME COMMAND...: runs the command, reports it
  if "${@:2}"; then echo "ok   $1"; else echo "FAIL $1"; failures=$((failures + 1)); fi
}

# A private display.
exec 3> "$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp > "$work/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
DISPLAY=:$(cat "$work/display")
export DISPLAY

# ALSA's default device writes whatever is played to the file capture.wav.
capture=$work/capture.wav
cat > "$work/asound.conf" <<EOF
pcm.!default { type file; slave.pcm "null"; file "$capture"; format "wav"; perm 0644 }
EOF
export ALSA_CONFIG_PATH=/usr/share/alsa/alsa.conf:$work/asound.conf

tone() {  # tone NAME HZ SECONDS: an MP3 of a sine tone, made by sox and lame
  sox -n -r 44100 -c 2 -b 16 "$work/tone.wav" synth "$3" sine "$2" vol 0.5
  lame --quiet -b 128 "$work/tone.wav" "$1"
  rm "$work/tone.wav"
}

capture_bytes() { stat -c %s "$capture" 2> /dev/null || echo 0; }

# The tone heard in the capture between two byte offsets is hz.
heard() {  # heard FROM TO HZ
  local rate channels level measured
  read -r rate channels level measured < <(python3 "$here/wav_tone.py" "$capture" "$1" "$2")
  echo "     heard ${measured} Hz at level ${level} (${rate} Hz, ${channels} channels)"
  awk -v m="$measured" -v l="$level" -v hz="$3" -v tol="$hz_tolerance_percent" -v min="$min_level" \
    'BEGIN { d = m - hz; if (d < 0) d = -d; exit !(l >= min && d * 100 <= hz * tol) }'
}

# The newest second of sound is tone hz.
hearing_now() {  # hearing_now HZ
  local from
  from=$(capture_bytes)
  sleep 1
  heard "$from" "$(capture_bytes)" "$1"
}

wait_for() {  # wait_for SECONDS COMMAND...: until the command succeeds
  local deadline=$((SECONDS + $1))
  until "${@:2}"; do
    [ $SECONDS -lt "$deadline" ] || return 1
    sleep 0.2
  done
}

# The visible windows titled exactly $1.
windows_titled() { xdotool search --onlyvisible --name "^$1\$" 2> /dev/null || true; }
title_is() { [ -n "$(windows_titled "$1")" ]; }
# A message box is a second visible window under the player's title, the
# smaller one: prints its id.
message_box() {
  local id
  for id in $(xdotool search --onlyvisible --name . 2> /dev/null); do
    # A window may be gone by now.
    WIDTH=0 HEIGHT=0
    eval "$(xdotool getwindowgeometry --shell "$id" 2> /dev/null)" || continue
    echo "$(xdotool getwindowname "$id")|$((WIDTH * HEIGHT))|$id"
  done | sort -t'|' -k1,1 -k2,2n | awk -F'|' '
    $1 == name { box = first; found = 1 } { if ($1 != name) first = $3; name = $1 }
    END { if (found) print box; exit !found }'
}
message_box_up() { message_box > /dev/null; }

ends_with() {  # ends_with PID SECONDS STATUS: it ends in time with that status
  local deadline=$((SECONDS + $2)) status=0
  while kill -0 "$1" 2> /dev/null; do
    [ $SECONDS -lt "$deadline" ] || return 1
    sleep 0.2
  done
  wait "$1" || status=$?
  echo "     exit status $status"
  [ "$status" -eq "$3" ]
}

# --- The C example plays a whole song.
tone "$work/example.mp3" "$first_hz" 3
# In a new prefix the first program to open a sound device sets Wine's
# audio up, and may lose its sound doing so: one unchecked run first.
(cd "$work" && timeout 60 wine "$build/play_mp3stream.exe" example.mp3 > /dev/null 2>&1) || true
rm -f "$capture"
(cd "$work" && wine "$build/play_mp3stream.exe" example.mp3 > example.log 2>&1) &
example=$!
pids+=("$example")
check "example ends with status 0" ends_with "$example" 60 0
# The middle of the capture, away from the start and the end.
size=$(capture_bytes)
check "example's sound is the song's" heard $((size / 4)) $((size * 3 / 4)) "$first_hz"
rm -f "$capture"

# --- The player in a folder with a playlist (CR LF lines, as Windows writes
# them) of two songs and one file that is no MP3.
demo=$work/demo
mkdir "$demo"
tone "$demo/first.mp3" "$first_hz" 30
tone "$demo/second.mp3" "$second_hz" 30
head -c 4000 /dev/zero | tr '\0' 'x' > "$demo/broken.mp3"
printf 'first.mp3\r\nsecond.mp3\r\nbroken.mp3\r\n' > "$demo/playlist.qpl"
(cd "$demo" && exec wine "$build/player/mp3player.exe" > "$work/player.log" 2>&1) &
player=$!
pids+=("$player")

# The title is the file name up to its last dot.
check "player's title names the first song" wait_for 60 title_is "first\\."
xdotool mousemove 10 10
sleep 1
check "player plays the first song" hearing_now "$first_hz"
xdotool key Right
check "Right moves to the second song" wait_for 20 title_is "second\\."
# The first song's queued buffers play out first.
sleep 2
check "player plays the second song" hearing_now "$second_hz"
# Escape is not tried: under Wine 8 the library's DirectInput keyboard
# (GUID_SysKeyboardEm2) cannot be created, so its key-state table, which the
# player's quit key is read from, never changes; keys still arrive in the
# key buffer, which the other commands read.
kill "$player"

# --- A song that cannot be opened is reported, then skipped.
printf 'broken.mp3\r\nsecond.mp3\r\n' > "$demo/playlist.qpl"
(cd "$demo" && exec wine "$build/player/mp3player.exe" > "$work/player2.log" 2>&1) &
player=$!
pids+=("$player")
check "an unopenable song shows its message box" wait_for 60 message_box_up
xdotool windowfocus "$(message_box | head -n 1)" key Return 2> /dev/null || true
check "the next song plays after the message box" wait_for 20 title_is "second\\."

[ "$failures" -eq 0 ]
