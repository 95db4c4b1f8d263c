#!/usr/bin/env bash
# bootstrap.sh against stand-ins for dpkg-query, id, sudo and apt-get: what it says, in which
# order, and how apt-get is run, as root, through sudo, and with neither.
# usage: bootstrap_test.sh SOURCE_DIR
set -uo pipefail
bootstrap="$1/scripts/bootstrap.sh"
work=$(mktemp -d "${TMPDIR:-/tmp}/velmora-bootstrap.$$.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL $1"
  failures=$((failures + 1))
}

# A PATH holding only the stand-ins and the few real tools the script uses.
bin=$work/bin
mkdir -p "$bin"
for tool in awk bash env cat grep; do ln -s "$(command -v $tool)" "$bin/$tool"; done
# dpkg-query: every package named is installed but those listed in $work/missing.
cat >"$bin/dpkg-query" <<'STUB'
#!/bin/bash
shift 2
for p in "$@"; do
  grep -qx "$p" "$STUBS/missing" 2>/dev/null || echo "$p install ok installed"
done
STUB
printf '#!/bin/bash\necho "${STUB_UID:-0}"\n' >"$bin/id"
# sudo clears the environment, as its default policy does.
printf '#!/bin/bash\necho "[sudo]"\nexec /usr/bin/env -i PATH="$PATH" STUBS="$STUBS" "$@"\n' >"$work/sudo"
printf '#!/bin/bash\necho "[apt-get $* DEBIAN_FRONTEND=${DEBIAN_FRONTEND:-}]"\n' >"$bin/apt-get"
chmod +x "$bin"/* "$work/sudo"
export STUBS=$work

run() { PATH=$bin "$bootstrap" 2>&1; }

# All present: nothing said, nothing installed.
: >"$work/missing"
out=$(run) || fail "exit status when all is installed"
[ -z "$out" ] || fail "output when all is installed: $out"

# As root, with gpsim and help2man missing: says what and why, then installs quietly.
printf '%s\n' gpsim help2man >"$work/missing"
out=$(run) || fail "exit status as root"
grep -q "gpsim" <<<"$out" && grep -q "help2man" <<<"$out" || fail "missing packages not named: $out"
grep -q "^\[apt-get install -y .* gpsim help2man DEBIAN_FRONTEND=noninteractive\]$" <<<"$out" ||
  fail "apt-get install as root: $out"
grep -q "sudo" <<<"$out" && fail "sudo mentioned as root: $out"

# Not root, sudo present: the explanation comes before sudo, and apt-get still gets
# DEBIAN_FRONTEND through sudo's cleared environment.
cp "$work/sudo" "$bin/sudo"
out=$(STUB_UID=1000 run) || fail "exit status through sudo"
first_sudo=$(grep -n '^\[sudo\]' <<<"$out" | head -1 | cut -d: -f1)
explained=$(grep -n 'gpsim' <<<"$out" | head -1 | cut -d: -f1)
[ -n "$first_sudo" ] && [ -n "$explained" ] && [ "$explained" -lt "$first_sudo" ] ||
  fail "the packages are not named before sudo runs: $out"
grep -q "^\[apt-get install .*DEBIAN_FRONTEND=noninteractive\]$" <<<"$out" ||
  fail "DEBIAN_FRONTEND lost through sudo: $out"

# Not root and no sudo: a clear message and failure, nothing run.
rm "$bin/sudo"
out=$(STUB_UID=1000 run) && fail "exit status 0 without root and sudo"
grep -q "needs root, and sudo is not available" <<<"$out" || fail "no clear message: $out"
grep -q "apt-get install gpsim help2man" <<<"$out" || fail "no command to run as root: $out"
grep -q '^\[apt-get' <<<"$out" && fail "apt-get ran without privileges: $out"

# Every package the tests use is in the list: with nothing installed, all are asked for.
printf '%s\n' gpsim simavr libsimavr-dev help2man gputils gcc-avr srecord xvfb dpkg-dev \
  libgtest-dev >"$work/missing"
out=$(run)
for p in $(cat "$work/missing"); do
  grep -q "^\[apt-get install .* $p[] ]" <<<"$out" || fail "$p is not installed"
done

echo "$failures failed"
[ $failures -eq 0 ]
