#!/usr/bin/env bash
# Builds the two Debian packages the way a release would and checks them on
# this machine: the install tree (prefix_test.sh), the desktop entry and the
# manual page, lintian, then installing both packages with apt-get, using
# them (the software-centre entry through appstreamcli, the example built
# with pkg-config and with CMake), and removing them again.
#
#   bash tests/install/run_install_tests.sh
#     BUILD_DIR  build folder (default: build-pkg in the source tree)
#
# Changes the machine: run it as root (or with sudo) on a Debian 12 machine.
# It installs what it needs, and the packages it built are installed only for
# the duration of the run.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
here=$root/tests/install
build=${BUILD_DIR:-$root/build-pkg}
# shellcheck source=tests/install/common.sh
# shellcheck source=tests/install/common.sh
source "$here/common.sh"
sudo_cmd=""
[ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"

set -e
bash "$root/scripts/setup.sh"
tools=(lintian man-db desktop-file-utils dpkg-dev appstream)
missing=()
for p in "${tools[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2> /dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    $sudo_cmd apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# Debian's compiler and linker flags (hardening included); only the program
# and the library are built, and installation does not rebuild the rest.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cmake -S "$root" -B "$build" -DCMAKE_INSTALL_PREFIX=/usr -DCMAKE_BUILD_TYPE=None \
    -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON \
    -DCMAKE_C_FLAGS="$(dpkg-buildflags --get CFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
    -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" > /dev/null
cmake --build "$build" -j2 --target mp3player install_files
set +e

work=$(mktemp -d /tmp/install_tests.XXXXXX)
packages=(mp3player libalmp3-dev)
is_installed() { dpkg-query -W -f='${Status}' "$1" 2> /dev/null | grep -q "install ok installed"; }
remove_packages() { DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get remove -y -qq "${packages[@]}" > "$work/remove.log" 2>&1; }
cleanup() {
    for p in "${packages[@]}"; do
        if is_installed "$p"; then remove_packages; break; fi
    done
    rm -rf "$work"
}
trap cleanup EXIT
for p in "${packages[@]}"; do
    if is_installed "$p"; then
        echo "$p is installed already: remove it first" >&2
        exit 1
    fi
done

echo "=== install tree"
check "install tree and C example (prefix_test.sh)" bash "$here/prefix_test.sh" "$build"

echo "=== desktop entry and manual page"
check "desktop-file-validate accepts the desktop entry" desktop-file-validate "$root/packaging/mp3player.desktop"
man_clean() { [ -z "$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$build/packaging/generated/mp3player.1.gz" 2>&1 > /dev/null)" ]; }
check "the manual page formats without warnings" man_clean

echo "=== packages"
rm -rf "$build/packages"
check "cpack builds the packages" cpack --config "$build/CPackConfig.cmake" -B "$build/packages"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
arch=$(dpkg --print-architecture)
player_deb=$build/packages/mp3player_${version}_$arch.deb
dev_deb=$build/packages/libalmp3-dev_${version}_$arch.deb
check "mp3player package built" test -f "$player_deb"
check "libalmp3-dev package built" test -f "$dev_deb"
field() { dpkg-deb -f "$1" "$2"; }
check "mp3player is in section sound" test "$(field "$player_deb" Section)" = sound
check "libalmp3-dev is in section libdevel" test "$(field "$dev_deb" Section)" = libdevel
depends_on() { field "$1" Depends | tr ',|' '\n' | awk '{ print $1 }' | grep -qxF "$2"; }
for dep in liballegro4.4 libjpgalleg4.4 libmpg123-0 libc6 libstdc++6; do
    check "mp3player depends on $dep" depends_on "$player_deb" "$dep"
done
check "mp3player recommends x11-utils (xmessage shows its message boxes)" \
    test "$(field "$player_deb" Recommends)" = x11-utils
for dep in liballegro4-dev libmpg123-dev libstdc++-12-dev; do
    check "libalmp3-dev depends on $dep" depends_on "$dev_deb" "$dep"
done

echo "--- lintian"
lintian -I --pedantic "$player_deb" "$dev_deb" 2>&1 | grep -v 'running with root privileges' | tee "$work/lintian.txt"
echo "---"
check "lintian finds no errors or warnings" bash -c "! grep -q '^[EW]:' '$work/lintian.txt'"

echo "=== installed with apt-get"
DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "$player_deb" "$dev_deb" > "$work/install.log" 2>&1
check "apt-get installs both packages" test $? -eq 0 || cat "$work/install.log"
check "mp3player is on PATH in /usr/bin" test "$(command -v mp3player)" = /usr/bin/mp3player
check "man -w finds mp3player(1)" test "$(man -w mp3player)" = /usr/share/man/man1/mp3player.1.gz
check "the desktop entry is installed" test -f /usr/share/applications/mp3player.desktop
metainfo=/usr/share/metainfo/example.c_seed_ee37347f.mp3player.metainfo.xml
echo "--- appstreamcli validate --no-net $metainfo"
appstreamcli validate --no-net "$metainfo" > "$work/appstream.txt" 2>&1
appstream_status=$?
cat "$work/appstream.txt"
echo "---"
check "appstreamcli accepts the software-centre entry without errors or warnings" \
    bash -c "[ $appstream_status -eq 0 ] && ! grep -qE '^ *[EW]:' '$work/appstream.txt'"
check "pkg-config finds almp3 $version" test "$(pkg-config --modversion almp3)" = "$version"
check "pkg-config gives the system header folder" test "$(pkg-config --variable=includedir almp3)" = /usr/include

# The installed program: a fatal set-up error without a display; on one, it
# plays "playlist.qpl" from the working directory and exits with 0 after
# Escape.
no_display() { (cd "$work" && env -u DISPLAY timeout 30 mp3player > "$work/no_display.log" 2>&1); test $? -eq 255; }
check "mp3player without a display exits with 255" no_display
check "... after saying why" grep -q 'Unable to set graphics mode' "$work/no_display.log"
make_tone "$work"
printf 'tone.mp3\n' > "$work/playlist.qpl"
plays_and_quits() {
    local pid status window=""
    start_display "$work"
    (cd "$work" && in_display mp3player > "$work/player.log" 2>&1) &
    pid=$!
    for _ in $(seq 100); do
        window=$(in_display xdotool search --class Allegro getwindowname %@ 2> /dev/null | head -n 1)
        [ -n "$window" ] && break
        sleep 0.1
    done
    # Let about two seconds of sound reach the capture.
    sleep 2
    in_display xdotool mousemove 10 10 keydown Escape
    sleep 0.5
    in_display xdotool keyup Escape
    for _ in $(seq 100); do
        kill -0 "$pid" 2> /dev/null || break
        sleep 0.1
    done
    if kill -0 "$pid" 2> /dev/null; then kill "$pid"; fi
    wait "$pid"
    status=$?
    stop_display
    echo "window title: ${window:-no window}; exit status $status"
    [ -n "$window" ] && [ "$status" -eq 0 ]
}
check "mp3player opens its window, plays and exits with 0 after Escape" plays_and_quits
check "mp3player played the tone of playlist.qpl" sound_of_tone "$work" 2 600

# The example as a user of the package finds it, built with the system's
# pkg-config alone, playing the tone.
cp /usr/share/doc/libalmp3-dev/examples/play_mp3stream.c "$work/"
# shellcheck disable=SC2046  # pkg-config prints one flag per word
check "example builds against the installed package" \
    cc -Wall -Wextra -Werror "$work/play_mp3stream.c" $(pkg-config --cflags --libs almp3) -o "$work/play"
check "example plays a tone through the installed library" play_headless "$work" "$work/play" "$work/tone.mp3"
check "captured sound is the tone, 3 to 4 seconds long" sound_of_tone "$work" 3 4
check "example builds with the installed CMake package" build_with_cmake "$work/cmake" "$work/play_mp3stream.c"
check "example built with CMake plays the tone through the installed library" \
    play_headless "$work" "$work/cmake/build/app" "$work/tone.mp3"
check "captured sound is the tone, 3 to 4 seconds long" sound_of_tone "$work" 3 4

echo "=== removed with apt-get"
mapfile -t files < <(dpkg -L "${packages[@]}" | while read -r f; do [ -f "$f" ] && echo "$f"; done)
remove_packages
check "apt-get removes both packages" test $? -eq 0 || cat "$work/remove.log"
for p in "${packages[@]}"; do
    check "$p is no longer installed" bash -c "! dpkg-query -W -f='\${Status}' $p 2>/dev/null | grep -q 'install ok installed'"
done
none_left() { local f; for f in "${files[@]}"; do [ ! -e "$f" ] || { echo "left behind: $f"; return 1; }; done; }
check "none of the ${#files[@]} installed files is left" none_left
check "mp3player is gone from PATH" bash -c '! command -v mp3player'
check "man -w no longer finds mp3player" bash -c '! man -w mp3player 2>/dev/null'
check "pkg-config no longer finds almp3" bash -c '! pkg-config --exists almp3'

summary
