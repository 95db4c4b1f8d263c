; PIC18F8722 (128 KB, one panel, 64-byte write buffer): code at the reset vector, tables spread
; over the whole flash up to its last block, ID locations and EEPROM data at both ends.
        LIST    P=18F8722
        #include <p18f8722.inc>
        ERRORLEVEL -302, -1301

        CONFIG  OSC = HS, FCMEN = OFF, IESO = OFF, PWRT = ON, BOREN = OFF, BORV = 2
        CONFIG  WDT = OFF, WDTPS = 1024, MODE = MC, MCLRE = ON, LPT1OSC = OFF, CCP2MX = PORTC
        CONFIG  STVREN = ON, LVP = OFF, BBSIZ = BB2K, XINST = OFF, DEBUG = OFF

        ORG     0x000000
        goto    start

        ORG     0x000100
start:  clrf    TRISD
loop:   incf    LATD, F
        bra     loop

        ORG     0x008000
        DB      "middle of the flash", 0
        ORG     0x010040
        DB      0xA5, 0x5A, 0xC3, 0x3C, 0x0F, 0xF0, 0x00, 0x11
        ORG     0x01FFC0
        DB      "last block of the PIC18F8722", 0

        __IDLOCS _IDLOC0, 0x87
        __IDLOCS _IDLOC1, 0x22
        __IDLOCS _IDLOC7, 0x01

        ORG     0xF00000
        DE      "first", 0
        ORG     0xF003F8
        DE      0xDE, 0xAD, 0xBE, 0xEF, 0x00, 0x01, 0x02, 0x03

        END
