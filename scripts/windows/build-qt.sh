#!/usr/bin/env bash
# Builds the Qt the Windows package needs (6.4.2: qtbase, qtserialport,
# qtcharts) for x86-64 Windows with MinGW-w64, on a Debian 12 machine that has
# no prebuilt one. About 1 h 20 min on two cores. The result is cached in
#   ${XDG_CACHE_HOME:-~/.cache}/lv300-configurator/qt6-mingw64
# where build.sh finds it. qtbase comes from Debian's source package
# qt6-base 6.4.2+dfsg (a deb-src line is added for the download when missing);
# qtserialport and qtcharts from their v6.4.2 tarballs, taken from
# LV300_WIN_QT_SRC (default: ../shared/winqt/src beside the project).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cache=${XDG_CACHE_HOME:-$HOME/.cache}/lv300-configurator
prefix=$cache/qt6-mingw64
work=$cache/qt-build
src=${LV300_WIN_QT_SRC:-$root/../shared/winqt/src}
if [ -f "$prefix/lib/cmake/Qt6/qt.toolchain.cmake" ]; then
    echo "$prefix"
    exit 0
fi
for m in qtserialport qtcharts; do
    [ -f "$src/$m-6.4.2.tar.xz" ] || { echo "no $src/$m-6.4.2.tar.xz" >&2; exit 1; }
done
bash "$root/scripts/windows/install-deps.sh"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    dpkg-dev perl xz-utils

mkdir -p "$work" "$prefix"
cd "$work"
if [ ! -d qtbase-everywhere-src-6.4.2 ]; then
    list=/etc/apt/sources.list.d/lv300-qt-source.sources
    if ! apt-get source --download-only qt6-base=6.4.2+dfsg-10 2>/dev/null; then
        printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: bookworm\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' |
            $sudo tee "$list" > /dev/null
        $sudo apt-get update -qq
        apt-get source --download-only qt6-base=6.4.2+dfsg-10
        $sudo rm -f "$list"
        $sudo apt-get update -qq
    fi
    tar -xJf qt6-base_6.4.2+dfsg.orig.tar.xz
fi
for m in qtserialport qtcharts; do
    [ -d "$m" ] || { mkdir "$m"; tar -xJf "$src/$m-6.4.2.tar.xz" -C "$m"; }
done
cp "$root/scripts/windows/mingw-w64.cmake" "$prefix/mingw-w64.cmake"
cmake -S qtbase-everywhere-src-6.4.2 -B build-qtbase -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$prefix/mingw-w64.cmake" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_BUILD_TYPE=Release \
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF \
    -DFEATURE_sql=OFF -DFEATURE_dbus=OFF -DFEATURE_network=OFF -DFEATURE_concurrent=OFF \
    -DFEATURE_printsupport=OFF -DFEATURE_xml=OFF -DFEATURE_tabletevent=OFF \
    -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_freetype=OFF \
    -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_jpeg=OFF
ninja -C build-qtbase
cmake --install build-qtbase
for m in qtserialport qtcharts; do
    mkdir -p "build-$m"
    (cd "build-$m" && "$prefix/bin/qt-configure-module" "$work/$m" && ninja &&
        cmake --install .)
done
echo "$prefix"
