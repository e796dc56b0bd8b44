#!/usr/bin/env bash
# Sets up the machine, builds everything and runs every test.
#   BUILD_DIR   build folder (default: build)
#   CMAKE_ARGS  extra arguments for cmake's configure step
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
bash "$root/scripts/setup.sh"
# shellcheck disable=SC2086
cmake -S "$root" -B "$build" ${CMAKE_ARGS:-} > /dev/null
cmake --build "$build" -j"$(nproc)"
ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
