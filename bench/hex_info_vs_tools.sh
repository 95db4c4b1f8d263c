#!/usr/bin/env bash
# Times whole processes on the same 1 MB-program Intel HEX file (about 2.9 MB of text), in one
# run: `velmora-cli hex info` against `objcopy -I ihex -O binary` and srec_cat to binary.
# Usage: bench/hex_info_vs_tools.sh [runs]   (builds velmora-cli first; default 50 runs each)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VELMORA_BUILD_DIR:-$root/build}
runs=${1:-50}
"$root/scripts/build.sh" velmora-cli >/dev/null
cli="$build/bin/velmora-cli"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A full program memory of pseudo-random bytes in 16-byte records.
srec_cat -generate 0 0x100000 -random -o "$work/program.hex" -intel -output_block_size=16
echo "file: $(stat -c %s "$work/program.hex") bytes of HEX text, 1048576 bytes of program"

# Prints "<label>: mean X ms, min Y ms" over $runs runs of the command (after one warm-up run).
time_it() {
  local label=$1
  shift
  "$@" >/dev/null 2>&1
  local total=0 best=0
  for ((i = 0; i < runs; i++)); do
    local start end
    start=$(date +%s%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s%N)
    local ns=$((end - start))
    total=$((total + ns))
    if ((best == 0 || ns < best)); then best=$ns; fi
  done
  awk -v l="$label" -v t="$total" -v b="$best" -v n="$runs" \
    'BEGIN { printf "%-34s mean %6.2f ms   min %6.2f ms\n", l ":", t / n / 1e6, b / 1e6 }'
}

time_it "velmora-cli hex info" "$cli" hex info "$work/program.hex"
time_it "objcopy -I ihex -O binary" objcopy -I ihex -O binary "$work/program.hex" "$work/o.bin"
time_it "srec_cat -intel -o - -binary" srec_cat "$work/program.hex" -intel -o - -binary
