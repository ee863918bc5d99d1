#!/usr/bin/env bash
# Builds the configurator and starts it with the built-in simulator in the
# port list ("Симулятор"). Extra arguments go to the program (e.g. --port /dev/pts/3).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
exec build/bin/lv300-configurator --demo "$@"
