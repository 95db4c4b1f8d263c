#pragma once
// The full programmer's processor as the script link sees it: the algorithm area of its flash
// that the PC uploads compiled code into, the firmware's resident routines that such code calls
// (the chain of NOPs and the delay routines below the delay base, the byte receive routine, the
// byte send routine), and the call command that starts uploaded code and ends at its RETURN.
// Its port pins are wired to the target model through the pin interface the mini programmer
// uses, so uploaded code drives the target's ICSP lines.
//
// Firmware layout (constants of the programmer; offsets of the PC's code image are flash
// addresses):
//   algorithm area      0x4000..0x7FFF; its first two bytes hold the end offset
//   delay base          0x1000: the RETURN that ends the chain of 15 NOPs; a CALL n words
//                       before it takes n + 4 cycles. The delay routines are entered 18, 21, 24,
//                       27, 30, 37 and 44 words before it and take 26, 50, 101, 500, 1001,
//                       10000 and 20000 cycles with their CALL; they keep W and STATUS.
//   second entry        0x1400: sends W to the PC (waits for flow control and TXIF)
//   receive routine     0x1440: waits for a byte from the PC and leaves it in file register 7
// Pins: LATB0/PORTB0 DATA, LATB1 CLK, LATC5..3 DATA2..DATA4, PORTB7 flow control from the
// FT232 (low: the PC takes bytes). The reset line follows LATB2 and LATB4: LATB2 high puts
// VDD on MCLR; with LATB2 low, LATB4 high puts VPP on it and LATB4 low holds it at 0 V.
// The processor runs at 48 MHz, 12 instruction cycles per microsecond.
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "sim/mcu/pic18_core.h"
#include "sim/target.h"

namespace velmora::sim {

namespace programmer_cpu {
constexpr uint16_t kAreaStart = 0x4000;
constexpr uint32_t kAreaEnd = 0x8000;
constexpr uint16_t kDelayBase = 0x1000;
constexpr uint16_t kSendEntry = 0x1400;
constexpr uint16_t kReceiveEntry = 0x1440;
constexpr uint16_t kCommandLoop = 0x0100;  // where the call command returns to
constexpr uint8_t kReceivedByte = 0x07;    // file register of the receive routine's byte
constexpr uint32_t kNopChain = 15;
constexpr double kCyclesPerMicrosecond = 12.0;
constexpr uint32_t kBlockSize = 64;
constexpr uint32_t kFlashSize = 0x8000;
// The delay routines: distance in words before the delay base, cycles with the CALL.
struct DelayRoutine {
  uint32_t wordsBeforeBase;
  uint32_t cycles;
};
constexpr DelayRoutine kDelayRoutines[] = {{18, 26},   {21, 50},    {24, 101},  {27, 500},
                                           {30, 1001}, {37, 10000}, {44, 20000}};
// Pin bits of the target's side, as the mini programmer's port has them.
constexpr uint8_t kPinData = 0x04;
constexpr uint8_t kPinClock = 0x08;
constexpr uint8_t kPinData2 = 0x10;
constexpr uint8_t kPinData3 = 0x20;
constexpr uint8_t kPinData4 = 0x40;
constexpr uint8_t kPinVpp = 0x80;
}  // namespace programmer_cpu

class ProgrammerProcessor final : private IPic18Pins {
 public:
  enum class Stop { kReturned, kWaitsForByte, kWaitsForPc, kAsleep, kSliceSpent, kIdle };

  // `target` sits on the pins (may be null: nothing connected).
  explicit ProgrammerProcessor(ITarget* target);

  // Flow control: whether the PC takes bytes now (PORTB,7 low). Without one it always does.
  void SetPcTakesBytes(std::function<bool()> pcTakesBytes) {
    pcTakesBytes_ = std::move(pcTakesBytes);
  }
  // The algorithm area's content, kept like flash between processes.
  std::vector<uint8_t> AreaContent() const;
  void LoadArea(std::span<const uint8_t> content);

  // 0x18: start and end of the algorithm area, its content, the three firmware entries.
  std::vector<uint8_t> StateReply() const;
  // 0x1A: writes one 64-byte block inside the algorithm area (blocks elsewhere are refused)
  // and returns what the flash then holds there.
  std::vector<uint8_t> WriteBlock(uint16_t offset, std::span<const uint8_t> bytes);
  // 0x19: starts the code at `offset`; bytes from the PC go to the code until it returns.
  void Call(uint16_t offset);
  bool Running() const { return running_; }
  void Receive(uint8_t byte) { core_.Receive(byte); }
  // Runs the code until it returns, waits for a byte that has not come, waits for the PC to
  // take bytes (polling PORTB,7 while the PC does not), sleeps, or has spent the slice; bytes
  // it sends go to io.Reply. After kReturned, TakeUnread gives the bytes the code
  // left, which are firmware commands again.
  Stop Run(ITargetIo& io, uint64_t sliceCycles = kSliceCycles);
  std::vector<uint8_t> TakeUnread();
  uint64_t cyclesRun() const { return cyclesRun_; }  // of the last Run

  Pic18Core& core() { return core_; }
  const Pic18Core& core() const { return core_; }

  static constexpr uint64_t kSliceCycles = 60'000'000;  // five seconds of the processor

 private:
  // IPic18Pins
  uint8_t ReadPins(int port, uint8_t latch, uint8_t tris) override;
  void PinsChanged(int port, uint8_t latch, uint8_t tris, uint64_t cycles) override;

  void InstallFirmware();
  bool WaitsForByte() const;
  bool WaitsForPc() const;
  uint8_t TargetPins() const;

  Pic18Core core_;
  ITarget* target_;
  ITargetIo* io_ = nullptr;  // during Run
  bool running_ = false;
  uint64_t cyclesRun_ = 0;
  uint8_t lastPins_ = 0;
  uint64_t lastPinCycles_ = 0;
  bool targetPullsData_ = false;
  std::function<bool()> pcTakesBytes_;
};

}  // namespace velmora::sim
