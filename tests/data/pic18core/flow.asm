; Branches, calls and returns (fast ones with the shadow registers), the stack registers, computed
; jumps through PCL, MOVFF and LFSR, the indirect registers and the table reads and writes.
    #include "coverage.inc"

    ; Conditional branches, taken and not taken, on every flag.
    lfsr 1, 0x100
    clrf 0x20
    movlw 0x7F
    addlw 1                 ; OV, N set; Z, C clear
    bov ov_set
    incf 0x20, f
ov_set:
    bnov no_ov
    bn neg
    incf 0x20, f
neg:
    bnn no_ov
    bz no_ov
    bnz nz
no_ov:
    incf 0x20, f
nz:
    bc no_ov
    bnc nc
    incf 0x20, f
nc:
    setf 0x24
    movlw 1
    addwf 0x24, w           ; Z, C set
    bnz no_ov
    bz is_z
    incf 0x20, f
is_z:
    bnc no_ov
    bc is_c
    incf 0x20, f
is_c:
    movff 0x20, POSTINC1
    CHECKPOINT
    ; RCALL, CALL FAST and RETURN FAST keep W, STATUS and BSR.
    movlb 3
    movlw 0x42
    call fast_sub, FAST
    movwf POSTINC1
    movff STATUS, POSTINC1
    movff BSR, POSTINC1
    movlb 0
    rcall plain_sub
    movwf POSTINC1
    ; Computed jump into a RETLW table.
    movlw 2
    rcall lookup
    movwf POSTINC1
    movlw 4
    rcall lookup
    movwf POSTINC1
    ; PUSH, a new TOS, POP, and STKPTR.
    push
    movlw low pushed_target
    movwf TOSL
    movlw high pushed_target
    movwf TOSH
    clrf TOSU
    movff STKPTR, POSTINC1
    return
    nop
pushed_target:
    movff STKPTR, POSTINC1
    push
    push
    pop
    movff STKPTR, POSTINC1
    pop
    movff TOSL, POSTINC1
    CHECKPOINT
    ; MOVFF across banks, LFSR and every indirect register.
    lfsr 0, 0x2F0
    movlw 0x10
    movwf 0x2F0
    movlw 0x20
    movwf 0x2F1
    movff 0x2F1, 0x300
    movlw 1
    movf PLUSW0, w
    movwf POSTINC1
    movf PREINC0, w
    movwf POSTINC1
    movf POSTDEC0, w
    movwf POSTINC1
    movf INDF0, w
    movwf POSTINC1
    lfsr 2, 0x305
    movlw 0xAB
    movwf POSTDEC2
    movwf PREINC2
    movlw 0xFE
    movff PLUSW2, POSTINC1
    movff FSR2L, POSTINC1
    movff FSR0L, POSTINC1
    CHECKPOINT
    ; Skips over two-word instructions, and a second word reached on its own.
    clrf 0x21
    movlw 1
    cpfseq WREG
    goto 0x3F00
    btfsc WREG, 0
    lfsr 0, 0x123
    movff FSR0L, POSTINC1
    bra second_word + 2
second_word:
    movff 0x21, 0x22
    movff 0x21, POSTINC1
    ; Table reads in every mode, a table write into the holding registers, PCLATH and PCLATU.
    movlw upper table
    movwf TBLPTRU
    movlw high table
    movwf TBLPTRH
    movlw low table
    movwf TBLPTRL
    tblrd*
    movff TABLAT, POSTINC1
    tblrd*+
    movff TABLAT, POSTINC1
    tblrd+*
    movff TABLAT, POSTINC1
    tblrd*-
    movff TABLAT, POSTINC1
    tblrd*
    movff TABLAT, POSTINC1
    movlw 0x99
    movwf TABLAT
    tblwt*+
    tblwt+*
    tblwt*-
    tblwt*
    movff TBLPTRL, POSTINC1
    movlw 0x12
    movwf PCLATH
    movff PCLATH, POSTINC1
    movlw 0x15
    movwf PCLATU
    movff PCLATU, POSTINC1
    clrwdt
    nop
    CHECKPOINT
    FINISH

fast_sub:
    movlb 7
    movlw 0x00
    addlw 0x00
    return FAST

plain_sub:
    movlw 0x5C
    return

lookup:
    rlncf WREG, w
    movwf 0x23
    movlw high lookup_table
    movwf PCLATH
    movf 0x23, w
    addwf PCL, f
lookup_table:
    retlw 0xA0
    retlw 0xA1
    retlw 0xA2
    retlw 0xA3
    retlw 0xA4

table:
    db 0x11, 0x22, 0x33, 0x44
    end
