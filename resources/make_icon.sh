#!/usr/bin/env bash
# Draws the application icon, 200 x 222 pixels in 24-bit colour, with
# ImageMagick: the player's own look in small (a red translucent controls
# column and playlist band over a dark background) under a white pair of
# beamed notes. Writes mp3player.png, the one source of the icon, and
# mp3player.ico for the Windows resource script, then the X11 and theme icon
# files made from it (make_icon_files.sh). The picture keeps to 48 colours
# (stored as 24-bit pixels) so that the X11 window icon's XPM holds it
# exactly.
set -euo pipefail
cd "$(dirname "$0")"
convert -size 200x222 gradient:'#1c2c58'-'#04060c' \
  -fill '#b0141480' -stroke '#ffffffc0' -strokewidth 2 \
  -draw 'roundrectangle 146,8 192,214 6,6' \
  -draw 'roundrectangle 8,170 138,214 6,6' \
  -draw 'roundrectangle 8,146 138,166 4,4' \
  -stroke none -fill '#ffffffb0' \
  -draw 'rectangle 154,24 184,27' -draw 'rectangle 154,36 184,39' -draw 'rectangle 154,48 176,51' \
  -draw 'rectangle 154,72 184,75' -draw 'rectangle 154,84 170,87' -draw 'rectangle 154,96 180,99' \
  -draw 'rectangle 16,178 110,181' -draw 'rectangle 16,198 96,201' \
  -fill '#ffd23c' -draw 'rectangle 10,187 136,192' \
  -fill white -stroke none \
  -draw 'ellipse 42,118 19,13 0,360' -draw 'ellipse 108,100 19,13 0,360' \
  -draw 'rectangle 56,30 63,118' -draw 'rectangle 122,14 129,100' \
  -draw 'polygon 56,30 129,14 129,34 56,50' \
  -draw 'polygon 56,60 129,44 129,54 56,70' \
  -alpha off +dither -colors 48 -type TrueColor -depth 8 PNG24:mp3player.png
# The .ico holds the same picture as a 24-bit bitmap: ImageMagick's own icon
# writer would store 32-bit pixels, so the icon is assembled from a 24-bit
# BMP: its pixels with a doubled height in the header (colour rows, then
# the transparency mask rows), followed by an all-opaque mask.
convert mp3player.png -type TrueColor BMP3:- | python3 -c '
import struct, sys
bmp = sys.stdin.buffer.read()
width, height = struct.unpack_from("<ii", bmp, 18)
info = bytearray(bmp[14:54])
struct.pack_into("<i", info, 8, 2 * height)
struct.pack_into("<I", info, 20, 0)  # image size: computed by the reader
pixels = bmp[struct.unpack_from("<I", bmp, 10)[0]:][: ((width * 3 + 3) // 4 * 4) * height]
mask = bytes(((width + 31) // 32 * 4) * height)
image = bytes(info) + pixels + mask
entry = struct.pack("<BBBBHHII", width, height, 0, 0, 1, 24, len(image), 6 + 16)
sys.stdout.buffer.write(struct.pack("<HHH", 0, 1, 1) + entry + image)
' > mp3player.ico
bash make_icon_files.sh
