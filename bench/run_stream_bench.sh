#!/usr/bin/env bash
# Times the streaming object against libmpg123 on a 10-minute 128 kbit/s
# stereo file made now with sox and lame.
#
#   run_stream_bench.sh BUILD_DIR [ROUNDS]
set -euo pipefail
build=${1:?usage: run_stream_bench.sh BUILD_DIR [ROUNDS]}
rounds=${2:-5}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
sox -q -n -r 44100 -c 2 -b 16 "$work/src.wav" synth 600 sine 200-4000 sine 660 pinknoise vol 0.4
lame --quiet -b 128 "$work/src.wav" "$work/bench.mp3"
rm -f "$work/src.wav"
"$build/bench/bench_stream" "$work/bench.mp3" "$rounds"
