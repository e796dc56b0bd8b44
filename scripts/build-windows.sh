#!/usr/bin/env bash
# Cross-builds the player for 64-bit Windows on Debian 12 and packs it in a
# zip: installs the mingw-w64 cross tools, builds Allegro 4.4 (with its JPEG
# add-on), libmpg123 and GoogleTest statically from Debian's sources into a
# prefix inside the build folder (reused when present), then builds the
# decoder library, the player, the C example and the decoder unit tests.
#   BUILD_DIR        build folder (default: build-win)
#   LINUX_BUILD_DIR  the Linux build whose tests made the material the unit
#                    tests read under Wine (default: build)
# Prints the zip's path on its last line.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(mkdir -p "${BUILD_DIR:-$root/build-win}" && cd "${BUILD_DIR:-$root/build-win}" && pwd)
deps=$build/deps
prefix=$deps/prefix
toolchain=$root/cmake/mingw-w64-x86_64.cmake
host=x86_64-w64-mingw32
jobs=2

allegro_tarball=allegro4.4_4.4.3.1.orig.tar.gz
mpg123_tarball=mpg123_1.31.2.orig.tar.bz2

# shellcheck source=SCRIPTDIR/packages.sh
. "$root/scripts/packages.sh"
sudo_cmd=""
[ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"

install_tools() {
  install_packages cmake pkg-config zip mingw-w64 g++-mingw-w64-x86-64 googletest icoutils
}

# Source packages need a deb-src entry beside the system's deb entry.
enable_sources() {
  if grep -rqs '^Types:.*deb-src\|^deb-src ' /etc/apt/sources.list /etc/apt/sources.list.d/; then return; fi
  $sudo_cmd tee /etc/apt/sources.list.d/debian-src.sources > /dev/null <<'EOF'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
  $sudo_cmd apt-get update -qq
}

# Fetches the upstream tarball of a source package into deps/download and
# checks it against the SHA-256 sum its .dsc gives. apt-get may fail on the
# Debian revision's own files, which are not needed.
fetch_tarball() {
  local package=$1 tarball=$2 dsc sum
  mkdir -p "$deps/download"
  cd "$deps/download"
  if [ ! -f "$tarball" ]; then
    enable_sources
    apt-get source --download-only "$package" > apt-source.log 2>&1 || true
  fi
  dsc=$(find . -maxdepth 1 -name "${package}_*.dsc" | head -n 1)
  if [ -z "$dsc" ] || [ ! -f "$tarball" ]; then
    echo "could not fetch $tarball" >&2
    cat apt-source.log >&2
    exit 1
  fi
  sum=$(awk -v f="$tarball" '/^Checksums-Sha256:/ {on = 1; next} /^[^ ]/ {on = 0} on && $3 == f {print $1}' "$dsc")
  [ -n "$sum" ] || { echo "$dsc gives no SHA-256 sum for $tarball" >&2; exit 1; }
  echo "$sum  $tarball" | sha256sum --check --quiet
  cd "$root"
}

# Unpacks a tarball into deps/src, fresh, and prints the folder it made.
unpack() {
  local tarball=$1 dir
  dir=$(tar tf "$deps/download/$tarball" | head -n 1 | cut -d/ -f1)
  rm -rf "${deps:?}/src/$dir"
  mkdir -p "$deps/src"
  tar xf "$deps/download/$tarball" -C "$deps/src"
  echo "$deps/src/$dir"
}

cmake_cross() {
  cmake -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_FIND_ROOT_PATH="$prefix" -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DCMAKE_BUILD_TYPE=Release "$@" > /dev/null
}

build_allegro() {
  [ -f "$prefix/lib/liballeg.a" ] && [ -f "$prefix/lib/libjpgalleg.a" ] && return
  fetch_tarball allegro4.4 "$allegro_tarball"
  local src
  src=$(unpack "$allegro_tarball")
  cmake_cross -S "$src" -B "$src/build" -DSHARED=OFF -DWANT_EXAMPLES=OFF -DWANT_TESTS=OFF -DWANT_TOOLS=OFF \
    -DWANT_DOCS=OFF -DWANT_ALLEGROGL=OFF -DWANT_LOADPNG=OFF -DWANT_LOGG=OFF -DWANT_JPGALLEG=ON
  cmake --build "$src/build" -j"$jobs" > "$deps/allegro-build.log" 2>&1 || { cat "$deps/allegro-build.log" >&2; exit 1; }
  cmake --install "$src/build" > /dev/null
  # Allegro's Windows build installs no pkg-config files: these name the
  # static libraries and the system libraries they need.
  mkdir -p "$prefix/lib/pkgconfig"
  cat > "$prefix/lib/pkgconfig/allegro.pc" <<EOF
prefix=$prefix
Name: allegro
Description: Allegro game programming library (static)
Version: 4.4.3.1
Libs: -L\${prefix}/lib -lalleg -lgdi32 -lwinmm -lole32 -ldxguid -lddraw -ldinput -ldsound -lkernel32 -luser32 -lcomdlg32
Cflags: -DALLEGRO_STATICLINK -I\${prefix}/include
EOF
  cat > "$prefix/lib/pkgconfig/jpgalleg.pc" <<EOF
prefix=$prefix
Name: jpgalleg
Description: JPEG add-on for Allegro (static)
Version: 2.6
Requires: allegro
Libs: -L\${prefix}/lib -ljpgalleg
Cflags: -I\${prefix}/include
EOF
}

build_mpg123() {
  [ -f "$prefix/lib/libmpg123.a" ] && return
  fetch_tarball mpg123 "$mpg123_tarball"
  local src
  src=$(unpack "$mpg123_tarball")
  (cd "$src" && ./configure --host="$host" --prefix="$prefix" --disable-shared --enable-static \
     CC="$host-gcc-posix" > /dev/null &&
   make -j"$jobs" > "$deps/mpg123-build.log" 2>&1 && make install > /dev/null) ||
    { cat "$deps/mpg123-build.log" >&2; exit 1; }
}

# GoogleTest from Debian's googletest package (its sources), built with the
# same compilers as the tests.
build_gtest() {
  [ -f "$prefix/lib/libgtest.a" ] && return
  cmake_cross -S /usr/src/googletest -B "$deps/src/googletest-build" -DBUILD_GMOCK=OFF -Dgtest_disable_pthreads=OFF
  cmake --build "$deps/src/googletest-build" -j"$jobs" > /dev/null
  cmake --install "$deps/src/googletest-build" > /dev/null
}

build_project() {
  # --static: the libraries static linking needs as well.
  PKG_CONFIG_LIBDIR="$prefix/lib/pkgconfig" cmake_cross -S "$root" -B "$build" -DMP3PLAYER_WERROR=ON -DMP3PLAYER_MPRIS=OFF -DPKG_CONFIG_ARGN=--static \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CROSSCOMPILING_EMULATOR=wine -DMP3PLAYER_LINUX_TEST_FILES="${LINUX_BUILD_DIR:-$root/build}/tests/files"
  cmake --build "$build" -j"$jobs"
}

make_zip() {
  local stage=$build/zip/mp3player zip_file=$build/mp3player-windows.zip
  rm -rf "$build/zip" "$zip_file"
  mkdir -p "$stage"
  "$host-strip" -o "$stage/mp3player.exe" "$build/player/mp3player.exe"
  cp "$root/LICENSE" "$stage/LICENSE.txt"
  cp "$root/packaging/windows-readme.txt" "$stage/README.txt"
  (cd "$build/zip" && zip -q -r "$zip_file" mp3player)
  echo "$zip_file"
}

install_tools
build_allegro
build_mpg123
build_gtest
build_project
make_zip
