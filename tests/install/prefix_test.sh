#!/usr/bin/env bash
# Installs a built tree into a temporary prefix and checks what a user of the
# program and of the library gets there: the files in their places, the
# pkg-config file and the CMake package, and the C example built with a C
# compiler against the installed library alone, both ways, playing a tone
# that is captured and measured.
#
#   prefix_test.sh BUILD_DIR
#
# Needs a display server (Xvfb), sox, lame and ImageMagick; changes nothing
# outside its temporary folder.
set -uo pipefail
build=$(cd "${1:?usage: prefix_test.sh BUILD_DIR}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=tests/install/common.sh
# shellcheck source=tests/install/common.sh
source "$here/common.sh"

work=$(mktemp -d /tmp/prefix_test.XXXXXX)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")

check "cmake --install into $prefix" cmake --install "$build" --prefix "$prefix"
echo "--- install tree"
(cd "$prefix" && find . | sort)
echo "---"

library=$(cd "$prefix" && find . -name libalmp3.a | sed 's|^\./||')
libdir=$(dirname "$library")
is_png_of_size() { [ "$(identify -format '%m %wx%h' "$1")" = "PNG $2" ]; }
manual_has() { zcat "$prefix/share/man/man1/mp3player.1.gz" | grep -q -- "$1"; }

check "program in bin" test -x "$prefix/bin/mp3player"
check "static library in the library folder" test -f "$prefix/$libdir/libalmp3.a"
check "header in include" cmp -s "$prefix/include/almp3.h" "$here/../../almp3/include/almp3.h"
check "pkg-config file beside the library" test -f "$prefix/$libdir/pkgconfig/almp3.pc"
check "desktop entry" grep -qx 'Exec=mp3player' "$prefix/share/applications/mp3player.desktop"
check "software-centre entry launching the desktop entry" grep -q '<launchable type="desktop-id">mp3player.desktop<' \
    "$prefix/share/metainfo/example.c_seed_ee37347f.mp3player.metainfo.xml"
check "CMake package beside the library" \
    test -f "$prefix/$libdir/cmake/almp3/almp3Config.cmake" -a -f "$prefix/$libdir/cmake/almp3/almp3ConfigVersion.cmake"
for size in 48 128 256; do
    check "${size}x${size} icon" is_png_of_size "$prefix/share/icons/hicolor/${size}x${size}/apps/mp3player.png" "${size}x${size}"
done
check "manual page compressed in man1" gzip -t "$prefix/share/man/man1/mp3player.1.gz"
check "manual page names the playlist file" manual_has 'playlist\.qpl'
check "manual page names the background image" manual_has 'bg\.jpg'
check "manual page gives the fatal exit status" manual_has '^\.B 255'
for example in play_mp3stream.c loop_mp3.c; do
    check "example $example in the library's documentation" \
        cmp -s "$prefix/share/doc/libalmp3-dev/examples/$example" "$here/../../examples/$example"
done
check "copyright files" test -f "$prefix/share/doc/mp3player/copyright" -a -f "$prefix/share/doc/libalmp3-dev/copyright"

export PKG_CONFIG_PATH=$prefix/$libdir/pkgconfig
check "pkg-config knows almp3 $version" test "$(pkg-config --modversion almp3)" = "$version"
header_version=$(awk '/^#define ALMP3_VERSION_(MAJOR|MINOR|PATCH) / { v = v sep $3; sep = "." } END { print v }' \
    "$prefix/include/almp3.h")
check "the header's version macros say $version" test "$header_version" = "$version"
check "pkg-config points into the prefix" \
    test "$(pkg-config --variable=includedir almp3)" = "$prefix/include"

# The example, compiled as C, linked with exactly what pkg-config says.
example=$prefix/share/doc/libalmp3-dev/examples/play_mp3stream.c
# shellcheck disable=SC2046  # pkg-config prints one flag per word
check "C example builds with pkg-config --cflags --libs" \
    cc -Wall -Wextra -Werror "$example" $(pkg-config --cflags --libs almp3) -o "$work/play_plain"
# shellcheck disable=SC2046  # pkg-config prints one flag per word
check "C example builds with pkg-config --static" \
    cc -Wall -Wextra -Werror "$example" $(pkg-config --static --cflags --libs almp3) -o "$work/play_static"
check "C example builds with find_package(almp3 1.0) and almp3::almp3" build_with_cmake "$work/cmake" "$example" "$prefix"

make_tone "$work"
check "example plays the tone and exits with 0" play_headless "$work" "$work/play_plain" "$work/tone.mp3"
grep -v '^ALSA lib' "$work/play.log"
check "example reports the tone's parameters" grep -q '^44100 Hz, stereo, layer 3, 128000 bit/s$' "$work/play.log"
check "captured sound is the tone, 3 to 4 seconds long" sound_of_tone "$work" 3 4
check "example built with CMake plays the tone and exits with 0" play_headless "$work" "$work/cmake/build/app" "$work/tone.mp3"
check "captured sound is the tone, 3 to 4 seconds long" sound_of_tone "$work" 3 4

head -c 40000 /dev/zero > "$work/zeros.mp3"
plays_no_zeros() { ! play_headless "$work" "$work/play_plain" "$work/zeros.mp3" && grep -q 'no MPEG audio frame' "$work/play.log"; }
check "example refuses a file without frames" plays_no_zeros

summary
