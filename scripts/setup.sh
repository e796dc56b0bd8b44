#!/usr/bin/env bash
# Installs every Debian package that building, testing and benchmarking need.
# Non-interactive and idempotent: nothing is fetched when all are present.
set -euo pipefail
packages=(
  cmake g++ pkg-config libgtest-dev
  liballegro4-dev libjpgalleg4-dev libmpg123-dev libsystemd-dev
  lame twolame sox libsox-fmt-mp3 mpg123 python3-mutagen
  xvfb xdotool x11-utils x11-apps imagemagick alsa-utils dbus playerctl
  clang libclang-rt-14-dev shellcheck
)
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
