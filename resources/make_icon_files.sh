#!/usr/bin/env bash
# Makes the icon files the build uses from the picture mp3player.png, with
# ImageMagick, so that building needs no image tools:
#   mp3player_icon.xpm             the X11 window icon (icon.cpp includes it),
#                                  the picture exactly (it keeps to 48 colours);
#   icons/NxN/mp3player.png        the desktop's theme icons: the 200 x 222
#                                  picture centred on a transparent square and
#                                  scaled to each square size.
# Run it after changing the picture, and commit what it writes.
#
#   make_icon_files.sh [OUTDIR]    (default: this folder)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=${1:-$here}
picture=$here/mp3player.png
mkdir -p "$out"
# The XPM's array takes its name from the file's.
convert "$picture" "$out/mp3player_icon.xpm"
for size in 48 128 256; do
    mkdir -p "$out/icons/${size}x${size}"
    convert "$picture" -background none -gravity center -extent 222x222 -resize "${size}x${size}" \
        -strip "$out/icons/${size}x${size}/mp3player.png"
done
