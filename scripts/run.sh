#!/usr/bin/env bash
# Builds and starts the desktop program (the build's progress on stderr). Without the
# programmer on USB it starts in demo mode, on the simulated programmer with a PIC18F4550.
#   scripts/run.sh                      the desktop program (without a display: a simulated
#                                       Program on the command line)
#   scripts/run.sh [velmora options]    e.g. a preset file, or --simulate PIC18F2550
#   scripts/run.sh --cli ARGS...        the command-line program, e.g. --cli hex info FILE
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VELMORA_BUILD_DIR:-$root/build}
if [ "${1:-}" = "--cli" ]; then
  shift
  "$root/scripts/build.sh" velmora-cli >&2
  exec "$build/bin/velmora-cli" "$@"
fi
if [ $# -eq 0 ] && [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  # No screen to show the window on: show the same operation on the command line instead.
  echo "run.sh: no display, running the command-line program on the simulated programmer" >&2
  "$root/scripts/build.sh" velmora-cli >&2
  exec "$build/bin/velmora-cli" program --simulate PIC18F4550 \
    --hex "$root/examples/pic18f4550-blink.hex"
fi
"$root/scripts/build.sh" velmora >&2
. "$root/scripts/demo-mode.sh"
mapfile -t arguments < <(demo_mode_arguments "$@")
exec "$build/bin/velmora" "${arguments[@]}"
