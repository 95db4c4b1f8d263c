; PIC10F200: 12-bit words; the configuration word sits at word 0xFFF (HEX 0x1FFE).
        list    p=10f200
        include <p10f200.inc>

        __config _WDT_OFF & _CP_OFF & _MCLRE_OFF

        org     0x000
        movwf   OSCCAL
        movlw   b'1110'
        tris    GPIO
loop:
        movlw   b'0001'
        xorwf   GPIO, F
        goto    loop

        end
