; Every instruction of the PIC18 (non-extended) set in its forms, for the decode table's check
; against gpdasm; never run. The words at the end are not instructions of the set.
    processor p18f4550
    #include <p18f4550.inc>
    errorlevel -302

    org 0
    addwf 0x12, w, ACCESS
    addwf 0x12, f, BANKED
    addwfc 0x80, f
    andwf 0x13, w
    clrf 0x14, BANKED
    comf 0x15, f
    cpfseq 0x16
    cpfsgt 0x17, BANKED
    cpfslt 0x18
    decf 0x19, w
    decfsz 0x1A, f
    dcfsnz 0x1B, w, BANKED
    incf 0x1C, f
    incfsz 0x1D, w
    infsnz 0x1E, f, BANKED
    iorwf 0x1F, w
    movf 0x20, f
    movff 0x123, 0x456
    movwf 0x21, BANKED
    mulwf 0x22
    negf 0x23
    rlcf 0x24, w
    rlncf 0x25, f
    rrcf 0x26, w
    rrncf 0x27, f, BANKED
    setf 0x28
    subfwb 0x29, w
    subwf 0x2A, f
    subwfb 0x2B, w
    swapf 0x2C, f
    tstfsz 0x2D
    xorwf 0x2E, w, BANKED
    bcf 0x30, 0
    bsf 0x31, 7, BANKED
    btfsc 0x32, 3
    btfss 0x33, 5
    btg 0x34, 6
here:
    bc here
    bn here
    bnc here
    bnn here
    bnov here
    bnz here
    bov here
    bra here
    bz here
    call 0x1234, 0
    call 0x1234, 1
    clrwdt
    daw
    goto 0x2468
    nop
    pop
    push
    rcall here
    reset
    retfie 0
    retfie 1
    retlw 0x55
    return 0
    return 1
    sleep
    addlw 0x01
    andlw 0x02
    iorlw 0x03
    lfsr 0, 0x123
    lfsr 2, 0xFFF
    movlb 0x0F
    movlw 0x04
    mullw 0x05
    sublw 0x06
    xorlw 0x07
    tblrd*
    tblrd*+
    tblrd*-
    tblrd+*
    tblwt*
    tblwt*+
    tblwt*-
    tblwt+*
    dw 0x0002
    dw 0x00FE
    dw 0x0110
    dw 0xE800
    dw 0xEA12
    dw 0xEB12
    end
