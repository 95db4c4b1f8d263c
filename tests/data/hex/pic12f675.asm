; PIC12F675: program words, the configuration word at word 0x2007, ID words at 0x2000 and
; data EEPROM at 0x2100 (HEX byte addresses 0x400E, 0x4000 and 0x4200).
        list    p=12f675
        include <p12f675.inc>
        errorlevel -302         ; TRISIO is reached through RP0

        __config _INTRC_OSC_NOCLKOUT & _WDT_OFF & _PWRTE_ON & _MCLRE_OFF & _BOREN_ON
        __idlocs 0x1234

        org     0x000
        goto    start
        org     0x004
        retfie
start:
        bsf     STATUS, RP0
        movlw   b'001000'
        movwf   TRISIO
        bcf     STATUS, RP0
loop:
        movlw   b'000001'
        xorwf   GPIO, F
        goto    loop

        org     0x2100
        de      0xA5, 0x5A, "Hi"

        end
