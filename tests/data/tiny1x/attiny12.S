; A small ATtiny12 program with EEPROM data: it takes the oscillator calibration the programmer
; copied to the last flash byte, then counts on PORTB and keeps a count in EEPROM byte 0.
#include <avr/io.h>

        .section .text
        .global main
main:
        ldi     r30, lo8(calibration)
        ldi     r31, hi8(calibration)
        lpm                             ; r0 = the byte at Z
        out     _SFR_IO_ADDR(OSCCAL), r0
        ldi     r16, 0x1F
        out     _SFR_IO_ADDR(DDRB), r16
        clr     r17
        out     _SFR_IO_ADDR(EEAR), r17
        sbi     _SFR_IO_ADDR(EECR), EERE
        in      r18, _SFR_IO_ADDR(EEDR)
loop:
        inc     r18
        out     _SFR_IO_ADDR(PORTB), r18
        rjmp    loop

        .section .calibration, "a"
calibration:
        .byte   0xFF                    ; replaced by the chip's calibration byte

        .section .eeprom, "aw"
        .byte   0x00, 0x11, 0x22, 0x33
        .ascii  "ATtiny12 EEPROM"
