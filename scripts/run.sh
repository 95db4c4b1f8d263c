#!/usr/bin/env bash
# Builds the project and runs the program on the bundled example.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VELMORA_BUILD_DIR:-$root/build}
"$root/scripts/build.sh" velmora-cli >/dev/null
if [ $# -eq 0 ]; then
  set -- hex info "$root/examples/pic18f4550-blink.hex"
fi
exec "$build/bin/velmora-cli" "$@"
