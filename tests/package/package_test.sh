#!/usr/bin/env bash
# Builds the Debian package from the build tree with CPack, unpacks it into a scratch root
# (dpkg -x, as an installation would lay it out) and checks what it holds and that the
# installed command line runs: its version, the simulated programmer found where the installed
# program looks for it, and an operation that reads the stored settings.
# usage: package_test.sh BUILD_DIR VERSION
set -uo pipefail
build=$1
version=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/velmora-package.$$.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL $1"
  failures=$((failures + 1))
}

if ! cpack --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log"
  echo "FAIL cpack"
  exit 1
fi
deb=$(ls "$work"/out/velmora_*.deb 2>/dev/null | head -1)
[ -n "$deb" ] || { echo "FAIL no package in $work/out"; ls -R "$work/out"; exit 1; }
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes"

# The control fields: name, version and the dependencies a clean system needs.
[ "$(dpkg-deb -f "$deb" Package)" = velmora ] || fail "package name"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "version $(dpkg-deb -f "$deb" Version)"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for needed in libc6 libstdc++6 libftdi1-2 libqt6core6 libqt6widgets6 qt6-qpa-plugins; do
  [[ $depends == *"$needed"* ]] || fail "Depends lacks $needed"
done

root=$work/root
dpkg -x "$deb" "$root" || fail "dpkg -x"
libdir=$(dirname "$(find "$root/usr/lib" -name libvelmora-sim.so | head -1)")
for file in usr/bin/velmora usr/bin/velmora-cli "${libdir#"$root"/}/libvelmora-sim.so" \
  "${libdir#"$root"/}/libvelmora-d2xx.so" "${libdir#"$root"/}/libvelmora-settings.so" \
  usr/lib/udev/rules.d/99-velmora-ft232.rules \
  usr/share/applications/velmora.desktop usr/share/icons/hicolor/scalable/apps/velmora.svg \
  usr/share/man/man1/velmora.1.gz usr/share/man/man1/velmora-cli.1.gz \
  usr/share/velmora/scripts/pic18f4550_icsp.zeq; do
  [ -f "$root/$file" ] || fail "missing /$file"
done
[ -x "$root/usr/bin/velmora-cli" ] || fail "velmora-cli is not executable"
grep -qx 'Exec=velmora %f' "$root/usr/share/applications/velmora.desktop" || fail "desktop Exec"
grep -qx 'Icon=velmora' "$root/usr/share/applications/velmora.desktop" || fail "desktop Icon"
zcat "$root/usr/share/man/man1/velmora-cli.1.gz" | grep -q 'devices' ||
  fail "the velmora-cli manual page does not list the commands"
zcat "$root/usr/share/man/man1/velmora.1.gz" | grep -q 'simulate' ||
  fail "the velmora manual page does not list --simulate"
grep -q 'ATTR{idVendor}=="0403"' "$root/usr/lib/udev/rules.d/99-velmora-ft232.rules" ||
  fail "udev rule"

# The installed programs run: the loader finds the libraries in the library directory, as it
# would under /usr after an installation.
export LD_LIBRARY_PATH=$libdir
out=$("$root/usr/bin/velmora-cli" --version 2>&1)
[ "$out" = "velmora-cli $version" ] || fail "velmora-cli --version: $out"
out=$(env -u DISPLAY -u WAYLAND_DISPLAY "$root/usr/bin/velmora" --version 2>&1)
[ "$out" = "velmora $version" ] || fail "velmora --version: $out"
out=$(XDG_CONFIG_HOME=$work/config "$root/usr/bin/velmora-cli" programmer --simulate PIC18F4550 \
  </dev/null 2>&1)
[ "$out" = "Velmora FW V3.05 (simulated)" ] || fail "programmer --simulate: $out"
# An operation reads the stored settings through the settings library.
out=$(XDG_CONFIG_HOME=$work/config "$root/usr/bin/velmora-cli" identify --simulate PIC18F4550 \
  </dev/null 2>&1) || fail "identify --simulate: $out"
[[ $out == *"summary: identify, device PIC18F4550"*success* ]] || fail "identify --simulate: $out"

echo "$failures failed"
[ $failures -eq 0 ]
