#!/usr/bin/env bash
# Installs the Debian packages the configurator needs to build, run and test,
# when they are missing, with any further packages named as arguments. Uses
# sudo when not run as root.
set -euo pipefail

# qt6-translations-l10n: Qt's own texts in Russian; dpkg-dev and file: the
# package's dependencies (scripts/package.sh); libqt6opengl6-dev: the Qt Charts
# CMake package asks for Qt OpenGL's, which qt6-charts-dev does not pull in.
packages=(cmake g++ make qt6-base-dev qt6-base-dev-tools qt6-serialport-dev
          qt6-multimedia-dev qt6-charts-dev libqt6opengl6-dev libgl-dev
          qt6-translations-l10n dpkg-dev file "$@")
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
