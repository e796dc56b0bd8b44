#!/usr/bin/env bash
# Makes a 10-minute 128 kbit/s stereo MP3 with sox and lame, then times its
# conversion to a sample against libmpg123 decoding it alone, and the
# creation of an in-memory object over a 60-minute file (six copies of the
# same audio, encoded without an info frame so that the copies join into one
# stream).
#
#   run_sample_bench.sh [BUILD_DIR] [ROUNDS]
set -euo pipefail
build=${1:-build}
rounds=${2:-3}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
sox -q -n -r 44100 -c 2 -b 16 "$tmp/src.wav" synth 600 sine 200-4000 sine 660 vol 0.5
lame --quiet -b 128 "$tmp/src.wav" "$tmp/bench.mp3"
lame --quiet -b 128 -t "$tmp/src.wav" "$tmp/part.mp3"
rm -f "$tmp/src.wav"
for _ in 1 2 3 4 5 6; do cat "$tmp/part.mp3"; done > "$tmp/hour.mp3"
"$build/bench/bench_sample" "$tmp/bench.mp3" "$rounds" "$tmp/hour.mp3"
