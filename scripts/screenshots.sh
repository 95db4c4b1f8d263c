#!/usr/bin/env bash
# Renders the pages of the desktop program into docs/screenshots/ (offscreen, no display
# needed): the start page, the PIC18 page after a simulated Program, the compact page and the
# dsPIC30 page.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VELMORA_BUILD_DIR:-$root/build}
"$root/scripts/build.sh" velmora-screenshots >/dev/null
QT_QPA_PLATFORM=offscreen "$build/bin/velmora-screenshots" "$root/docs/screenshots"
