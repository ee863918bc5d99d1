#!/usr/bin/env bash
# Installs the Debian packages the Windows build and its check need, when
# missing: the MinGW-w64 compilers, NSIS, Wine, Xvfb and the host Qt tools
# (moc, rcc, uic) the cross-build runs. Uses sudo when not run as root.
set -euo pipefail
packages=(cmake ninja-build qt6-base-dev qt6-base-dev-tools qt6-translations-l10n
          g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 nsis wine64 xvfb xauth
          x11-utils xdotool imagemagick file python3 gcc libc6-dev)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
