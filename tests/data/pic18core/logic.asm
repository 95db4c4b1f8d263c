; Logic, rotations, bit operations, skips and banked access: each result and STATUS go to
; bank 1 (through FSR1) and bank 2 (through BSR).
    #include "coverage.inc"

    lfsr 1, 0x100
    movlw 0x5A
    movwf 0x30
    movlw 0xC3
    movwf 0x31
    movlw 8
    movwf 0x10
round:
    movf 0x31, w
    andwf 0x30, w
    movwf POSTINC1
    movff STATUS, POSTINC1
    iorwf 0x30, w
    movwf POSTINC1
    movff STATUS, POSTINC1
    xorwf 0x31, w
    movwf POSTINC1
    movff STATUS, POSTINC1
    comf 0x30, w
    movff STATUS, POSTINC1
    swapf 0x30, w
    movwf POSTINC1
    rlcf 0x30, f
    movff 0x30, POSTINC1
    movff STATUS, POSTINC1
    rrcf 0x31, f
    movff 0x31, POSTINC1
    movff STATUS, POSTINC1
    rlncf 0x30, w
    movwf POSTINC1
    movff STATUS, POSTINC1
    rrncf 0x31, w
    movwf POSTINC1
    movff STATUS, POSTINC1
    andlw 0x0F
    movff STATUS, POSTINC1
    iorlw 0x80
    movff STATUS, POSTINC1
    xorlw 0x8F
    movff STATUS, POSTINC1
    movf 0x30, f
    movff STATUS, POSTINC1
    btg 0x31, 3
    bsf 0x30, 7
    bcf 0x30, 0
    movff 0x30, POSTINC1
    movff 0x31, POSTINC1
    ; Skips, each over a one-word and a two-word instruction.
    clrf 0x32
    btfsc 0x30, 7
    incf 0x32, f
    btfss 0x30, 7
    movff 0x30, 0x33
    tstfsz 0x32
    incf 0x32, f
    movf 0x30, w
    cpfseq 0x30
    incf 0x32, f
    cpfsgt 0x31
    incf 0x32, f
    cpfslt 0x31
    movff 0x31, 0x34
    movff 0x32, POSTINC1
    CHECKPOINT
    decfsz 0x10, f
    bra round
    ; Counting skips.
    movlw 3
    movwf 0x40
    clrf 0x41
count_down:
    incf 0x41, f
    dcfsnz 0x40, f
    bra counted
    bra count_down
counted:
    setf 0x42
up:
    infsnz 0x42, f
    bra up_done
    bra up
up_done:
    movlw 0xFE
    movwf 0x43
bump:
    incfsz 0x43, f
    bra bump
    ; Banked access (a = 1) through BSR 2, and CLRF/SETF there.
    movlb 2
    movlw 0x77
    movwf 0x10, BANKED
    setf 0x11, BANKED
    clrf 0x12, BANKED
    movff STATUS, 0x213
    addwf 0x10, f, BANKED
    movff STATUS, 0x214
    bsf 0x12, 4, BANKED
    decf 0x11, f, BANKED
    movlb 0
    CHECKPOINT
    FINISH
    end
