#pragma once
// Encodings of the PIC18 instructions the code generator emits, for the access bank (a = 0).
// Register operands are access-bank addresses (0x00..0xFF), MOVFF takes 12-bit addresses.
#include <cstdint>

namespace velmora::pic18 {

// Special function registers of the programmer's processor, as access-bank addresses.
namespace sfr {
constexpr uint8_t kPortB = 0x81, kLatB = 0x8A, kPir1 = 0x9E, kTxreg = 0xAD, kT0con = 0xD5;
constexpr uint8_t kTmr0l = 0xD6, kTmr0h = 0xD7, kStatus = 0xD8, kIntcon = 0xF2;
constexpr uint16_t kTxregFull = 0xFAD;  // for MOVFF
}  // namespace sfr
constexpr int kStatusZ = 2;
constexpr int kIntconTmr0if = 2;
constexpr int kPir1Txif = 4;

enum class Dest : uint16_t { kW = 0, kF = 1 };

constexpr uint16_t ByteOp(uint16_t opcode, uint8_t f, Dest d) {
  return static_cast<uint16_t>(opcode | (static_cast<uint16_t>(d) << 9) | f);
}
constexpr uint16_t BitOp(uint16_t opcode, uint8_t f, int bit) {
  return static_cast<uint16_t>(opcode | ((bit & 7) << 9) | f);
}

constexpr uint16_t Nop() {
  return 0x0000;
}
constexpr uint16_t Return() {
  return 0x0012;
}
constexpr uint16_t Movlw(uint8_t k) {
  return static_cast<uint16_t>(0x0E00 | k);
}
constexpr uint16_t Sublw(uint8_t k) {
  return static_cast<uint16_t>(0x0800 | k);
}
constexpr uint16_t Movwf(uint8_t f) {
  return static_cast<uint16_t>(0x6E00 | f);
}
constexpr uint16_t Clrf(uint8_t f) {
  return static_cast<uint16_t>(0x6A00 | f);
}
constexpr uint16_t Setf(uint8_t f) {
  return static_cast<uint16_t>(0x6800 | f);
}
constexpr uint16_t Movf(uint8_t f, Dest d) {
  return ByteOp(0x5000, f, d);
}
constexpr uint16_t Addwf(uint8_t f, Dest d) {
  return ByteOp(0x2400, f, d);
}
constexpr uint16_t Addwfc(uint8_t f, Dest d) {
  return ByteOp(0x2000, f, d);
}
constexpr uint16_t Subwf(uint8_t f, Dest d) {
  return ByteOp(0x5C00, f, d);
}
constexpr uint16_t Subwfb(uint8_t f, Dest d) {
  return ByteOp(0x5800, f, d);
}
constexpr uint16_t Andwf(uint8_t f, Dest d) {
  return ByteOp(0x1400, f, d);
}
constexpr uint16_t Iorwf(uint8_t f, Dest d) {
  return ByteOp(0x1000, f, d);
}
constexpr uint16_t Decf(uint8_t f, Dest d) {
  return ByteOp(0x0400, f, d);
}
constexpr uint16_t Decfsz(uint8_t f, Dest d) {
  return ByteOp(0x2C00, f, d);
}
constexpr uint16_t Bsf(uint8_t f, int bit) {
  return BitOp(0x8000, f, bit);
}
constexpr uint16_t Bcf(uint8_t f, int bit) {
  return BitOp(0x9000, f, bit);
}
constexpr uint16_t Btfsc(uint8_t f, int bit) {
  return BitOp(0xB000, f, bit);
}
constexpr uint16_t Btfss(uint8_t f, int bit) {
  return BitOp(0xA000, f, bit);
}
// Relative branches: `n` words from the following instruction.
constexpr uint16_t Bra(int n) {
  return static_cast<uint16_t>(0xD000 | (n & 0x7FF));
}
constexpr uint16_t Bz(int n) {
  return static_cast<uint16_t>(0xE000 | (n & 0xFF));
}
constexpr uint16_t Bnz(int n) {
  return static_cast<uint16_t>(0xE100 | (n & 0xFF));
}
// Two-word instructions: first word, second word. `k` is a word address.
constexpr uint16_t CallFirst(uint32_t k) {
  return static_cast<uint16_t>(0xEC00 | (k & 0xFF));
}
constexpr uint16_t GotoFirst(uint32_t k) {
  return static_cast<uint16_t>(0xEF00 | (k & 0xFF));
}
constexpr uint16_t LongSecond(uint32_t k) {
  return static_cast<uint16_t>(0xF000 | ((k >> 8) & 0xFFF));
}
constexpr uint16_t MovffFirst(uint16_t source) {
  return static_cast<uint16_t>(0xC000 | (source & 0xFFF));
}
constexpr uint16_t MovffSecond(uint16_t destination) {
  return static_cast<uint16_t>(0xF000 | (destination & 0xFFF));
}

}  // namespace velmora::pic18
