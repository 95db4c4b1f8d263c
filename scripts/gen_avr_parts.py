#!/usr/bin/env python3
"""Generates the AVR fuse and part tables from avr-libc's device headers.

  scripts/gen_avr_parts.py product   > src/families/avr/avr_fuse_bits.inc
  scripts/gen_avr_parts.py simulator > sim/avr/avr_parts.inc
  scripts/gen_avr_parts.py check          # both files against a fresh run (exit 1 on a change)

Fuse bit names and positions, the byte each lies in ("Low/High/Extended Fuse Byte" sections of
/usr/lib/avr/include/avr/io*.h), the boot lock bits, signatures and sizes come from avr-libc
(evaluated with `avr-gcc -E`). avr-libc's *_DEFAULT fuse values are not used: they are wrong for
some parts; the factory values are the catalogue's.

What avr-libc does not say (calibration byte count, RDY/BSY polling, EEPROM page access over SPI,
the clock-source table) is stated below per part group, with the data sheet it comes from
(see ../shared/reference/avr-serial-programming.md, tables A.2 to A.5).
"""
import os
import re
import subprocess
import sys

# Catalogue name -> avr-gcc -mmcu name. The order is the catalogue's row order; ATmega328P is a
# part the catalogue does not know (the simulator plays it when a scenario asks for it).
PARTS = [
    ("ATmega48", "atmega48"), ("ATmega8", "atmega8"), ("ATmega88", "atmega88"),
    ("ATmega8515", "atmega8515"), ("ATmega8535", "atmega8535"), ("ATmega16", "atmega16"),
    ("ATmega162", "atmega162"), ("ATmega168", "atmega168"), ("ATmega169", "atmega169"),
    ("ATmega32", "atmega32"), ("ATmega325", "atmega325"), ("ATmega3250", "atmega3250"),
    ("ATmega329", "atmega329"), ("ATmega3290", "atmega3290"), ("ATmega64", "atmega64"),
    ("ATmega645", "atmega645"), ("ATmega6450", "atmega6450"), ("ATmega649", "atmega649"),
    ("ATmega6490", "atmega6490"), ("ATmega128", "atmega128"), ("ATtiny2313", "attiny2313"),
    ("ATtiny13(V)", "attiny13"), ("ATtiny26(L)", "attiny26"), ("Atmega644(V)", "atmega644"),
    ("ATmega164P(V)", "atmega164p"), ("ATmega324P(V)", "atmega324p"),
    ("ATmega644P(V)", "atmega644p"), ("ATtiny24", "attiny24"), ("ATtiny44", "attiny44"),
    ("ATtiny84", "attiny84"), ("ATtiny25", "attiny25"), ("ATtiny45", "attiny45"),
    ("ATtiny85", "attiny85"), ("ATtiny261", "attiny261"), ("ATtiny461", "attiny461"),
    ("ATtiny861", "attiny861"), ("ATmega640/V", "atmega640"), ("ATmega1280/V", "atmega1280"),
    ("ATmega1281/V", "atmega1281"), ("ATmega2560/V", "atmega2560"),
    ("ATmega2561/V", "atmega2561"),
]
SIM_ONLY = [("ATmega328P", "atmega328p")]

# Parts whose serial instruction set has no "Poll RDY/BSY" and no EEPROM page instructions
# (M8 T98, M64/M128 T129, T26 T61; ATmega8515/8535/16/32 share the ATmega8 table).
CLASSIC = {"atmega8", "atmega8515", "atmega8535", "atmega16", "atmega32", "atmega64",
           "atmega128", "attiny26"}
# Oscillator calibration bytes readable over SPI (M8 T98: 4 for the RC 1/2/4/8 MHz parts;
# T13 T17-9: 2; ATtiny2313: 4 and 8 MHz; the rest 1).
CALIBRATION = {"attiny13": 2, "attiny2313": 2}
# Clock-source tables (CKSEL value -> source), by the data sheets' "Device Clocking Options".
CLOCK_SCHEME = {
    **{m: "classic" for m in CLASSIC},
    "attiny13": "tiny13", "attiny2313": "tiny2313",
    "attiny25": "tinypll", "attiny45": "tinypll", "attiny85": "tinypll",
    "attiny261": "tinypll", "attiny461": "tinypll", "attiny861": "tinypll",
}
FUSE_BYTE = {"Low": 0, "High": 1, "Extended": 2}
LOCK_BITS = [("LB1", 0), ("LB2", 1)]
BOOT_LOCK_BITS = [("BLB01", 2), ("BLB02", 3), ("BLB11", 4), ("BLB12", 5)]


def header_of(mmcu):
    out = subprocess.run(["avr-gcc", f"-mmcu={mmcu}", "-E", "-x", "c", "-"],
                         input="#include <avr/io.h>\n", capture_output=True, text=True,
                         check=True).stdout
    for path in sorted(set(re.findall(r'"(/[^"]*/avr/io[^"/]*\.h)"', out))):
        name = os.path.basename(path)
        if name not in ("io.h", "iofuse.h", "iofuse.h") and re.match(r"io(m|tn)\d", name):
            return path
    raise SystemExit(f"no device header for {mmcu}")


def macros_of(mmcu):
    out = subprocess.run(["avr-gcc", f"-mmcu={mmcu}", "-E", "-dM", "-x", "c", "-"],
                         input="#include <avr/io.h>\n", capture_output=True, text=True,
                         check=True).stdout
    macros = {}
    for line in out.splitlines():
        m = re.match(r"#define (\w+) (.*)", line)
        if m:
            macros[m.group(1)] = m.group(2).strip()
    return macros


def number(text):
    return int(text.strip("()").rstrip("UuLl"), 0)


def part(name, mmcu):
    path = header_of(mmcu)
    text = open(path).read()
    macros = macros_of(mmcu)
    bits = []
    section = None
    for line in text.splitlines():
        m = re.match(r"/\*\s*(Low|High|Extended) Fuse Byte\s*\*/", line.strip())
        if m:
            section = FUSE_BYTE[m.group(1)]
            continue
        m = re.match(r"#define FUSE_(\w+)\s+\(unsigned char\)~_BV\((\d)\)", line.strip())
        if m and section is not None:
            bits.append((m.group(1), section, int(m.group(2))))
    locks = list(LOCK_BITS)
    if "__BOOT_LOCK_BITS_0_EXIST" in macros:
        locks += BOOT_LOCK_BITS[:2]
    if "__BOOT_LOCK_BITS_1_EXIST" in macros:
        locks += BOOT_LOCK_BITS[2:]
    return {
        "name": name, "mmcu": mmcu, "header": os.path.basename(path),
        "signature": [number(macros[f"SIGNATURE_{i}"]) for i in range(3)],
        "flash": number(macros["FLASHEND"]) + 1,
        # ATtiny26 cannot self-program, so avr-libc gives no SPM_PAGESIZE; T26 T61 loads pages
        # with a 4-bit word offset: 16 words.
        "pageWords": number(macros["SPM_PAGESIZE"]) // 2 if "SPM_PAGESIZE" in macros else 16,
        "eeprom": number(macros["E2END"]) + 1,
        "e2page": number(macros.get("E2PAGESIZE", "0")),
        "fuseBytes": number(macros["FUSE_MEMORY_SIZE"]),
        "bits": bits, "locks": locks,
    }


def product(parts):
    lines = ["// Generated by scripts/gen_avr_parts.py from avr-libc's device headers; do not edit.",
             "// Per catalogue row: the fuse bytes the part has and every named fuse and lock bit",
             "// (byte 0 low, 1 high, 2 extended, 3 lock; bit position).",
             "// clang-format off"]
    for p in parts:
        entries = ", ".join(f'{{"{n}", {b}, {i}}}' for n, b, i in p["bits"])
        locks = ", ".join(f'{{"{n}", 3, {i}}}' for n, i in p["locks"])
        lines.append(f'{{"{p["name"]}", "{p["mmcu"]}", "{p["header"]}", {p["fuseBytes"]}, '
                     f'{{{entries}, {locks}}}}},')
    lines.append("// clang-format on")
    return "\n".join(lines) + "\n"


def mask_of(p, byte):
    mask = 0
    for _, b, i in p["bits"]:
        if b == byte:
            mask |= 1 << i
    return mask


def position(p, *names):
    for n, b, i in p["bits"]:
        if n in names:
            return f"{{{b}, {i}}}"
    return "{-1, 0}"


def simulator(parts):
    lines = ["// Generated by scripts/gen_avr_parts.py from avr-libc's device headers and the",
             "// data sheets' serial programming tables; do not edit. The simulated chip's own",
             "// facts, shared with no product code.",
             "// clang-format off"]
    for p in parts:
        m = p["mmcu"]
        sig = ", ".join(f"0x{s:02X}" for s in p["signature"])
        lock = 0
        for _, i in p["locks"]:
            lock |= 1 << i
        classic = m in CLASSIC
        lines.append(
            f'{{.name = "{p["name"]}", .signature = {{{sig}}}, .flashBytes = {p["flash"]}, '
            f'.pageWords = {p["pageWords"]}, .eepromBytes = {p["eeprom"]}, '
            f'.eepromPageBytes = {0 if classic else p["e2page"]}, .fuseBytes = {p["fuseBytes"]}, '
            f'.fuseMasks = {{0x{mask_of(p, 0):02X}, 0x{mask_of(p, 1):02X}, 0x{mask_of(p, 2):02X}}}, '
            f'.lockMask = 0x{lock:02X}, .spien = {position(p, "SPIEN")}, '
            f'.eesave = {position(p, "EESAVE")}, .ckdiv8 = {position(p, "CKDIV8")}, '
            f'.pllck = {position(p, "PLLCK")}, .rstdisbl = {position(p, "RSTDISBL")}, '
            f'.calibrationBytes = {CALIBRATION.get(m, 4 if classic else 1)}, '
            f'.pollsReady = {"false" if classic else "true"}, '
            f'.clock = ClockScheme::k{CLOCK_SCHEME.get(m, "modern").capitalize()}}},')
    lines.append("// clang-format on")
    return "\n".join(lines) + "\n"


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    outputs = {
        "product": (os.path.join(root, "src/families/avr/avr_fuse_bits.inc"),
                    lambda: product([part(n, m) for n, m in PARTS])),
        "simulator": (os.path.join(root, "sim/avr/avr_parts.inc"),
                      lambda: simulator([part(n, m) for n, m in PARTS + SIM_ONLY])),
    }
    what = sys.argv[1] if len(sys.argv) > 1 else "check"
    if what in outputs:
        sys.stdout.write(outputs[what][1]())
        return 0
    changed = 0
    for key, (path, make) in outputs.items():
        fresh = make()
        if open(path).read() != fresh:
            print(f"{path}: differs from avr-libc's headers (run scripts/gen_avr_parts.py {key})")
            changed = 1
    if not changed:
        print("1 passed, 0 failed")
    return changed


if __name__ == "__main__":
    sys.exit(main())
