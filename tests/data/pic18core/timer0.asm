; Timer0 in 8-bit and 16-bit mode, with and without the prescaler: TMR0IF polling, the timer's
; pause after a write, and the TMR0H buffer.
    #include "coverage.inc"

    lfsr 1, 0x100
    ; 8 bits, no prescaler: wait for the overflow from 0xF0.
    movlw b'11001000'
    movwf T0CON
    movlw 0xF0
    movwf TMR0L
    bcf INTCON, TMR0IF
wait8:
    btfss INTCON, TMR0IF
    bra wait8
    movff TMR0L, POSTINC1
    CHECKPOINT
    ; 8 bits, prescaler 1:4.
    movlw b'11000001'
    movwf T0CON
    movlw 0xF8
    movwf TMR0L
    bcf INTCON, TMR0IF
wait8p:
    btfss INTCON, TMR0IF
    bra wait8p
    movff TMR0L, POSTINC1
    CHECKPOINT
    ; 16 bits, prescaler 1:2: TMR0H goes in with the write of TMR0L. (The 16-bit timers are
    ; loaded while stopped: gpsim 0.31 leaves out the two-cycle pause after a write of TMR0L
    ; in 16-bit mode, which the core's own tests check.)
    movlw b'00000000'
    movwf T0CON
    movlw 0xFF
    movwf TMR0H
    movlw 0xE0
    movwf TMR0L
    bcf INTCON, TMR0IF
    nop
    bsf T0CON, TMR0ON
    nop
    nop
    movf TMR0L, w
    movwf POSTINC1
    movff TMR0H, POSTINC1
wait16:
    btfss INTCON, TMR0IF
    bra wait16
    movf TMR0L, w
    movwf POSTINC1
    movff TMR0H, POSTINC1
    CHECKPOINT
    ; 16 bits, prescaler 1:256, a longer wait.
    movlw b'00000111'
    movwf T0CON
    movlw 0xFF
    movwf TMR0H
    movlw 0xFD
    movwf TMR0L
    bcf INTCON, TMR0IF
    nop
    bsf T0CON, TMR0ON
wait16p:
    btfss INTCON, TMR0IF
    bra wait16p
    movf TMR0L, w
    movwf POSTINC1
    ; Stopped timer keeps its value.
    bcf T0CON, TMR0ON
    movf TMR0L, w
    nop
    nop
    movwf POSTINC1
    movff TMR0L, POSTINC1
    CHECKPOINT
    FINISH
    end
