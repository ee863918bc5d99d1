#!/usr/bin/env bash
# Installs the Debian packages the Windows build and its check need, when
# missing: beside the Linux build's (whose Qt tools moc, rcc and uic the
# cross-build runs), the MinGW-w64 compilers, NSIS, Wine, Xvfb and the tools
# the check drives the window with.
set -euo pipefail
exec bash "$(dirname "$0")/../install-deps.sh" ninja-build g++-mingw-w64-x86-64-posix \
    binutils-mingw-w64-x86-64 nsis wine64 xvfb xauth x11-utils xdotool imagemagick python3 \
    gcc libc6-dev
