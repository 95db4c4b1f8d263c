#!/usr/bin/env bash
# run.sh's choice of demo mode: the desktop program's arguments for each USB bus and command
# line, on a made-up /sys/bus/usb/devices.
# usage: demo_mode_test.sh SOURCE_DIR
set -uo pipefail
. "$1/scripts/demo-mode.sh"
usb=$(mktemp -d "${TMPDIR:-/tmp}/velmora-demo-mode.$$.XXXXXX")
trap 'rm -rf "$usb"' EXIT
export VELMORA_USB_DEVICES=$usb
failures=0

# plug ID VENDOR PRODUCT: a USB device as sysfs shows it.
plug() {
  mkdir -p "$usb/$1"
  echo "$2" >"$usb/$1/idVendor"
  echo "$3" >"$usb/$1/product"
}

# expect "WHAT" "EXPECTED ARGUMENTS" ARGUMENTS...: the arguments run.sh starts velmora with.
expect() {
  local what=$1 expected=$2
  shift 2
  local got
  got=$(demo_mode_arguments "$@" 2>/dev/null | paste -sd' ')
  if [ "$got" != "$expected" ]; then
    echo "FAIL $what: expected '$expected', got '$got'"
    failures=$((failures + 1))
  else
    echo "ok   $what"
  fi
}

[ "$(programmer_description)" = "Velmora USB-Programmer Interface" ] ||
  { echo "FAIL the description is not found in the source"; failures=$((failures + 1)); }

expect "no USB device: demo mode" "--simulate PIC18F4550"
expect "a preset keeps demo mode" "--simulate PIC18F4550 /tmp/my board.upr" "/tmp/my board.upr"
expect "a device given is kept" "--simulate PIC18F2550" --simulate PIC18F2550
expect "help is not demo mode" "--help" --help

plug 1-1 0403 "FT232R USB UART"
expect "another FT232 adapter of the same vendor: still demo mode" "--simulate PIC18F4550"

plug 1-2 0403 "Velmora USB-Programmer Interface"
expect "the programmer on USB: no demo mode" ""
expect "the programmer on USB with a preset" "board.upr" board.upr

if [ "$(demo_mode_arguments 2>&1 >/dev/null)" != "" ]; then
  echo "FAIL a notice about demo mode while the programmer is present"
  failures=$((failures + 1))
fi
rm -rf "${usb:?}/1-2"
notice=$(demo_mode_arguments 2>&1 >/dev/null)
case $notice in
  *"demo mode"*) echo "ok   demo mode is announced on stderr" ;;
  *) echo "FAIL no notice of demo mode: '$notice'"; failures=$((failures + 1)) ;;
esac

echo "$failures failed"
[ $failures -eq 0 ]
