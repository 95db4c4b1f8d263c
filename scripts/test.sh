#!/usr/bin/env bash
# Bootstraps, builds with warnings as errors, and runs the whole test suite through ctest.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export VELMORA_BUILD_DIR=${VELMORA_BUILD_DIR:-$root/build}
"$root/scripts/build.sh"
cd "$VELMORA_BUILD_DIR"
ctest --output-on-failure -j"$(nproc)" "$@"
