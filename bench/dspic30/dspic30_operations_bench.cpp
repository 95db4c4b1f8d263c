// A full Program (bulk erase, every program row, the EEPROM and the configuration, each read
// back and compared) and a Verify of a dsPIC30F6014 on the simulated full programmer, with a
// file that fills the whole program memory and EEPROM. Reported: the link time the simulator
// models for the run, the part of it that is bytes on the wire at 1,250,000 baud (the limit no
// protocol change on this link can beat), the rest (the FT232's latency timer, the chip's
// programming times, the fixed waits of the streams), and the host's CPU time (the whole
// process, the simulator included) as a share of the link time.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "engine/cqel_doc.h"
#include "families/dspic30/dspic30_family.h"
#include "families/dspic30/dspic30_operations.h"
#include "families/family_registry.h"
#include "link/pic_vortang.h"
#include "platform/clock.h"
#include "platform/user_prompt.h"
#include "sim/client/sim_client.h"

namespace velmora {
namespace {

constexpr char kSimulatorPath[] = VELMORA_BINARY_DIR "/bin/libvelmora-sim.so";
constexpr uint32_t kProgramWords = 49152;  // dsPIC30F6014
constexpr uint32_t kEepromBytes = 4096;

double ProcessCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Intel HEX in the maker's layout: every program-space word in four bytes at twice its
// address, low byte first.
class HexWriter {
 public:
  void Word(uint32_t programSpaceAddress, uint32_t value) {
    for (uint32_t k = 0; k < 4; ++k) {
      Byte(2 * programSpaceAddress + k, static_cast<uint8_t>(value >> (8 * k)));
    }
  }
  std::string Text() {
    Flush();
    return text_ + ":00000001FF\n";
  }

 private:
  void Byte(uint32_t address, uint8_t value) {
    if (address != next_ || line_.size() == 16 || (address >> 16) != upper_) Flush();
    if (line_.empty()) {
      start_ = address;
      if ((address >> 16) != upper_) {
        upper_ = address >> 16;
        Record(0, 4, {static_cast<uint8_t>(upper_ >> 8), static_cast<uint8_t>(upper_)});
      }
    }
    line_.push_back(value);
    next_ = address + 1;
  }
  void Flush() {
    if (!line_.empty()) Record(static_cast<uint16_t>(start_), 0, line_);
    line_.clear();
  }
  void Record(uint16_t address, uint8_t type, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> all{static_cast<uint8_t>(data.size()), static_cast<uint8_t>(address >> 8),
                             static_cast<uint8_t>(address), type};
    all.insert(all.end(), data.begin(), data.end());
    uint8_t sum = 0;
    for (uint8_t b : all) sum = static_cast<uint8_t>(sum + b);
    all.push_back(static_cast<uint8_t>(-sum));
    text_ += ':';
    for (uint8_t b : all) {
      char hex[3];
      std::snprintf(hex, sizeof hex, "%02X", b);
      text_ += hex;
    }
    text_ += '\n';
  }

  std::string text_;
  std::vector<uint8_t> line_;
  uint32_t start_ = 0;
  uint32_t next_ = 0xFFFFFFFF;
  uint32_t upper_ = 0xFFFFFFFF;
};

std::string WriteFullProgram() {
  HexWriter hex;
  for (uint32_t w = 0; w < kProgramWords; ++w)
    hex.Word(2 * w, (w * 0x031A07 + 0x450123) & 0xFFFFFF);
  for (uint32_t i = 0; i < kEepromBytes / 2; ++i) {
    hex.Word(0x800000 - kEepromBytes + 2 * i, (i * 0x0101 + 0x1234) & 0xFFFF);
  }
  const uint16_t config[7] = {0xC307, 0x801F, 0x8733, 0xFFFF, 0xFFFF, 0xFFFF, 0xC003};
  for (uint32_t reg = 0; reg < 7; ++reg) hex.Word(0xF80000 + 2 * reg, config[reg]);
  const std::string path =
      (std::filesystem::temp_directory_path() / "dspic30f6014-full.hex").string();
  std::ofstream(path) << hex.Text();
  return path;
}

// Bytes the transcript shows on the wire, both directions.
uint64_t WireBytes(const nlohmann::json& transcript) {
  uint64_t total = 0;
  for (const auto& event : transcript["events"]) {
    if (event.value("op", std::string()) == "write") total += event.value("written", 0u);
    if (event.value("op", std::string()) == "read") {
      total += event.contains("bytes") ? (event["bytes"].get<std::string>().size() + 1) / 3
                                       : event.value("count", 0u);
    }
  }
  return total;
}

void ProgramAndVerifyDsPic30F6014(benchmark::State& state) {
  sim::SimClient sim(kSimulatorPath);
  if (!sim.Loaded()) {
    state.SkipWithError("simulator not found");
    return;
  }
  const std::string hexPath = WriteFullProgram();
  const nlohmann::json scenario = {{"programmer", "full"}, {"device", "dsPIC30F6014"}};
  VirtualClock clock;
  ScriptedPrompt prompt;
  double hostSeconds = 0;
  double linkSeconds = 0;
  double wireSeconds = 0;
  double latencySeconds = 0;
  double deviceSeconds = 0;
  double waitSeconds = 0;
  double wireBytes = 0;
  for (auto _ : state) {
    state.PauseTiming();
    sim.Configure(scenario.dump());
    CqelDoc doc({.clock = clock, .prompt = prompt, .driverLibraryPath = kSimulatorPath});
    doc.dspic30FlashFileName = hexPath;
    state.ResumeTiming();

    const double cpuStart = ProcessCpuSeconds();
    StartFamilyCommand(doc, DsPic30FamilyRow(), int(DsPic30Command::kProgram));
    doc.WaitForOperation();
    const bool programmed = doc.lastOutcome == OperationOutcome::kSuccess;
    StartFamilyCommand(doc, DsPic30FamilyRow(), int(DsPic30Command::kVerify));
    doc.WaitForOperation();
    hostSeconds += ProcessCpuSeconds() - cpuStart;

    state.PauseTiming();
    const nlohmann::json transcript = nlohmann::json::parse(sim.TranscriptJson());
    linkSeconds += sim.LinkMicros() * 1e-6;
    wireSeconds += transcript.value("wireMicros", 0.0) * 1e-6;
    latencySeconds += transcript.value("latencyMicros", 0.0) * 1e-6;
    deviceSeconds += transcript.value("deviceMicros", 0.0) * 1e-6;
    waitSeconds += transcript.value("waitMicros", 0.0) * 1e-6;
    wireBytes += static_cast<double>(WireBytes(transcript));
    state.ResumeTiming();
    if (!programmed || doc.lastOutcome != OperationOutcome::kSuccess) {
      state.SkipWithError("program or verify failed");
      return;
    }
  }
  const double runs = static_cast<double>(state.iterations());
  state.counters["host_cpu_s"] = hostSeconds / runs;
  state.counters["link_s"] = linkSeconds / runs;
  state.counters["wire_s"] = wireSeconds / runs;
  state.counters["latency_s"] = latencySeconds / runs;
  state.counters["device_s"] = deviceSeconds / runs;
  state.counters["wait_s"] = waitSeconds / runs;
  state.counters["wire_bytes"] = wireBytes / runs;
  state.counters["link_over_wire"] = wireSeconds > 0 ? linkSeconds / wireSeconds : 0;
  state.counters["host_share"] = linkSeconds > 0 ? hostSeconds / linkSeconds : 0;
}
BENCHMARK(ProgramAndVerifyDsPic30F6014)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace velmora

BENCHMARK_MAIN();
