#!/usr/bin/env bash
# Runs program, verify and read of PIC18F4550 and PIC18F8722 on both programmer kinds through
# velmora-cli on the simulator and keeps stdout, stderr, exit code and transcript of each, with
# the log's time stamps and elapsed times masked, in OUT_DIR.
# usage: scripts/capture-cli-runs.sh BUILD_DIR SOURCE_DIR OUT_DIR; run it on two builds into the
# same OUT_DIR path (moving the first result aside) and compare the two with diff -r.
set -euo pipefail
build=$1; src=$2; out=$3
rm -rf "$out"; mkdir -p "$out"
cli="$build/bin/velmora-cli"
mask() { sed -E 's/^[0-9]{2}:[0-9]{2}:[0-9]{2}:[0-9]{2}   /TT:TT:TT:TT   /; s/(Finished Successfully \*\*\*) [0-9]+:[0-9]{3}/\1 E:EEE/'; }
for dev in PIC18F4550:$build/test-data/engine/pic18f4550_blink.hex PIC18F8722:$build/test-data/engine/pic18f8722_tables.hex; do
  name=${dev%%:*}; hex=${dev#*:}
  for kind in full mini; do
    flag=""; [ $kind = mini ] && flag="--mini"
    state="$out/$name-$kind.state.json"; rm -f "$state"
    for op in program verify read; do
      tag="$name-$kind-$op"
      args="$op --simulate $name $flag"
      case $op in program|verify) args="$args --hex $hex";; read) args="$args --out $out/$tag.hex";; esac
      set +e
      env -u VELMORA_SIM_SCENARIO VELMORA_SIM_STATE="$state" VELMORA_SIM_TRANSCRIPT="$out/$tag.transcript.json" \
        XDG_CONFIG_HOME="$out/config" "$cli" $args > "$out/$tag.raw" 2> "$out/$tag.err" < /dev/null
      echo $? > "$out/$tag.exit"
      set -e
      mask < "$out/$tag.raw" > "$out/$tag.out"; rm "$out/$tag.raw"
    done
  done
done
