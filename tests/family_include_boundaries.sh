#!/usr/bin/env bash
# Each device family lives in its own folders: src/families/F, src/ui/F, tests/families/F and
# bench/F. Outside them only the registries (the family registry and the page registry) may
# include the family's headers. Prints every include that crosses a boundary; exit 1 if any.
set -euo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$root"
status=0
for dir in src/families/*/; do
  family=$(basename "$dir")
  pattern="#include \"(families|ui)/$family/"
  while IFS= read -r hit; do
    file=${hit%%:*}
    case "$file" in
      src/families/$family/*|src/ui/$family/*|tests/families/$family/*|bench/$family/*) ;;
      src/families/family_registry.cpp|src/ui/page_registry.cpp) ;;
      *) echo "$hit"; status=1 ;;
    esac
  done < <(grep -rnE "$pattern" src sim tests bench fuzz --include='*.cpp' --include='*.h' || true)
done
exit $status
