#!/usr/bin/env bash
# Prints the prefix of the Qt built for Windows that the build uses, or fails:
# LV300_WIN_QT when set, else the shared one beside the project, else the one
# build-qt.sh leaves in the cache.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
for qt in "${LV300_WIN_QT:-}" "$root/../shared/winqt/qt6-mingw64" \
          "${XDG_CACHE_HOME:-$HOME/.cache}/lv300-configurator/qt6-mingw64"; do
    if [ -n "$qt" ] && [ -f "$qt/lib/cmake/Qt6/qt.toolchain.cmake" ]; then
        cd "$qt" && pwd
        exit 0
    fi
    [ -n "${LV300_WIN_QT:-}" ] && [ "$qt" = "$LV300_WIN_QT" ] && exit 1
done
exit 1
