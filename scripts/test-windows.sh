#!/usr/bin/env bash
# Cross-builds the Windows programs (scripts/build-windows.sh) and tests them
# under Wine: the decoder layer's unit tests through CTest, on the material
# a tested Linux build made, then the example and the player on a private
# display (tests/windows/wine_e2e.sh, with WINE_E2E=1).
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

packages=(wine wine64 xvfb xdotool sox lame python3)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

BUILD_DIR=$build LINUX_BUILD_DIR=$linux_build bash "$root/scripts/build-windows.sh"

# A Wine prefix of the build's own, kept for later runs; its server stays up
# between the many short test programs.
export WINEPREFIX=$build/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$WINEPREFIX"
wineserver -k 2> /dev/null || true
wineserver -p
trap "wineserver -k" EXIT
wineboot --init > /dev/null 2>&1
ctest --test-dir "$build" --output-on-failure -j2
# The end-to-end checks under Wine (the example's and the player's sound,
# the keys, the message box) still fail now and then on a loaded machine,
# so they run on request only: WINE_E2E=1.
if [ "${WINE_E2E:-0}" = 1 ]; then
  bash "$root/tests/windows/wine_e2e.sh" "$build"
fi
