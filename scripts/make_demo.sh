#!/usr/bin/env bash
# Makes a demo folder for the player: a few short pieces synthesised with sox
# and encoded with lame (Layer III) and twolame (Layer II), listed in the
# folder's "playlist.qpl" so that the player starts playing at once, and a
# background picture, "bg.jpg", drawn with ImageMagick, for the translucent
# panels to lie over.
#
#   make_demo.sh OUTDIR
set -euo pipefail
out=${1:?usage: make_demo.sh OUTDIR}
mkdir -p "$out"
cd "$out"
if [ -f playlist.qpl ] && [ playlist.qpl -nt "$0" ] && [ -f bg.jpg ]; then exit 0; fi

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

# Soft light discs over a dark blue glow, drawn small and scaled up to
# 1920 x 1080 (the player stretches it over the screen).
convert -size 480x270 radial-gradient:'#4a86c8'-'#07142c' \
  -fill '#ffffff1c' -draw 'circle 120,110 120,40' -draw 'circle 205,70 205,30' -draw 'circle 70,180 70,135' \
  -draw 'circle 330,190 330,150' -draw 'circle 410,80 410,55' -fill '#ffd08a18' -draw 'circle 280,120 280,95' \
  -blur 0x2 -resize '1920x1080!' -quality 90 bg.jpg

printf '%s\n' "Rising Arpeggio.mp3" "Slow Chord.mp2" "Falling Arpeggio.mp3" > playlist.qpl
