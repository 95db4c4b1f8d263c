# Sourced by run.sh (and its test): whether the desktop program starts in demo mode.
# The programmer is known by the USB product description its FT232 enumerates under, the one
# the link opens it by; an FT232 adapter of any other product has the same vendor id and does
# not count. $VELMORA_USB_DEVICES replaces /sys/bus/usb/devices (for tests).

# The description, read from the one place the program keeps it.
programmer_description() {
  sed -n 's/.*kProgrammerDescription\[\] = "\(.*\)";.*/\1/p' \
    "$(dirname "${BASH_SOURCE[0]}")/../src/link/programmer_identity.h"
}

programmer_on_usb() {
  local description
  description=$(programmer_description)
  [ -n "$description" ] &&
    grep -qsxF -- "$description" "${VELMORA_USB_DEVICES:-/sys/bus/usb/devices}"/*/product
}

# Prints the desktop program's arguments, one per line: those given, preceded by
# "--simulate PIC18F4550" when no programmer is on USB and the arguments choose no simulated
# device and only ask for help or the version.
demo_mode_arguments() {
  local demo=true argument
  for argument in "$@"; do
    case $argument in
      --simulate | --simulate=* | -h | --help | --help-all | -v | --version) demo=false ;;
    esac
  done
  if $demo && ! programmer_on_usb; then
    echo "run.sh: the programmer is not on USB, starting in demo mode (simulated programmer, PIC18F4550)" >&2
    printf '%s\n' --simulate PIC18F4550
  fi
  if [ $# -gt 0 ]; then printf '%s\n' "$@"; fi
}
