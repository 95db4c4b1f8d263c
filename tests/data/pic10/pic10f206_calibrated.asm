; PIC10F206: the reset vector at the last program word holds the factory MOVLW with the
; oscillator calibration; execution goes on at 0 with it in W, where this program puts it into
; OSCCAL and keeps a copy at 0x10. Configuration and ID words as a project carries them.
        list    p=10f206
        include <p10f206.inc>

        __config _WDT_OFF & _CP_OFF & _MCLRE_OFF
        __idlocs 0x1234

        org     0x000
        movwf   OSCCAL
        movwf   0x10
loop:
        goto    loop

        end
