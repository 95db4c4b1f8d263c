; Code for the programmer's algorithm area, uploaded over the script link and started by the
; call command. The two bytes at the start of the area hold its end offset.
;   0x4002 read_device_id: drives the target's ICSP lines, reads DEVID1 and DEVID2 of a PIC18
;                          with two table reads and sends both bytes to the PC
;   0x4100 echo_plus_one:  receives a count, then that many bytes, and sends each back plus one
;   0x4200 wait_10000:     one call of the firmware's 10000-cycle delay routine
    processor p18f4550
    #include <p18f4550.inc>
    errorlevel -302

; Entries of the programmer's firmware.
DELAY_BASE  equ 0x1000
RECEIVE     equ 0x1440
RECEIVED    equ 0x07            ; file register of the received byte

COMMAND     equ 0x20            ; 4-bit ICSP command
DATA_LOW    equ 0x21
DATA_HIGH   equ 0x22
SHIFT       equ 0x23
COUNT       equ 0x24
BYTE        equ 0x25

; One ICSP core instruction.
CORE macro opcode
    clrf COMMAND
    movlw low (opcode)
    movwf DATA_LOW
    movlw high (opcode)
    movwf DATA_HIGH
    rcall command
    endm

    org 0x4000
    dw 0x8000

read_device_id:
    bcf LATB, 1                 ; CLK and DATA low, both driven
    bcf LATB, 0
    bcf TRISB, 1
    bcf TRISB, 0
    bsf LATB, 2                 ; MCLR to VPP
    bsf LATB, 4
    bcf LATB, 2
    CORE 0x0E3F                 ; TBLPTR = 0x3FFFFE
    CORE 0x6EF8
    CORE 0x0EFF
    CORE 0x6EF7
    CORE 0x0EFE
    CORE 0x6EF6
    rcall read_byte
    rcall send_byte
    rcall read_byte
    rcall send_byte
    bsf LATB, 2                 ; MCLR to 0 V
    bcf LATB, 4
    bcf LATB, 2
    return

; Sends the 4 command bits and the 16 data bits, least significant first.
command:
    movff COMMAND, SHIFT
    movlw 4
    movwf COUNT
    rcall send_bits
    movff DATA_LOW, SHIFT
    movlw 8
    movwf COUNT
    rcall send_bits
    movff DATA_HIGH, SHIFT
    movlw 8
    movwf COUNT
    bra send_bits

; The low COUNT bits of SHIFT: data set, clock high, clock low (the target latches on the
; falling edge).
send_bits:
    btfss SHIFT, 0
    bcf LATB, 0
    btfsc SHIFT, 0
    bsf LATB, 0
    bsf LATB, 1
    bcf LATB, 1
    rrncf SHIFT, f
    decfsz COUNT, f
    bra send_bits
    return

; Table read with post-increment: command 1001, eight clocks in, eight clocks out (the target
; drives each bit after the rising edge); the byte into BYTE.
read_byte:
    movlw 9
    movwf SHIFT
    movlw 4
    movwf COUNT
    rcall send_bits
    clrf SHIFT
    movlw 8
    movwf COUNT
    rcall send_bits
    bsf TRISB, 0
    movlw 8
    movwf COUNT
read_bit:
    bsf LATB, 1
    bcf STATUS, C
    btfsc PORTB, 0
    bsf STATUS, C
    rrcf BYTE, f
    bcf LATB, 1
    decfsz COUNT, f
    bra read_bit
    bcf TRISB, 0
    return

; BYTE to the PC: waits while the PC does not take bytes, then for the transmitter.
send_byte:
    btfsc PORTB, 7
    bra send_byte
wait_tx:
    btfss PIR1, TXIF
    bra wait_tx
    movff BYTE, TXREG
    return

    org 0x4100
echo_plus_one:
    call RECEIVE
    movff RECEIVED, COUNT
echo_next:
    call RECEIVE
    incf RECEIVED, w
    movwf BYTE
    rcall send_byte
    decfsz COUNT, f
    bra echo_next
    return

    org 0x4200
wait_10000:
    call DELAY_BASE - 2 * D'37'
    return
    end
