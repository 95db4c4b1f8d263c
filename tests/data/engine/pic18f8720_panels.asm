; PIC18F8720 (128 KB in eight 16 KB panels, 8-byte write buffer): data in several panels at
; different load offsets, so that the panel-interleaved write is exercised.
        LIST    P=18F8720
        #include <p18f8720.inc>
        ERRORLEVEL -302, -1301

        CONFIG  OSC = HSPLL, OSCS = OFF, PWRT = ON, BOR = OFF, BORV = 42, WDT = OFF
        CONFIG  WDTPS = 128, MODE = MC, WAIT = OFF, CCP2MUX = ON, STVR = ON, LVP = OFF
        CONFIG  DEBUG = OFF

        ORG     0x000000
        goto    start

        ORG     0x000200
start:  setf    TRISE
loop:   incf    LATE, F
        bra     loop

        ORG     0x004008
        DB      "panel one", 0
        ORG     0x00C010
        DB      "panel three", 0
        ORG     0x014000
        DB      0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08
        ORG     0x01FFF8
        DB      "panel 7", 0

        __IDLOCS _IDLOC0, 'P'
        __IDLOCS _IDLOC1, '8'
        __IDLOCS _IDLOC2, '7'
        __IDLOCS _IDLOC3, '2'
        __IDLOCS _IDLOC4, '0'
        __IDLOCS _IDLOC5, ' '
        __IDLOCS _IDLOC6, 'I'
        __IDLOCS _IDLOC7, 'D'

        ORG     0xF00000
        DE      0x55, 0xAA
        ORG     0xF00200
        DE      "eeprom in the middle", 0
        ORG     0xF003FF
        DE      0x7E

        END
