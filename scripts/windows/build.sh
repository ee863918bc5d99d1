#!/usr/bin/env bash
# Cross-builds the configurator for Windows (x86-64) with MinGW-w64 against a
# Qt built for Windows, and packages it:
#   build-win/dist/lv300-configurator/          the program folder
#   build-win/lv300-configurator-<v>-win64.zip  that folder zipped
#   build-win/lv300-configurator-<v>-setup.exe  the installer (NSIS)
# The Qt prefix comes from LV300_WIN_QT, else ../shared/winqt/qt6-mingw64 beside
# the project, else the one scripts/windows/build-qt.sh caches.
# LV300_WIN_TESTS=ON also builds the core tests (for check.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
bash scripts/windows/install-deps.sh

qt=$(bash scripts/windows/find-qt.sh) || {
    echo "No Qt for Windows: set LV300_WIN_QT or run scripts/windows/build-qt.sh" >&2
    exit 1
}
out=build-win
cmake -S . -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$qt/lib/cmake/Qt6/qt.toolchain.cmake" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DBUILD_TESTING="${LV300_WIN_TESTS:-OFF}" >/dev/null
cmake --build "$out" -j"$(nproc)"

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$out/CMakeCache.txt")
dist="$out/dist/lv300-configurator"
rm -rf "$out/dist"
cmake --install "$out" --prefix "$dist" >/dev/null
# Without symbol tables and debug information (a DLL keeps its exports).
x86_64-w64-mingw32-strip "$dist"/*.exe
x86_64-w64-mingw32-strip --strip-unneeded "$dist"/*.dll "$dist"/platforms/*.dll "$dist"/styles/*.dll

zip="$out/lv300-configurator-$version-win64.zip"
rm -f "$zip"
(cd "$out/dist" && cmake -E tar cf "../$(basename "$zip")" --format=zip lv300-configurator)

setup="$out/lv300-configurator-$version-setup.exe"
makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DDIST="$root/$dist" \
    -DICON="$root/data/icons/lv300-configurator.ico" -DOUTFILE="$root/$setup" \
    scripts/windows/installer.nsi
echo "$zip"
echo "$setup"
