#!/usr/bin/env bash
# Cross-builds the Windows programs (scripts/build-windows.sh) and tests them
# under Wine: the decoder layer's unit tests through CTest, on the material
# a tested Linux build made, then the example and the player on a private
# display (tests/windows/wine_e2e.sh).
#   BUILD_DIR        build folder (default: build-win)
#   LINUX_BUILD_DIR  a Linux build whose tests have run (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(mkdir -p "${BUILD_DIR:-$root/build-win}" && cd "${BUILD_DIR:-$root/build-win}" && pwd)
linux_build=${LINUX_BUILD_DIR:-$root/build}
[ -d "$linux_build/tests/files/decodes" ] || {
  echo "$linux_build holds no test material: run its tests first (bash scripts/test.sh)" >&2
  exit 1
}
linux_build=$(cd "$linux_build" && pwd)

# shellcheck source=SCRIPTDIR/packages.sh
. "$root/scripts/packages.sh"
install_packages wine wine64 xvfb xdotool sox lame python3

BUILD_DIR=$build LINUX_BUILD_DIR=$linux_build bash "$root/scripts/build-windows.sh"

# A Wine prefix of the build's own, kept for later runs; its server stays up
# between the many short test programs.
export WINEPREFIX=$build/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$WINEPREFIX"
wineserver -k 2> /dev/null || true
wineserver -p
# The checks under Wine end the session themselves.
trap "wineserver -k 2> /dev/null || true" EXIT
wineboot --init > /dev/null 2>&1
ctest --test-dir "$build" --output-on-failure -j2
bash "$root/tests/windows/wine_e2e.sh" "$build"
