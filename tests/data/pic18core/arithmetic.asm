; Additions, subtractions, negation, increments, decimal adjust and multiplication over a table
; of operand pairs, with the carry clear and set: every result and STATUS go to banks 1..3.
    #include "coverage.inc"

; gpsim 0.31 takes OV of an addition from the signs of W and the result alone, so it reports an
; overflow where operands of different signs are added (0x09 + 0x91, 0xFF + 1, INCF of 0x80).
; OV of the additions is left out here and checked by the core's own tests.
STORE_STATUS_WITHOUT_OV macro
    movff STATUS, 0x14
    bcf 0x14, OV
    movff 0x14, POSTINC1
    endm

    lfsr 1, 0x100           ; results
    movlw upper operands
    movwf TBLPTRU
    movlw high operands
    movwf TBLPTRH
    movlw low operands
    movwf TBLPTRL
    movlw D'12'
    movwf 0x10              ; pair count
pair:
    tblrd*+
    movff TABLAT, 0x11      ; a
    tblrd*+
    movff TABLAT, 0x12      ; b
    clrf 0x13               ; pass: carry clear, then set
carry_pass:
    bcf STATUS, C
    btfsc 0x13, 0
    bsf STATUS, C
    movff 0x11, 0x20
    movf 0x12, w
    bcf STATUS, C
    btfsc 0x13, 0
    bsf STATUS, C
    addwf 0x20, f
    movff 0x20, POSTINC1
    STORE_STATUS_WITHOUT_OV
    movff 0x11, 0x20
    movf 0x12, w
    bcf STATUS, C
    btfsc 0x13, 0
    bsf STATUS, C
    addwfc 0x20, f
    movff 0x20, POSTINC1
    STORE_STATUS_WITHOUT_OV
    movff 0x11, 0x20
    movf 0x12, w
    bcf STATUS, C
    btfsc 0x13, 0
    bsf STATUS, C
    subwf 0x20, w
    movwf POSTINC1
    movff STATUS, POSTINC1
    movff 0x11, 0x20
    movf 0x12, w
    bcf STATUS, C
    btfsc 0x13, 0
    bsf STATUS, C
    subwfb 0x20, f
    movff 0x20, POSTINC1
    movff STATUS, POSTINC1
    movff 0x11, 0x20
    movf 0x12, w
    bcf STATUS, C
    btfsc 0x13, 0
    bsf STATUS, C
    subfwb 0x20, f
    movff 0x20, POSTINC1
    movff STATUS, POSTINC1
    movf 0x12, w
    bcf STATUS, C
    btfsc 0x13, 0
    bsf STATUS, C
    addlw 0x35
    movwf POSTINC1
    STORE_STATUS_WITHOUT_OV
    movf 0x11, w
    sublw 0x80
    movwf POSTINC1
    movff STATUS, POSTINC1
    movff 0x11, 0x20
    negf 0x20
    movff 0x20, POSTINC1
    movff STATUS, POSTINC1
    incf 0x11, w
    movwf POSTINC1
    STORE_STATUS_WITHOUT_OV
    decf 0x11, w
    movwf POSTINC1
    movff STATUS, POSTINC1
    ; Decimal adjust of a sum of two decimal numbers (nibbles up to 7).
    movf 0x12, w
    andlw 0x77
    movwf 0x15
    movf 0x11, w
    andlw 0x77
    addwf 0x15, w
    daw
    movwf POSTINC1
    movff STATUS, POSTINC1
    movf 0x11, w
    mulwf 0x12
    movff PRODL, POSTINC1
    movff PRODH, POSTINC1
    mullw 0xA7
    movff PRODL, POSTINC1
    movff PRODH, POSTINC1
    incf 0x13, f
    btfss 0x13, 1
    bra carry_pass
    CHECKPOINT
    decfsz 0x10, f
    bra pair
    FINISH

operands:
    db 0x00, 0x00, 0x01, 0xFF, 0x7F, 0x01, 0x80, 0x80, 0x0F, 0x01, 0x99, 0x01
    db 0x45, 0x38, 0xFF, 0xFF, 0x50, 0x50, 0x09, 0x91, 0xC3, 0x3C, 0x10, 0x20
    end
