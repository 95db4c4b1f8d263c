#!/usr/bin/env bash
# Installs every Debian package the project needs. Quiet and quick when all are present.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config clang clang-format
  libgtest-dev libgmock-dev libbenchmark-dev
  libcli11-dev nlohmann-json3-dev
  libftdi1-dev
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev
  fonts-dejavu-core
  gputils gcc-avr avr-libc binutils-avr srecord simavr
  xvfb xauth fonts-dejavu-core
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "bootstrap: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
