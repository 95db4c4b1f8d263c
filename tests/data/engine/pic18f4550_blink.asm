; Blinks PORTB on a PIC18F4550 and carries a text table, ID locations and EEPROM data, so that
; every memory part of the device has something to program and verify.
        LIST    P=18F4550
        #include <p18f4550.inc>
        ERRORLEVEL -302, -1301

        CONFIG  PLLDIV = 5, CPUDIV = OSC1_PLL2, USBDIV = 2, FOSC = HSPLL_HS
        CONFIG  FCMEN = OFF, IESO = OFF, PWRT = ON, BOR = ON, BORV = 3, VREGEN = ON
        CONFIG  WDT = OFF, WDTPS = 32768, MCLRE = ON, LPT1OSC = OFF, PBADEN = OFF
        CONFIG  CCP2MX = ON, STVREN = ON, LVP = OFF, XINST = OFF, DEBUG = OFF

counter EQU     0x00

        ORG     0x000000
        goto    start

        ORG     0x000800
start:  clrf    TRISB
        clrf    LATB
loop:   incf    LATB, F
        decfsz  counter, F
        bra     loop
        bra     loop

        ORG     0x004000
message:
        DB      "Velmora USB-Programmer test table", 0

        ORG     0x007FF0
        DB      0x12, 0x34, 0x56, 0x78

        __IDLOCS _IDLOC0, 'B'
        __IDLOCS _IDLOC1, 'L'
        __IDLOCS _IDLOC2, 'I'
        __IDLOCS _IDLOC3, 'N'
        __IDLOCS _IDLOC4, 'K'
        __IDLOCS _IDLOC5, '4'
        __IDLOCS _IDLOC6, '5'
        __IDLOCS _IDLOC7, '0'

        ORG     0xF00000
        DE      0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08
        ORG     0xF000F8
        DE      "eeprom!", 0

        END
