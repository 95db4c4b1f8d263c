#pragma once
// Helpers for the simulated dsPIC30 tests: catalogue rows, the instruction words of the maker's
// ICSP tables, and a firmware runner that feeds a byte stream the way the firmware frame does.
#include <cstdint>
#include <vector>

#include "sim/dspic30/dspic30_core.h"
#include "sim/dspic30/dspic30_firmware.h"
#include "sim/dspic30/dspic30_geometry.h"

namespace velmora::sim::testing {

inline const DsPic30Geometry kDsPic30F4013 = *DsPic30GeometryByName("dsPIC30F4013");
inline const DsPic30Geometry kDsPic30F6014 = *DsPic30GeometryByName("dsPIC30F6014");
inline const DsPic30Geometry kDsPic30F2011 = *DsPic30GeometryByName("dsPIC30F2011 V1");

// Instruction words as the maker's ICSP tables print them (hexadecimal column), or composed from
// the field layout of the same tables where a word is not printed.
namespace op {
constexpr uint32_t kNop = 0x000000;
constexpr uint32_t kGoto100 = 0x040100;  // GOTO 0x100, first word; the second word is 0x000000
constexpr uint32_t MovLit(uint32_t k, uint32_t w) {
  return 0x200000 | (k & 0xFFFF) << 4 | w;
}
constexpr uint32_t kMovW0Tblpag = 0x880190;
constexpr uint32_t kMovW10Nvmcon = 0x883B0A;
constexpr uint32_t kMovNvmconW2 = 0x803B02;
constexpr uint32_t kMovW2Visi = 0x883C22;
constexpr uint32_t kMovW8Nvmkey = 0x883B38;
constexpr uint32_t kMovW9Nvmkey = 0x883B39;
constexpr uint32_t kBsetWr = 0xA8E761;
constexpr uint32_t kBclrWr = 0xA9E761;
constexpr uint32_t kTblrdlPostIncW6IndW7 = 0xBA0BB6;       // TBLRDL [W6++], [W7]
constexpr uint32_t kTblrdlIndW6PostIncW7 = 0xBA1B96;       // TBLRDL [W6], [W7++]
constexpr uint32_t kTblrdhbPostIncW6PostIncW7 = 0xBADBB6;  // TBLRDH.B [W6++], [W7++]
constexpr uint32_t kTblrdhbPreIncW6PostIncW7 = 0xBADBD6;   // TBLRDH.B [++W6], [W7++]
constexpr uint32_t kTblrdlPostIncW6PostIncW7 = 0xBA1BB6;   // TBLRDL [W6++], [W7++]
constexpr uint32_t kTblwtlW0IndW0 = 0xBB0800;              // TBLWTL W0, [W0]
constexpr uint32_t kTblwtlW1IndW1 = 0xBB0881;              // TBLWTL W1, [W1]
constexpr uint32_t kClrW6 = 0xEB0300;
constexpr uint32_t kClrW7 = 0xEB0380;
}  // namespace op

// Executes instructions on a core.
inline void Exec(DsPic30Core& core, std::initializer_list<uint32_t> instructions) {
  for (uint32_t instruction : instructions) core.Execute(instruction);
}

// The unlock and write cycle as the maker's examples run it.
inline void UnlockAndWrite(DsPic30Core& core) {
  Exec(core, {op::MovLit(0x55, 8), op::kMovW8Nvmkey, op::MovLit(0xAA, 9), op::kMovW9Nvmkey,
              op::kBsetWr, op::kNop, op::kNop});
}

// Feeds a byte stream to the firmware commands the way the firmware frame does and collects the
// replies.
inline std::vector<uint8_t> RunFirmware(DsPic30Firmware& firmware,
                                        const std::vector<uint8_t>& stream) {
  std::vector<uint8_t> replies;
  std::vector<uint8_t> command;
  for (uint8_t byte : stream) {
    command.push_back(byte);
    if (DsPic30Firmware::MissingBytes(command) == 0) {
      const std::vector<uint8_t> reply = firmware.Execute(command);
      replies.insert(replies.end(), reply.begin(), reply.end());
      command.clear();
    }
  }
  return replies;
}

// Appends 0x4A with the instruction (LE24).
inline void AppendSix(std::vector<uint8_t>& stream, uint32_t instruction) {
  stream.insert(stream.end(), {0x4A, static_cast<uint8_t>(instruction & 0xFF),
                               static_cast<uint8_t>(instruction >> 8 & 0xFF),
                               static_cast<uint8_t>(instruction >> 16 & 0xFF)});
}

// A row of 32 instructions in the programmer's packed form: groups of four instructions as six
// 16-bit words LSW0, MSB1:MSB0, LSW1, LSW2, MSB3:MSB2, LSW3, each rotated left by 4 bits and sent
// low byte first.
inline std::vector<uint8_t> PackRow(const std::vector<uint32_t>& words) {
  std::vector<uint8_t> packed;
  for (size_t g = 0; g < 32; g += 4) {
    const uint32_t* w = &words[g];
    const uint16_t six[] = {static_cast<uint16_t>(w[0] & 0xFFFF),
                            static_cast<uint16_t>((w[1] >> 16 & 0xFF) << 8 | (w[0] >> 16 & 0xFF)),
                            static_cast<uint16_t>(w[1] & 0xFFFF),
                            static_cast<uint16_t>(w[2] & 0xFFFF),
                            static_cast<uint16_t>((w[3] >> 16 & 0xFF) << 8 | (w[2] >> 16 & 0xFF)),
                            static_cast<uint16_t>(w[3] & 0xFFFF)};
    for (uint16_t v : six) {
      packed.push_back(static_cast<uint8_t>((v << 4 & 0xF0) | v >> 12));
      packed.push_back(static_cast<uint8_t>(v >> 4 & 0xFF));
    }
  }
  return packed;
}

}  // namespace velmora::sim::testing
