#pragma once
// The full programmer's dsPIC30 commands (0x4A..0x50, 0x53, 0x54) as its firmware runs them: each
// becomes SIX instructions and REGOUT reads on the chip's ICSP port. The single-instruction
// commands pass the PC's instruction through; the block commands run the firmware's own
// instruction sequences (table reads into VISI, write-latch loads, the unlock), assembled here
// from the maker's encodings.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "dspic30_core.h"

namespace velmora::sim {

// The firmware's assembler: instruction words from their bit fields.
namespace dspic30asm {
enum Mode : uint32_t {
  kDirect = 0,
  kIndirect = 1,
  kPostDec = 2,
  kPostInc = 3,
  kPreDec = 4,
  kPreInc = 5
};
constexpr uint32_t kNop = 0x000000;
constexpr uint32_t MovLiteral(uint16_t literal, uint32_t w) {
  return 0x200000 | uint32_t{literal} << 4 | (w & 0xF);
}
constexpr uint32_t MovToFile(uint32_t w, uint16_t file) {
  return 0x880000 | uint32_t{file} >> 1 << 4 | (w & 0xF);
}
constexpr uint32_t MovFromFile(uint16_t file, uint32_t w) {
  return 0x800000 | uint32_t{file} >> 1 << 4 | (w & 0xF);
}
constexpr uint32_t BitOp(bool set, uint16_t file, uint32_t bit) {
  return (set ? 0xA80000 : 0xA90000) | (bit >> 1 & 7) << 13 | (file & 0x1FFE) | (bit & 1);
}
// TBLRDL/TBLRDH (read) or TBLWTL/TBLWTH, byte or word: 1011 101w HBqq qddd dppp ssss.
constexpr uint32_t Table(bool write, bool high, bool byteMode, Mode srcMode, uint32_t src,
                         Mode dstMode, uint32_t dst) {
  return (write ? 0xBB0000 : 0xBA0000) | uint32_t{high} << 15 | uint32_t{byteMode} << 14 |
         uint32_t{dstMode} << 11 | (dst & 0xF) << 7 | uint32_t{srcMode} << 4 | (src & 0xF);
}
constexpr uint32_t ClearW(uint32_t w) {
  return 0xEB0000 | (w & 0xF) << 7;
}
}  // namespace dspic30asm

class DsPic30Firmware {
 public:
  explicit DsPic30Firmware(DsPic30Core& core) : core_(core) {}

  // True for the command bytes this handler serves.
  static bool Serves(uint8_t command);
  // Bytes still needed after `received` (the command byte and the operands so far); 0 when
  // the command is complete.
  static size_t MissingBytes(std::span<const uint8_t> received);
  // Runs one complete command (command byte first) and returns its reply.
  std::vector<uint8_t> Execute(std::span<const uint8_t> command);
  // The command as the transcript names it.
  static std::string Name(std::span<const uint8_t> command);

 private:
  void Six(uint32_t instruction) { core_.Execute(instruction); }
  void Nops(int count);
  void AppendVisi(std::vector<uint8_t>& reply, int bytes);
  void UnlockAndWrite();
  std::vector<uint8_t> ReadProgramWords(uint32_t count);
  std::vector<uint8_t> ReadDataWords(uint32_t count);
  std::vector<uint8_t> ReadRam(uint32_t count);
  void WriteRow(std::span<const uint8_t> packed);
  void EraseRow(std::span<const uint8_t> addressBytes);

  DsPic30Core& core_;
};

}  // namespace velmora::sim
