#!/usr/bin/env bash
# Makes the MPEG audio files the tests decode, with real encoders, and their
# reference decodes with the mpg123 command line.
#
#   make_test_files.sh OUTDIR
#
# OUTDIR/manifest.txt lists one file per line: NAME RATE CHANNELS LAYER XING
# (XING is 1 when the encoder wrote a "Xing" header, 0 otherwise).
# For every NAME, OUTDIR/NAME is the file, OUTDIR/NAME.ref its reference
# decode as mpg123 decodes it by default (gapless: the Info frame skipped,
# the LAME tag's delay and padding trimmed) and OUTDIR/NAME.raw every frame
# decoded untrimmed (signed 16-bit native order, the file's own rate and
# channels).
set -euo pipefail
out=${1:?usage: make_test_files.sh OUTDIR}
mkdir -p "$out"
cd "$out"
if [ -f manifest.txt ] && [ manifest.txt -nt "$0" ]; then exit 0; fi
rm -f manifest.txt.new

seconds=6
sox -q -n -r 44100 -c 2 -b 16 src44.wav synth "$seconds" sine 200-4000 sine 660 vol 0.5
sox -q src44.wav -c 1 src44m.wav

add() { # NAME RATE CHANNELS LAYER XING
    mpg123 -q -e s16 -s "$1" > "$1.ref" 2>/dev/null
    mpg123 -q --no-gapless --no-infoframe -e s16 -s "$1" > "$1.raw" 2>/dev/null
    echo "$*" >> manifest.txt.new
}

# MPEG-1 Layer III: CBR (lame writes an "Info" header) and VBR ("Xing").
for khz in 44.1 48 32; do
    rate=$(awk -v k="$khz" 'BEGIN { printf "%d", k * 1000 + 0.5 }')
    lame --quiet -b 128 --resample "$khz" src44.wav "cbr${rate}s.mp3"; add "cbr${rate}s.mp3" "$rate" 2 3 0
    lame --quiet -b 64 -m m --resample "$khz" src44.wav "cbr${rate}m.mp3"; add "cbr${rate}m.mp3" "$rate" 1 3 0
    lame --quiet -V 2 --resample "$khz" src44.wav "vbr${rate}s.mp3"; add "vbr${rate}s.mp3" "$rate" 2 3 1
    lame --quiet -V 4 -m m --resample "$khz" src44.wav "vbr${rate}m.mp3"; add "vbr${rate}m.mp3" "$rate" 1 3 1
done

# With a CRC after each header.
lame --quiet -p -b 128 src44.wav crc44100s.mp3; add crc44100s.mp3 44100 2 3 0

# MPEG-2 and MPEG-2.5 Layer III.
for khz in 22.05 24 16 11.025 12 8; do
    rate=$(awk -v k="$khz" 'BEGIN { printf "%d", k * 1000 + 0.5 }')
    lame --quiet -b 32 --resample "$khz" src44.wav "cbr${rate}s.mp3"; add "cbr${rate}s.mp3" "$rate" 2 3 0
    lame --quiet -V 6 -m m --resample "$khz" src44.wav "vbr${rate}m.mp3"
    if head -c 200 "vbr${rate}m.mp3" | grep -q Xing; then x=1; else x=0; fi
    add "vbr${rate}m.mp3" "$rate" 1 3 "$x"
done

# Layer II.
twolame --quiet -b 192 src44.wav l2_44100s.mp2; add l2_44100s.mp2 44100 2 2 0
twolame --quiet -b 96 src44m.wav l2_44100m.mp2; add l2_44100m.mp2 44100 1 2 0
sox -q src44m.wav -r 24000 src24m.wav
twolame --quiet -b 64 src24m.wav l2_24000m.mp2; add l2_24000m.mp2 24000 1 2 0

# A 3000-byte ID3v2 tag in front (10-byte header, 2990 bytes of padding).
{ printf 'ID3\x03\x00\x00\x00\x00\x17\x2e'; head -c 2990 /dev/zero; cat cbr44100s.mp3; } > id3v2.mp3
add id3v2.mp3 44100 2 3 0

# A 128-byte "TAG" block at the end.
{ cat cbr44100s.mp3; printf 'TAG'; head -c 125 /dev/zero | tr '\0' ' '; } > tag.mp3
add tag.mp3 44100 2 3 0

# Not in the manifest (no reference decode): a VBR file of three seconds of
# silence, then three of loud noise, whose bytes lie far from evenly over
# its time, for seeks by the Xing table of contents.
sox -q -n -r 44100 -c 2 -b 16 quiet.wav trim 0 3
sox -q -n -r 44100 -c 2 -b 16 loud.wav synth 3 whitenoise vol 0.5
sox -q quiet.wav loud.wav quiet_loud.wav
lame --quiet -V 2 quiet_loud.wav quiet_loud.mp3

# Loop points as game audio tools write them, in samples of the timeline:
# ID3v2.4 TXXX frames in UTF-8 (LOOPSTART with LOOPLENGTH), and ID3v2.3 in
# UTF-16 (LOOPSTART with LOOPEND). Not in the manifest: the loop tests only.
loop_tags() { # IN OUT VERSION ENCODING NAME=VALUE...
    local in=$1 out=$2 version=$3 encoding=$4
    shift 4
    cp "$in" "$out"
    /usr/bin/python3 - "$out" "$version" "$encoding" "$@" <<'PY'
import sys
from mutagen.id3 import ID3, TXXX
path, version, encoding = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
tags = ID3()
for item in sys.argv[4:]:
    name, value = item.split("=")
    tags.add(TXXX(encoding=encoding, desc=name, text=[value]))
tags.save(path, v2_version=version)
PY
}
loop_tags cbr44100s.mp3 loop_cbr44100s.mp3 4 3 LOOPSTART=22050 LOOPLENGTH=66150
loop_tags vbr22050m.mp3 loop_vbr22050m.mp3 3 1 LOOPSTART=11025 LOOPEND=55125

rm -f src44.wav src44m.wav src24m.wav quiet.wav loud.wav quiet_loud.wav
mv manifest.txt.new manifest.txt
