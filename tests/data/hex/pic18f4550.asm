; PIC18F4550: a short program with configuration, ID locations and data EEPROM, so that its
; HEX file carries records at 0x000000, 0x200000, 0x300000 and 0xF00000.
        list    p=18f4550
        include <p18f4550.inc>

        CONFIG  PLLDIV = 5, CPUDIV = OSC1_PLL2, USBDIV = 2, FOSC = HSPLL_HS
        CONFIG  PWRT = ON, BOR = OFF, WDT = OFF, MCLRE = ON, PBADEN = OFF
        CONFIG  LVP = OFF, XINST = OFF

        __idlocs _IDLOC0, 0x1
        __idlocs _IDLOC1, 0x2
        __idlocs _IDLOC2, 0x3
        __idlocs _IDLOC7, 0xA

        org     0x0000
        goto    start

        org     0x0008
        retfie  FAST

        org     0x0040
start:
        clrf    TRISD, A
        movlw   0x55
        movwf   LATD, A
loop:
        comf    LATD, F, A
        bra     loop

        org     0x0100
table:
        db      "Velmora", 0

        org     0xF00000
        de      0x12, 0x34, 0x56, 0x78, "EE"

        end
