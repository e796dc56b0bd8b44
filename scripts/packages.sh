# shellcheck shell=bash
# Sourced by the set-up and Windows scripts: install_packages PACKAGE...
# installs those of the Debian packages that are missing, non-interactively,
# as root or through sudo; nothing is fetched when all are present.
install_packages() {
  local missing=() p sudo_cmd=""
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
