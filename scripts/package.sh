#!/usr/bin/env bash
# Builds the Debian package lv300-configurator_<version>_<arch>.deb into
# build-package/ (the programs only, no tests) and prints its path. Install it
# with
#     sudo apt-get install ./build-package/lv300-configurator_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build-package -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF >/dev/null
cmake --build build-package -j"$(nproc)"
cd build-package
rm -f ./*.deb
cpack -G DEB >/dev/null
ls "$PWD"/*.deb
