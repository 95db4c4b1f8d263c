; PIC18F4550 blink: toggles RD0 every 0.4 s or so with a 20 MHz crystal (48 MHz CPU clock
; through the PLL). Carries configuration, ID locations and two EEPROM bytes, so that the
; example shows every PIC18 memory area.
        list    p=18f4550
        include <p18f4550.inc>

        CONFIG  PLLDIV = 5, CPUDIV = OSC1_PLL2, USBDIV = 2, FOSC = HSPLL_HS
        CONFIG  PWRT = ON, BOR = OFF, WDT = OFF, MCLRE = ON, PBADEN = OFF
        CONFIG  LVP = OFF, XINST = OFF

        __idlocs _IDLOC0, 0x1
        __idlocs _IDLOC1, 0x0

count1  equ     0x00
count2  equ     0x01
count3  equ     0x02

        org     0x0000
        goto    start

        org     0x0020
start:
        bcf     TRISD, 0, A
blink:
        btg     LATD, 0, A
        rcall   delay
        bra     blink

; About 0.4 s: 25 x 256 x 256 turns of the three-cycle inner loop at 12 MIPS.
delay:
        movlw   25
        movwf   count3, A
outer:
        clrf    count2, A
middle:
        clrf    count1, A
inner:
        decfsz  count1, F, A
        bra     inner
        decfsz  count2, F, A
        bra     middle
        decfsz  count3, F, A
        bra     outer
        return

        org     0xF00000
        de      0x01, 0x00

        end
