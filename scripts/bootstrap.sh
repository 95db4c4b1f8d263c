#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test and package itself. Quiet and
# quick when all are present; otherwise it says what it installs and why before it asks for
# privileges (apt-get as root, through sudo otherwise), and installs without questions.
set -euo pipefail

# One line per purpose: "why|packages".
NEEDS=(
  "compilers and the build|build-essential cmake ninja-build pkg-config clang clang-format"
  "the test suite and the benchmarks|libgtest-dev libgmock-dev libbenchmark-dev"
  "command-line parsing and JSON|libcli11-dev nlohmann-json3-dev"
  "the FT232 driver library for real hardware|libftdi1-dev"
  "the desktop program|qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev fonts-dejavu-core"
  "the test programs and the device data the tests check against|gputils gcc-avr avr-libc binutils-avr srecord"
  "the tests that run target programs in the PIC and AVR simulators|gpsim simavr libsimavr-dev"
  "the desktop program's tests without a display|xvfb xauth fonts-dejavu-core"
  "the manual pages and the Debian package|help2man dpkg-dev file"
)

# One query for all of them: the names of those installed.
all=()
for need in "${NEEDS[@]}"; do all+=(${need#*|}); done
# (dpkg-query fails for a name it has never heard of; the others still print.)
present=" $({ dpkg-query -W -f='${Package} ${Status}\n' "${all[@]}" 2>/dev/null || true; } |
  awk '/ install ok installed$/ { printf "%s ", $1 }')"
installed() { [[ $present == *" $1 "* ]]; }

missing=()
reasons=()
for need in "${NEEDS[@]}"; do
  why=${need%%|*}
  lacking=()
  for p in ${need#*|}; do
    if ! installed "$p" && [[ " ${missing[*]} " != *" $p "* ]]; then lacking+=("$p"); fi
  done
  if [ ${#lacking[@]} -gt 0 ]; then
    missing+=("${lacking[@]}")
    reasons+=("  for ${why}: ${lacking[*]}")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "bootstrap: these Debian packages are missing and will be installed with apt-get:"
printf '%s\n' "${reasons[@]}"

# apt-get asks nothing; the variable is passed through sudo explicitly, since sudo clears the
# environment.
apt=(env DEBIAN_FRONTEND=noninteractive apt-get)
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null 2>&1; then
    echo "bootstrap: installing needs root, and sudo is not available." >&2
    echo "bootstrap: as root, run: apt-get install ${missing[*]}" >&2
    exit 1
  fi
  echo "bootstrap: not running as root, so apt-get runs through sudo (it may ask for your password)"
  apt=(sudo "${apt[@]}")
fi

echo "bootstrap: updating the package lists"
"${apt[@]}" update -qq
echo "bootstrap: installing them (this may take a few minutes)"
"${apt[@]}" install -y -q --no-install-recommends "${missing[@]}"
echo "bootstrap: done"
