#!/usr/bin/env bash
# Makes a demo folder for the player: a few short pieces synthesised with sox
# and encoded with lame (Layer III) and twolame (Layer II), listed in the
# folder's "playlist.qpl" so that the player starts playing at once.
#
#   make_demo.sh OUTDIR
set -euo pipefail
out=${1:?usage: make_demo.sh OUTDIR}
mkdir -p "$out"
cd "$out"
if [ -f playlist.qpl ] && [ playlist.qpl -nt "$0" ]; then exit 0; fi

# note NAME SECONDS PITCH: one plucked note (pitch in semitones from A4).
note() { sox -q -n -r 44100 -c 2 -b 16 "$1" synth "$2" pluck "%$3" fade 0 "$2" 0.05 vol 0.7; }

# piece OUT.wav PITCH...: the notes one after the other, a quarter second each.
piece() {
    local wav=$1; shift
    local parts=() i=0
    for p in "$@"; do note "part$i.wav" 0.25 "$p"; parts+=("part$i.wav"); i=$((i + 1)); done
    sox -q "${parts[@]}" "$wav"
    rm -f "${parts[@]}"
}

piece rising.wav -9 -5 -2 3 -9 -5 -2 3 -7 -4 0 5 -7 -4 0 5 -9 -5 -2 3 -9 -5 -2 3
piece falling.wav 7 3 0 -5 7 3 0 -5 5 2 -2 -7 5 2 -2 -7 3 0 -4 -9 3 0 -4 -9
sox -q -n -r 44100 -c 2 -b 16 chord.wav synth 6 sine 220 sine 277 fade 0.5 6 1.5 vol 0.4

lame --quiet -b 128 rising.wav "Rising Arpeggio.mp3"
lame --quiet -V 4 falling.wav "Falling Arpeggio.mp3"
twolame --quiet -b 192 chord.wav "Slow Chord.mp2"
rm -f rising.wav falling.wav chord.wav

printf '%s\n' "Rising Arpeggio.mp3" "Slow Chord.mp2" "Falling Arpeggio.mp3" > playlist.qpl
