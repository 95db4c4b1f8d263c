#!/usr/bin/env bash
# Configures and builds the project into build/ (or $VELMORA_BUILD_DIR), showing the build's
# progress. Every script configures with the same options (warnings are errors), so it does not
# matter whether run.sh or test.sh builds first; extra options come from $VELMORA_CMAKE_ARGS.
# usage: scripts/build.sh [TARGET...]   (no target: everything the test suite needs)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VELMORA_BUILD_DIR:-$root/build}
"$root/scripts/bootstrap.sh"

options=(-G Ninja "-DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE:-RelWithDebInfo}" -DVELMORA_WERROR=ON)
if command -v ccache >/dev/null 2>&1; then
  options+=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
# shellcheck disable=SC2206  # the extra options are words
options+=(${VELMORA_CMAKE_ARGS:-})

# Configure again whenever the options differ from those of the existing build tree.
stamp="$build/velmora-configure-options"
if [ ! -f "$build/build.ninja" ] || [ "$(cat "$stamp" 2>/dev/null)" != "${options[*]}" ]; then
  echo "build: configuring $build (${options[*]})"
  mkdir -p "$build"
  if ! cmake -S "$root" -B "$build" "${options[@]}" >"$build/configure.log"; then
    echo "build: configuring failed, see $build/configure.log" >&2
    exit 1
  fi
  echo "${options[*]}" >"$stamp"
fi
echo "build: building ${*:-everything} in $build"
cmake --build "$build" -- -j"$(nproc)" "$@"
