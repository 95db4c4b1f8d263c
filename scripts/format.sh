#!/usr/bin/env bash
# Formats the project's C++ sources with the repository's clang-format configuration.
# `scripts/format.sh --check` only reports files that need formatting (exit 1 if any).
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ "${1:-}" = "--check" ]; then
  clang-format --dry-run --Werror "${files[@]}"
else
  clang-format -i "${files[@]}"
fi
