#!/usr/bin/env bash
# Sets up the machine, builds the player and starts it in a demo folder whose
# "playlist.qpl" lists a few short pieces made by the build, so that it plays
# at once. Needs a graphical session (DISPLAY) and a sound card.
#   BUILD_DIR   build folder (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
bash "$root/scripts/setup.sh"
cmake -S "$root" -B "$build" > /dev/null
cmake --build "$build" -j"$(nproc)" --target mp3player demo
cd "$build/demo"
exec "$build/player/mp3player"
