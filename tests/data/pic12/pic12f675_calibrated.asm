; PIC12F675: start-up code that fetches the factory oscillator calibration (the RETLW at the last
; program word), puts it into OSCCAL and keeps a copy at 0x20; configuration, ID words and EEPROM
; data as a project carries them.
        list    p=12f675
        include <p12f675.inc>

        __config _INTRC_OSC_NOCLKOUT & _WDT_OFF & _PWRTE_ON & _MCLRE_OFF & _BODEN_ON & _CP_OFF & _CPD_OFF
        __idlocs 0x0675

        org     0x000
        bsf     STATUS, RP0
        call    0x3FF
        movwf   OSCCAL
        bcf     STATUS, RP0
        movwf   0x20
loop:
        goto    loop

        org     0x2100
        de      0x11, 0x22, "12f675"

        end
