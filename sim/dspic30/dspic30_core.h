#pragma once
// The dsPIC30F core as ICSP drives it: every SIX hands it one 24-bit instruction, REGOUT reads
// VISI. It decodes the instructions from their bit fields in the maker's instruction encodings
// (not from a list of the words some programmer sends) and executes them on the register file
// (W0..W15 and the SFRs, memory-mapped in data space), data memory, the table-write latches and
// the flash controller. NVMCON operations run only when WR is set right after the unlock
// sequence; what goes wrong (an instruction the core does not know, a wrong unlock, an operation
// outside its region) is noted as an error.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "dspic30_memory.h"

namespace velmora::sim {

// Time the flash controller is busy per operation. The ICSP times are not in the retrieved
// pages of the maker's flash programming document; these are its programming executive's
// time-outs, which bound them.
namespace dspic30busy {
constexpr double kRowProgramMicros = 5000;
constexpr double kRowEraseMicros = 5000;
constexpr double kBulkEraseMicros = 5000;
constexpr double kEepromMicros = 5000;  // word or row write or erase
constexpr double kConfigurationMicros = 5000;
}  // namespace dspic30busy

class DsPic30Core {
 public:
  explicit DsPic30Core(DsPic30Memory& memory);

  // SIX: executes one 24-bit instruction.
  void Execute(uint32_t instruction);
  // REGOUT: the content of VISI.
  uint16_t ReadVisi() const;
  // Entry into ICSP mode (a reset): registers, write latches, a pending unlock or GOTO cleared.
  void Reset();

  uint16_t W(int n) const { return DataWordRaw(static_cast<uint16_t>(2 * n)); }
  uint16_t Sfr(uint16_t address) const { return DataWordRaw(address); }
  uint32_t programCounter() const { return pc_; }

  // What happened since the last call: transcript notes (errors among them) and the time the
  // flash controller was busy.
  std::vector<std::string> TakeNotes();
  double TakeBusyMicros();
  uint64_t errorCount() const { return errors_; }

  // Mnemonic of an instruction, for the transcript.
  static std::string Disassemble(uint32_t instruction);

 private:
  void Goto(uint32_t instruction);
  void GotoSecondWord(uint32_t instruction);
  void MovLiteral(uint32_t instruction);
  void MovFile(uint32_t instruction);
  void BitSetOrClear(uint32_t instruction);
  void TableRead(uint32_t instruction);
  void TableWrite(uint32_t instruction);
  void Clear(uint32_t instruction);

  // Addressing modes 1..5 of an indirect operand ([Wn], [Wn--], [Wn++], [--Wn], [++Wn]); steps
  // by 1 in byte mode and 2 in word mode.
  uint16_t EffectiveAddress(uint32_t mode, uint32_t reg, bool byteMode);
  void SetW(uint32_t reg, uint16_t value, bool byteMode);

  uint16_t ReadData(uint16_t address, bool byteMode);
  void WriteData(uint16_t address, uint16_t value, bool byteMode);
  uint16_t DataWordRaw(uint16_t address) const;
  void WriteSfrWord(uint16_t address, uint16_t value);
  void NvmKeyWritten(uint8_t key);
  void StartNvmOperation();
  void RunNvmOperation(uint16_t operation, uint32_t address);
  uint32_t Latch(uint32_t address) const;

  void Note(std::string text) { notes_.push_back(std::move(text)); }
  void Error(const std::string& text);

  DsPic30Memory& memory_;
  std::vector<uint8_t> sfr_;              // data space below 0x0800, W0..W15 from 0
  std::map<uint32_t, uint32_t> latches_;  // program-space address -> loaded write latch
  std::optional<uint32_t> gotoLow_;       // first word of a GOTO seen
  uint32_t pc_ = 0;
  uint64_t executed_ = 0;               // instructions so far
  bool unlockStarted_ = false;          // 0x55 written to NVMKEY
  std::optional<uint64_t> unlockedAt_;  // instruction that wrote 0xAA after 0x55
  std::vector<std::string> notes_;
  double busyMicros_ = 0;
  uint64_t errors_ = 0;
};

}  // namespace velmora::sim
