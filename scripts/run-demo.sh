#!/usr/bin/env bash
# Builds the configurator (that target only) and starts it with the built-in
# simulator in the port list ("Симулятор"). Extra arguments go to the program
# (e.g. --port /dev/pts/3). Configures build/ only the first time; after that
# the build itself notices what changed.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
[ -f build/CMakeCache.txt ] || cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
# Only what is compiled is shown, not every up-to-date step.
cmake --build build -j"$(nproc)" --target lv300-configurator |
    { grep -v -e 'Built target' -e 'Automatic MOC and UIC' || true; }
exec build/bin/lv300-configurator --demo "$@"
