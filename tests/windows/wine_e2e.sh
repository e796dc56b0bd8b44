#!/usr/bin/env bash
# The Windows programs as a user meets them, under Wine on a private Xvfb
# display with Wine's ALSA output captured to a WAV file: the C example plays
# a song; the player starts in a folder with a playlist, plays the first
# song, reports the song after it that it cannot open, and plays the next.
# Sound is judged by level and frequency, at the rate and channels Wine chose.
#   wine_e2e.sh BUILD_WIN_DIR
# Needs WINEPREFIX set (a prefix already made); prints one line per check.
#
# Keys cannot be tried: the library's Windows keyboard is a DirectInput
# device of the class GUID_SysKeyboardEm2, which Wine 8 does not know, so
# install_keyboard fails under Wine and neither the key buffer nor the key
# states ever change.
set -euo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

# Tones of the songs, and how far a measured one may lie off (Wine
# resamples the library's output to its own rate).
first_hz=440
second_hz=660
hz_tolerance_percent=2
# The heard level against the song's own (an RMS on the 16-bit scale): the
# programs play at full volume, centred, with no per-voice halving.
min_level_percent=70
max_level_percent=105

pids=()
failures=0
cleanup() {
  local pid log
  for pid in "${pids[@]}"; do kill "$pid" 2> /dev/null || true; done
  # What the programs printed, when a check failed.
  if [ "$failures" -ne 0 ]; then
    for log in "$work"/*.log; do echo "--- ${log##*/}"; cat "$log"; done
  fi
  wineserver -k 2> /dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

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

# ALSA's default device writes whatever is played to the file capture.wav,
# as 16-bit integers: Wine plays 32-bit floats, which the file's header
# would call integers. It runs faster than real time.
capture=$work/capture.wav
cat > "$work/asound.conf" <<EOF
pcm.!default { type plug; slave { pcm "capture"; format S16_LE; } }
pcm.capture { type file; slave.pcm "null"; file "$capture"; format "wav"; perm 0644 }
EOF
export ALSA_CONFIG_PATH=/usr/share/alsa/alsa.conf:$work/asound.conf

# Wine's desktop process keeps the display and the sound set-up of the
# session that started it, so a session started before this display would
# give the programs no screen: a session of its own, from here on.
wineserver -k 2> /dev/null || true
wineserver -w
wineserver -p

# The songs are sine tones at half the full scale; their RMS level.
tone_volume=0.5
tone_level=$(awk -v v="$tone_volume" 'BEGIN { printf "%d", 32767 * v / sqrt(2) }')
tone() {  # tone NAME HZ SECONDS: an MP3 of a sine tone, made by sox and lame
  sox -n -r 44100 -c 2 -b 16 "$work/tone.wav" synth "$3" sine "$2" vol "$tone_volume"
  lame --quiet -b 128 "$work/tone.wav" "$1"
  rm "$work/tone.wav"
}

capture_bytes() { stat -c %s "$capture" 2> /dev/null || echo 0; }

# The tone heard in the capture between two byte offsets is hz.
heard() {  # heard FROM TO HZ
  local rate channels level measured
  read -r rate channels level measured < <(python3 "$here/wav_tone.py" "$capture" "$1" "$2")
  echo "     heard ${measured} Hz at level ${level} (${rate} Hz, ${channels} channels)"
  awk -v m="$measured" -v l="$level" -v hz="$3" -v tol="$hz_tolerance_percent" -v want="$tone_level" \
    -v lo="$min_level_percent" -v hi="$max_level_percent" \
    'BEGIN { d = m - hz; if (d < 0) d = -d; exit !(l * 100 >= want * lo && l * 100 <= want * hi && d * 100 <= hz * tol) }'
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
(cd "$work" && wine "$build/play_mp3stream.exe" example.mp3 > example.log 2>&1) &
example=$!
pids+=("$example")
check "example ends with status 0" ends_with "$example" 60 0
# The middle of the capture, away from the start and the end.
size=$(capture_bytes)
check "example's sound is the song's" heard $((size / 4)) $((size * 3 / 4)) "$first_hz"
rm -f "$capture"

# --- The player in a folder with a playlist (CR LF lines, as Windows writes
# them): a short song, a file that is no MP3, and a long song.
demo=$work/demo
mkdir "$demo"
tone "$demo/first.mp3" "$first_hz" 10
tone "$demo/second.mp3" "$second_hz" 60
head -c 4000 /dev/zero | tr '\0' 'x' > "$demo/broken.mp3"
printf 'first.mp3\r\nbroken.mp3\r\nsecond.mp3\r\n' > "$demo/playlist.qpl"
(cd "$demo" && exec wine "$build/player/mp3player.exe" > "$work/player.log" 2>&1) &
player=$!
pids+=("$player")

# The title is the file name up to its last dot.
check "player's title names the first song" wait_for 60 title_is "first\\."
check "player plays the first song" hearing_now "$first_hz"
# The first song ends; the next cannot be opened.
check "an unopenable song shows its message box" wait_for 60 message_box_up
# Return closes the box; the box may not have the focus yet.
dismiss_box() {
  local box
  box=$(message_box) || return 0
  xdotool windowfocus "$box" key Return 2> /dev/null || true
  ! message_box_up
}
check "Return closes the message box" wait_for 20 dismiss_box
check "the next song's title follows" wait_for 20 title_is "second\\."
check "player plays the next song" hearing_now "$second_hz"

[ "$failures" -eq 0 ]
