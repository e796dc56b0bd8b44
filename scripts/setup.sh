#!/usr/bin/env bash
# Installs every Debian package that building, testing and benchmarking need.
# Non-interactive and idempotent: nothing is fetched when all are present.
set -euo pipefail
# shellcheck source=SCRIPTDIR/packages.sh
. "$(dirname "$0")/packages.sh"
packages=(
  cmake g++ pkg-config libgtest-dev
  liballegro4-dev libjpgalleg4-dev libmpg123-dev libsystemd-dev
  lame twolame sox libsox-fmt-mp3 mpg123 python3-mutagen
  xvfb xdotool x11-utils x11-apps imagemagick alsa-utils dbus playerctl
  clang libclang-rt-14-dev shellcheck
)
install_packages "${packages[@]}"
