#!/usr/bin/env bash
# Makes MP3 files laid out as real collections have them (cover pictures,
# padded and stacked tags, tags and junk after the audio, joined songs,
# unusual first frames) and long VBR files for seeking, each with its
# reference decode by the mpg123 command line.
#
#   make_real_world_files.sh OUTDIR
#
# For every file NAME, OUTDIR/NAME.ref is its reference decode: mpg123's
# default (gapless) decode, signed 16-bit native order, the file's own rate
# and channels. The layout files also have NAME.raw, every frame decoded
# untrimmed (Info frames as silent frames). OUTDIR/complete marks a finished
# run.
set -euo pipefail
out=${1:?usage: make_real_world_files.sh OUTDIR}
mkdir -p "$out"
cd "$out"
if [ -f complete ] && [ complete -nt "$0" ]; then exit 0; fi
rm -f complete
# Debian's own interpreter, where python3-mutagen is installed.
py=/usr/bin/python3

ref() { mpg123 -q -e s16 -s "$1" > "$1.ref" 2>/dev/null; }
raw() { mpg123 -q --no-gapless --no-infoframe -e s16 -s "$1" > "$1.raw" 2>/dev/null; }
# A noise picture of about $2 bytes (PNG of random pixels, ~2.7 bytes each).
picture() {
    local side
    side=$(awk -v b="$2" 'BEGIN { printf "%d", sqrt(b / 2.7) }')
    convert -size "${side}x${side}" xc:gray +noise Random -depth 8 "PNG24:$1"
}

sox -q -n -r 44100 -c 2 -b 16 song_a.wav synth 5 sine 200-4000 sine 660 vol 0.5
sox -q -n -r 44100 -c 2 -b 16 song_b.wav synth 4 sine 3000-300 sine 440 vol 0.5
lame --quiet -b 128 song_a.wav cbr.mp3
lame --quiet -b 128 song_b.wav cbr_b.mp3
lame --quiet -V 2 song_a.wav vbr.mp3
lame --quiet -b 128 -t song_a.wav cbr_no_info.mp3
lame --quiet -V 2 -t song_a.wav vbr_no_xing.mp3

# Cover pictures embedded by the encoder (ID3v2.3 APIC frames).
picture cover60k.png 61440
picture cover200k.png 204800
picture cover1m.png 1048576
lame --quiet -b 128 --ti cover60k.png song_a.wav cover_60k.mp3
lame --quiet -V 2 --ti cover200k.png song_a.wav cover_200k.mp3
lame --quiet -b 128 --ti cover1m.png song_a.wav cover_1m.mp3
lame --quiet -b 128 --ti cover60k.png song_b.wav cover_b.mp3

"$py" - <<'EOF'
import struct
from mutagen.id3 import ID3, TIT2, TPE1
from mutagen.apev2 import APEv2, APEValue, BINARY

def syncsafe(n):
    return bytes([(n >> 21) & 0x7F, (n >> 14) & 0x7F, (n >> 7) & 0x7F, n & 0x7F])

def text_frame_v24(fid, text):
    body = b'\x03' + text.encode()
    return fid + syncsafe(len(body)) + b'\x00\x00' + body

def text_frame_v23(fid, text):
    body = b'\x00' + text.encode()
    return fid + struct.pack('>I', len(body)) + b'\x00\x00' + body

def id3v1(title):
    return b'TAG' + title.encode().ljust(30, b'\0') + b'Artist'.ljust(30, b'\0') \
        + b'Album'.ljust(30, b'\0') + b'2024' + b'Comment'.ljust(30, b'\0') + b'\x0c'

def tagged(src, dst, title, padding, v1=False):
    data = open(src, 'rb').read()
    open(dst, 'wb').write(data + (id3v1(title) if v1 else b''))
    tags = ID3()
    tags.add(TIT2(encoding=3, text=title))
    tags.add(TPE1(encoding=3, text='Artist'))
    tags.save(dst, padding=lambda info: padding)

audio = open('cbr.mp3', 'rb').read()

# A tag padded to 40 KB as a tagger leaves it for later edits.
tagged('cbr.mp3', 'padded_40k.mp3', 'Padded', 40960)

# ID3v2.4 with a footer (no padding is allowed with one).
frames = text_frame_v24(b'TIT2', 'Footer') + text_frame_v24(b'TPE1', 'Artist')
head = b'ID3\x04\x00\x10' + syncsafe(len(frames))
open('footer_v24.mp3', 'wb').write(head + frames + b'3DI' + head[3:] + audio)

# Two leading tags: an ID3v2.3 tag in front of the ID3v2.4 tag a tagger wrote.
tagged('cbr.mp3', 'two_tags.mp3', 'Second', 512)
frames = text_frame_v23(b'TIT2', 'First') + bytes(300)
first = b'ID3\x03\x00\x00' + syncsafe(len(frames)) + frames
rest = open('two_tags.mp3', 'rb').read()
open('two_tags.mp3', 'wb').write(first + rest)

# An APEv2 tag with a cover picture after the last frame, then an ID3v1 tag.
open('ape_cover.mp3', 'wb').write(audio)
ape = APEv2()
ape['Title'] = 'Ape'
ape['Cover Art (Front)'] = APEValue(b'cover.png\0' + open('cover60k.png', 'rb').read(), BINARY)
ape.save('ape_cover.mp3')
open('ape_cover.mp3', 'ab').write(id3v1('Ape'))

# A Lyrics3 v2 block before an ID3v1 tag.
fields = b'IND00002' + b'10' + b'LYR00040' + b'[00:01]la la la\r\n[00:02]la la la la\r\n'.ljust(40, b' ')
lyrics = b'LYRICSBEGIN' + fields
open('lyrics3.mp3', 'wb').write(audio + lyrics + b'%06d' % len(lyrics) + b'LYRICS200' + id3v1('Lyrics'))

# Runs of zero bytes before and after the audio (a VBR file: its Xing
# frame count gives the length, not the byte count).
open('zero_runs.mp3', 'wb').write(bytes(6000) + open('vbr.mp3', 'rb').read() + bytes(20000))

# Two tagged songs joined: the second song's ID3v2 tag (and the first's
# ID3v1 tag) lie between the frames.
tagged('cbr.mp3', 'joined_a.mp3', 'Song A', 200, v1=True)
tagged('cbr_b.mp3', 'joined_b.mp3', 'Song B', 200, v1=True)
open('joined.mp3', 'wb').write(open('joined_a.mp3', 'rb').read() + open('joined_b.mp3', 'rb').read())
# The same with a cover picture in the second song's tag: a gap longer than
# any search for a lost frame.
open('joined_cover.mp3', 'wb').write(open('joined_a.mp3', 'rb').read() + open('cover_b.mp3', 'rb').read())

# A CBR file whose first frame is padded: the encoder's stream (without
# its info frame) from its first padded frame on.
data = open('cbr_no_info.mp3', 'rb').read()
pos = 0
while not data[pos + 2] & 0x02:
    rate_index = data[pos + 2] >> 4
    pos += 144000 * [0, 32, 40, 48, 56, 64, 80, 96, 112, 128][rate_index] // 44100
open('padded_first.mp3', 'wb').write(data[pos:])
EOF
for f in cover_60k cover_200k cover_1m padded_40k footer_v24 two_tags ape_cover lyrics3 zero_runs joined joined_cover \
         vbr_no_xing padded_first; do
    ref "$f.mp3"
    raw "$f.mp3"
done

# The first frame of padded_first.mp3 must carry the padding bit.
[ $(( $(od -An -tu1 -j2 -N1 padded_first.mp3) & 2 )) -eq 2 ]

# Seek files: 60 s of a quiet sweep (about 40 kbit/s) and 60 s of loud
# noise (about 110 kbit/s), in both orders. No dither: it would make the
# quiet part as costly as the noise.
sox -D -q -n -r 44100 -c 2 -b 16 quiet.wav synth 60 sine 100-3000 vol 0.01
sox -D -q -n -r 44100 -c 2 -b 16 loud.wav synth 60 whitenoise vol 0.5
sox -D quiet.wav loud.wav quiet_loud.wav
sox -D loud.wav quiet.wav loud_quiet.wav
for f in quiet_loud loud_quiet; do
    lame --quiet -V 2 "$f.wav" "seek_$f.mp3"
    ref "seek_$f.mp3"
done

rm -f ./*.wav ./*.png cbr.mp3 cbr_b.mp3 vbr.mp3 cbr_no_info.mp3 joined_a.mp3 joined_b.mp3 cover_b.mp3
touch complete
