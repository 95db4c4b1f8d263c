// The firmware's instruction sequences and its small assembler are written out here again on
// purpose, apart from the product's dsPIC30 primitives (src/families/dspic30): this model is the
// oracle they are tested against, and a model that shared their constants would agree with their
// mistakes.
#include "dspic30_firmware.h"

#include <cstdio>

namespace velmora::sim {

using namespace dspic30addr;
using namespace dspic30asm;

namespace {

constexpr uint8_t kSix = 0x4A;
constexpr uint8_t kRegOut = 0x4B;
constexpr uint8_t kNopCommand = 0x4C;
constexpr uint8_t kReadProgram = 0x4D;
constexpr uint8_t kWriteRow = 0x4E;
constexpr uint8_t kEraseRow = 0x4F;
constexpr uint8_t kReadData = 0x50;
constexpr uint8_t kWriteConfiguration = 0x53;
constexpr uint8_t kReadRam = 0x54;

constexpr size_t kRowBytes = 96;  // 32 instructions, 8 groups of 4 in six 16-bit words
constexpr size_t kGroupBytes = 12;

size_t OperandBytes(uint8_t command) {
  switch (command) {
    case kSix:
      return 3;
    case kReadProgram:
    case kReadData:
    case kReadRam:
      return 2;
    case kWriteRow:
      return kRowBytes;
    case kEraseRow:
      return 4;
    default:
      return 0;
  }
}

// The read commands carry their word count negated: the firmware counts up to zero.
uint32_t NegatedCount(std::span<const uint8_t> command) {
  const auto negated = static_cast<uint16_t>(command[1] | command[2] << 8);
  return static_cast<uint16_t>(0x10000 - negated);
}

}  // namespace

bool DsPic30Firmware::Serves(uint8_t command) {
  return (command >= kSix && command <= kReadData) || command == kWriteConfiguration ||
         command == kReadRam;
}

size_t DsPic30Firmware::MissingBytes(std::span<const uint8_t> received) {
  const size_t total = 1 + OperandBytes(received[0]);
  return received.size() >= total ? 0 : total - received.size();
}

std::string DsPic30Firmware::Name(std::span<const uint8_t> command) {
  switch (command[0]) {
    case kSix: {
      const uint32_t instruction = command[1] | command[2] << 8 | command[3] << 16;
      char text[16];
      std::snprintf(text, sizeof text, "%06X", instruction);
      return std::string("dsPIC30 SIX ") + text + " " + DsPic30Core::Disassemble(instruction);
    }
    case kRegOut:
      return "dsPIC30 REGOUT (read VISI)";
    case kNopCommand:
      return "dsPIC30 SIX NOP";
    case kReadProgram:
      return "dsPIC30 read " + std::to_string(NegatedCount(command)) + " program words";
    case kWriteRow:
      return "dsPIC30 write program row";
    case kEraseRow:
      return "dsPIC30 erase program row";
    case kReadData:
      return "dsPIC30 read " + std::to_string(NegatedCount(command)) + " data words";
    case kWriteConfiguration:
      return "dsPIC30 complete configuration write";
    case kReadRam:
      return "dsPIC30 read " + std::to_string(NegatedCount(command)) + " RAM words";
    default:
      return "dsPIC30 unknown command";
  }
}

std::vector<uint8_t> DsPic30Firmware::Execute(std::span<const uint8_t> command) {
  std::vector<uint8_t> reply;
  switch (command[0]) {
    case kSix:
      Six(command[1] | command[2] << 8 | command[3] << 16);
      break;
    case kRegOut:
      AppendVisi(reply, 2);
      break;
    case kNopCommand:
      Six(kNop);
      break;
    case kReadProgram:
      return ReadProgramWords(NegatedCount(command));
    case kWriteRow:
      WriteRow(command.subspan(1));
      break;
    case kEraseRow:
      EraseRow(command.subspan(1));
      break;
    case kReadData:
      return ReadDataWords(NegatedCount(command));
    case kWriteConfiguration:
      UnlockAndWrite();
      break;
    case kReadRam:
      return ReadRam(NegatedCount(command));
    default:
      break;
  }
  return reply;
}

void DsPic30Firmware::Nops(int count) {
  for (int i = 0; i < count; ++i) Six(kNop);
}

// REGOUT shifts VISI out least significant bit first; the firmware passes the low byte first.
void DsPic30Firmware::AppendVisi(std::vector<uint8_t>& reply, int bytes) {
  const uint16_t visi = core_.ReadVisi();
  reply.push_back(static_cast<uint8_t>(visi & 0xFF));
  if (bytes == 2) reply.push_back(static_cast<uint8_t>(visi >> 8));
}

// The unlock and the write cycle on the operation the PC set up in NVMCON; the firmware waits
// for the cycle, then clears WR.
void DsPic30Firmware::UnlockAndWrite() {
  Six(MovLiteral(0x55, 8));
  Six(MovToFile(8, kNvmkey));
  Six(MovLiteral(0xAA, 9));
  Six(MovToFile(9, kNvmkey));
  Six(BitOp(true, kNvmcon, 15));
  Nops(2);
  Six(BitOp(false, kNvmcon, 15));
  Nops(2);
}

// W6 holds the program-space offset (TBLPAG its page) and W7 the address of VISI: per word the
// low 16 bits, then the upper byte (with the phantom byte) through VISI.
std::vector<uint8_t> DsPic30Firmware::ReadProgramWords(uint32_t count) {
  std::vector<uint8_t> reply;
  reply.reserve(3 * count);
  for (uint32_t i = 0; i < count; ++i) {
    Six(Table(false, false, false, kIndirect, 6, kIndirect, 7));  // TBLRDL [W6], [W7]
    Nops(2);
    AppendVisi(reply, 2);
    Six(Table(false, true, false, kPostInc, 6, kIndirect, 7));  // TBLRDH [W6++], [W7]
    Nops(2);
    AppendVisi(reply, 1);
  }
  return reply;
}

std::vector<uint8_t> DsPic30Firmware::ReadDataWords(uint32_t count) {
  std::vector<uint8_t> reply;
  reply.reserve(2 * count);
  for (uint32_t i = 0; i < count; ++i) {
    Six(Table(false, false, false, kPostInc, 6, kIndirect, 7));  // TBLRDL [W6++], [W7]
    Nops(2);
    AppendVisi(reply, 2);
  }
  return reply;
}

// W6 holds the first data address: the firmware reads it through VISI, then moves word after
// word from data memory to VISI.
std::vector<uint8_t> DsPic30Firmware::ReadRam(uint32_t count) {
  std::vector<uint8_t> reply;
  reply.reserve(2 * count);
  Six(MovToFile(6, kVisi));
  Nops(1);
  uint16_t address = core_.ReadVisi();
  for (uint32_t i = 0; i < count; ++i, address += 2) {
    Six(MovFromFile(address, 0));
    Six(MovToFile(0, kVisi));
    Nops(1);
    AppendVisi(reply, 2);
  }
  Six(MovLiteral(address, 6));
  return reply;
}

// 32 instructions, 8 groups of four; a group's six words (each sent rotated left by 4 bits) go
// to W0..W5 in the packed order LSW0, MSB1:MSB0, LSW1, LSW2, MSB3:MSB2, LSW3 and from there,
// with W6 walking through them, into the write latches at W7. Then the write cycle of the
// row-program operation the PC put into NVMCON.
void DsPic30Firmware::WriteRow(std::span<const uint8_t> packed) {
  for (size_t group = 0; group < kRowBytes / kGroupBytes; ++group) {
    const uint8_t* bytes = packed.data() + group * kGroupBytes;
    for (uint32_t w = 0; w < 6; ++w) {
      const uint8_t b0 = bytes[2 * w];
      const uint8_t b1 = bytes[2 * w + 1];
      const auto word = static_cast<uint16_t>((b0 & 0x0F) << 12 | b1 << 4 | b0 >> 4);
      Six(MovLiteral(word, w));
    }
    Six(ClearW(6));
    Six(Table(true, false, false, kPostInc, 6, kIndirect, 7));  // TBLWTL [W6++], [W7]
    Six(Table(true, true, true, kPostInc, 6, kPostInc, 7));     // TBLWTH.B [W6++], [W7++]
    Six(Table(true, true, true, kPostInc, 6, kPreInc, 7));      // TBLWTH.B [W6++], [++W7]
    Six(Table(true, false, false, kPostInc, 6, kPostInc, 7));   // TBLWTL [W6++], [W7++]
    Six(Table(true, false, false, kPostInc, 6, kIndirect, 7));  // TBLWTL [W6++], [W7]
    Six(Table(true, true, true, kPostInc, 6, kPostInc, 7));     // TBLWTH.B [W6++], [W7++]
    Six(Table(true, true, true, kPostInc, 6, kPreInc, 7));      // TBLWTH.B [W6++], [++W7]
    Six(Table(true, false, false, kPostInc, 6, kPostInc, 7));   // TBLWTL [W6++], [W7++]
  }
  UnlockAndWrite();
}

// The four bytes are the upper and middle byte of MOV #offset, W7 and the middle and lower byte
// of MOV #page, W0: the firmware completes the two instructions, selects the row with a dummy
// table write and runs the row erase.
void DsPic30Firmware::EraseRow(std::span<const uint8_t> addressBytes) {
  Six(0x200000 | uint32_t{addressBytes[2]} << 8 | addressBytes[3]);
  Six(MovToFile(0, kTblpag));
  Six(uint32_t{addressBytes[0]} << 16 | uint32_t{addressBytes[1]} << 8 | 0x07);
  Six(MovLiteral(nvmop::kEraseRow, 10));
  Six(MovToFile(10, kNvmcon));
  Six(Table(true, false, false, kDirect, 0, kIndirect, 7));  // TBLWTL W0, [W7]
  UnlockAndWrite();
}

}  // namespace velmora::sim
