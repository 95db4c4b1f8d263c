// The programmer's PIC18 core against gpsim: each instruction-coverage program (assembled by
// gpasm) runs on both; at every checkpoint the cycle count and the core registers must agree,
// and at the end also data memory banks 0 to 3.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "pic18_core_support.h"
#include "sim/mcu/programmer_processor.h"
#include "support/scratch_directory.h"

namespace velmora::sim {
namespace {

using namespace pic18reg;
using testing::CoreProgramPath;

// Addresses fixed by coverage.inc.
constexpr uint32_t kFinished = 0x0004;
constexpr uint32_t kCheckpoint = 0x0008;
constexpr uint64_t kStepLimit = 1'000'000;
constexpr uint16_t kComparedRam = 0x400;

struct Register {
  const char* gpsimName;
  uint16_t address;
};
constexpr Register kRegisters[] = {
    {"W", kWreg},          {"status", kStatus},   {"bsr", kBsr},       {"fsr0l", kFsr0l},
    {"fsr0h", kFsr0h},     {"fsr1l", kFsr1l},     {"fsr1h", kFsr1h},   {"fsr2l", kFsr2l},
    {"fsr2h", kFsr2h},     {"prodl", kProdl},     {"prodh", kProdh},   {"tblptrl", kTblptrl},
    {"tblptrh", kTblptrh}, {"tblptru", kTblptru}, {"tablat", kTablat}, {"stkptr", kStkptr},
    {"tosl", kTosl},       {"tosh", kTosh},       {"tosu", kTosu},     {"pclath", kPclath},
    {"pclatu", kPclatu},   {"t0con", kT0con},     {"tmr0l", kTmr0l},   {"intcon", kIntcon},
};

// gpsim 0.31 counts the table reads and writes as one cycle; the maker's instruction table gives
// them two. The comparison takes this one known difference out.
bool IsTableOperation(uint16_t opcode) {
  return opcode >= 0x0008 && opcode <= 0x000F;
}

struct Stop {
  uint64_t cycles = 0;
  std::vector<uint8_t> registers;  // in the order of kRegisters
};

struct Outcome {
  std::vector<Stop> stops;  // every checkpoint, then the finish
  std::vector<uint8_t> ram;
  bool finished = false;
};

Outcome RunOnCore(const std::string& hex) {
  Pic18Core core;
  testing::LoadHex(core, hex);
  Outcome run;
  uint64_t tableOperations = 0;
  for (uint64_t step = 0; step < kStepLimit; ++step) {
    if (core.pc() == kCheckpoint || core.pc() == kFinished) {
      Stop stop{.cycles = core.cycles() - tableOperations, .registers = {}};
      for (const Register& r : kRegisters) stop.registers.push_back(core.Peek(r.address));
      run.stops.push_back(stop);
      if (core.pc() == kFinished) {
        run.finished = true;
        break;
      }
    }
    if (IsTableOperation(core.ProgramWord(core.pc()))) ++tableOperations;
    core.Step();
  }
  for (uint16_t a = 0; a < kComparedRam; ++a) run.ram.push_back(core.Peek(a));
  return run;
}

Outcome RunOnGpsim(const std::string& hex, size_t stops) {
  const auto dir = velmora::testing::ScratchDirectory("pic18core-gpsim-");
  const auto script = dir / "run.gps";
  const auto output = dir / "output.txt";
  {
    std::ofstream out(script);
    out << "processor p18f4550\nload " << hex << "\n";
    out << "break e " << kCheckpoint << "\nbreak e " << kFinished << "\n";
    for (size_t i = 0; i < stops; ++i) {
      out << "run\ncycles\n";
      for (const Register& r : kRegisters) out << r.gpsimName << "\n";
    }
    out << "dump\nquit\n";
  }
  const std::string command = std::string(VELMORA_GPSIM) + " -i -c " + script.string() +
                              " </dev/null >" + output.string() + " 2>&1";
  EXPECT_EQ(std::system(command.c_str()), 0) << command;

  std::ifstream in(output);
  std::stringstream text;
  text << in.rdbuf();
  const std::string all = text.str();
  Outcome run;
  // Values print as "name = 0x1F" (the cycle count as "40 = 0x00000028").
  const std::regex value(R"(([A-Za-z0-9_]+) = 0x([0-9A-Fa-f]+))");
  std::vector<uint64_t> values;
  for (auto it = std::sregex_iterator(all.begin(), all.end(), value); it != std::sregex_iterator();
       ++it) {
    values.push_back(std::stoull((*it)[2].str(), nullptr, 16));
  }
  const size_t perStop = 1 + std::size(kRegisters);
  for (size_t i = 0; i + perStop <= values.size() && run.stops.size() < stops; i += perStop) {
    Stop stop{.cycles = values[i], .registers = {}};
    for (size_t r = 1; r < perStop; ++r) stop.registers.push_back(uint8_t(values[i + r]));
    run.stops.push_back(stop);
  }
  // The dump: "0120:  5c 5c 00 ..." sixteen bytes a line.
  run.ram.assign(kComparedRam, 0);
  const std::regex row(R"((^|\n)([0-9a-f]{4}):  ((?:[0-9a-f-]{2} ){16}))");
  for (auto it = std::sregex_iterator(all.begin(), all.end(), row); it != std::sregex_iterator();
       ++it) {
    const uint32_t base = std::stoul((*it)[2].str(), nullptr, 16);
    std::istringstream bytes((*it)[3].str());
    std::string cell;
    for (uint32_t i = 0; i < 16 && bytes >> cell; ++i) {
      if (base + i < kComparedRam && cell != "--")
        run.ram[base + i] = uint8_t(std::stoul(cell, nullptr, 16));
    }
  }
  return run;
}

// Runs the HEX image on both and compares every stop and the data memory at the end.
void ExpectSameOnCoreAndGpsim(const std::string& hex) {
  const Outcome core = RunOnCore(hex);
  ASSERT_TRUE(core.finished) << "the program did not reach its end";
  const Outcome gpsim = RunOnGpsim(hex, core.stops.size());
  ASSERT_EQ(gpsim.stops.size(), core.stops.size()) << "gpsim stopped fewer times";
  for (size_t s = 0; s < core.stops.size(); ++s) {
    SCOPED_TRACE("stop " + std::to_string(s));
    EXPECT_EQ(core.stops[s].cycles, gpsim.stops[s].cycles) << "cycle count";
    for (size_t r = 0; r < std::size(kRegisters); ++r) {
      EXPECT_EQ(int(core.stops[s].registers[r]), int(gpsim.stops[s].registers[r]))
          << kRegisters[r].gpsimName;
    }
  }
  int differences = 0;
  for (uint16_t a = 0; a < kComparedRam && differences < 8; ++a) {
    if (core.ram[a] != gpsim.ram[a]) {
      ++differences;
      ADD_FAILURE() << "data memory 0x" << std::hex << a << ": core 0x" << int(core.ram[a])
                    << ", gpsim 0x" << int(gpsim.ram[a]);
    }
  }
}

class CoreAgainstGpsim : public ::testing::TestWithParam<const char*> {};

TEST_P(CoreAgainstGpsim, SameCyclesRegistersAndMemory) {
  ExpectSameOnCoreAndGpsim(CoreProgramPath(std::string(GetParam()) + ".hex"));
}

// Program memory as Intel HEX data records, 16 bytes each, leaving out erased lines.
void WriteHex(std::span<const uint8_t> program, const std::filesystem::path& path) {
  std::ofstream out(path);
  char text[8];
  for (uint32_t line = 0; line + 16 <= program.size(); line += 16) {
    const auto bytes = program.subspan(line, 16);
    if (std::ranges::all_of(bytes, [](uint8_t b) { return b == 0xFF; })) continue;
    uint32_t sum = 16 + (line >> 8) + (line & 0xFF);
    std::snprintf(text, sizeof text, "%04X", line);
    out << ":10" << text << "00";
    for (uint8_t b : bytes) {
      std::snprintf(text, sizeof text, "%02X", b);
      out << text;
      sum += b;
    }
    std::snprintf(text, sizeof text, "%02X", (0x100 - (sum & 0xFF)) & 0xFF);
    out << text << "\n";
  }
  out << ":00000001FF\n";
}

// The programmer firmware's resident routines as an image for both simulators: a driver calls
// every delay entry and entries of the NOP chain with W and STATUS set, each followed by a
// checkpoint, so cycles and the kept registers are compared routine by routine.
TEST(ProgrammerFirmwareAgainstGpsim, DelayRoutinesAndNopChainTakeTheSameCycles) {
  ProgrammerProcessor processor(nullptr);
  Pic18Core& core = processor.core();
  std::vector<uint16_t> words = {0xEE00, 0xF000, 0xEE10, 0xF000, 0xEE20, 0xF000,  // LFSRs
                                 0x6AE0, 0x0E15, 0x6ED8, 0x0EA5};  // BSR 0, STATUS 0x15, W 0xA5
  auto call = [&words](uint32_t address) {
    words.push_back(static_cast<uint16_t>(0xEC00 | ((address >> 1) & 0xFF)));
    words.push_back(static_cast<uint16_t>(0xF000 | (address >> 9)));
  };
  using namespace programmer_cpu;
  for (const DelayRoutine& routine : kDelayRoutines) {
    call(kDelayBase - 2 * routine.wordsBeforeBase);
    call(kCheckpoint);
  }
  for (uint32_t n : {0u, 7u, 15u}) {
    call(kDelayBase - 2 * n);
    call(kCheckpoint);
  }
  words.insert(words.end(), {0xEF02, 0xF000});          // GOTO the end
  testing::PlaceWords(core, 0x0000, {0xEF00, 0xF038});  // GOTO 0x7000
  testing::PlaceWords(core, kFinished, {0xD7FF});
  testing::PlaceWords(core, kCheckpoint, {0x0012});
  for (size_t i = 0; i < words.size(); ++i) {
    testing::PlaceWords(core, static_cast<uint32_t>(0x7000 + 2 * i), {words[i]});
  }
  const auto hex = velmora::testing::ScratchDirectory("programmer-firmware-") / "firmware.hex";
  WriteHex(core.program(), hex);
  ExpectSameOnCoreAndGpsim(hex.string());
}

INSTANTIATE_TEST_SUITE_P(CoveragePrograms, CoreAgainstGpsim,
                         ::testing::Values("arithmetic", "logic", "flow", "timer0"));

}  // namespace
}  // namespace velmora::sim
