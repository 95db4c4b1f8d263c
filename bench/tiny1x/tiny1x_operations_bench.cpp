// A full Program (chip erase, every flash word and EEPROM byte written, read back and compared,
// fuse and lock written and read back) of an ATtiny12 on the simulated full programmer.
// Counters:
//   link_s         the link time the simulator models for the command
//   wire_s         the bytes on the wire at 1,250,000 baud, 8N2
//   chip_s         the time the firmware spends on the chip's pins and its write cycles
//   write_floor_s  the chip's own floor: chip erase, 1024 flash byte and 64 EEPROM byte writes
//                  at the simulated chip's write times
#include <benchmark/benchmark.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "engine/cqel_doc.h"
#include "families/family_registry.h"
#include "families/tiny1x/tiny1x_family.h"
#include "families/tiny1x/tiny1x_operations.h"
#include "link/pic_vortang.h"
#include "memory/intel_hex.h"
#include "platform/clock.h"
#include "platform/user_prompt.h"
#include "sim/client/sim_client.h"

namespace velmora {
namespace {

constexpr char kSimulatorPath[] = VELMORA_BINARY_DIR "/bin/libvelmora-sim.so";
constexpr int32_t kFlashBytes = 1024;
constexpr int32_t kEepromBytes = 64;
// The simulated ATtiny12's write times (sim/tiny1x/tiny1x_chip.h).
constexpr double kEraseSeconds = 10e-3;
constexpr double kFlashByteSeconds = 2e-3;
constexpr double kEepromByteSeconds = 4e-3;

// 1 KB of code-like bytes (no 0xFF, so every word is written) and a full EEPROM.
std::string FullImage() {
  const std::string path =
      (std::filesystem::temp_directory_path() / "velmora-tiny1x-bench.hex").string();
  CMCUMemoryArchitecture image;
  image.Clear();
  uint32_t x = 12345;
  for (int32_t i = 0; i < kFlashBytes; ++i) {
    x = x * 1103515245 + 12345;
    image.programMemory[i] = static_cast<int32_t>((x >> 16) % 255);
  }
  for (int32_t i = 0; i < kEepromBytes; ++i) image.eeprom[i] = i;
  image.programSize = kFlashBytes;
  image.eepromSize = kEepromBytes;
  ScriptedPrompt prompt;
  WriteHexFile(path, image, 0, prompt);
  return path;
}

void ProgramATtiny12(benchmark::State& state) {
  sim::SimClient sim(kSimulatorPath);
  if (!sim.Loaded()) {
    state.SkipWithError("simulator not found");
    return;
  }
  const nlohmann::json scenario = {{"device", "ATtiny12"}, {"target", nlohmann::json::object()}};
  const std::string hex = FullImage();
  VirtualClock clock;
  ScriptedPrompt prompt;
  double link = 0, wire = 0, chip = 0;
  for (auto _ : state) {
    state.PauseTiming();
    sim.Configure(scenario.dump());
    CqelDoc doc({.clock = clock, .prompt = prompt, .driverLibraryPath = kSimulatorPath});
    doc.hexFileName = hex;
    auto& operations = static_cast<CTiny1xOperations&>(OperationsOf(doc, Tiny1xFamilyRow()));
    operations.state.SetFuse(1, 0x52);
    state.ResumeTiming();

    StartFamilyCommand(doc, Tiny1xFamilyRow(), int(Tiny1xCommand::kProgram));
    doc.WaitForOperation();
    const nlohmann::json transcript = nlohmann::json::parse(sim.TranscriptJson());
    link += transcript["linkMicros"].get<double>() * 1e-6;
    wire += transcript["wireMicros"].get<double>() * 1e-6;
    chip += transcript["deviceMicros"].get<double>() * 1e-6;
    if (doc.lastOutcome != OperationOutcome::kSuccess) {
      state.SkipWithError("program failed");
      return;
    }
  }
  const double runs = static_cast<double>(state.iterations());
  state.counters["link_s"] = link / runs;
  state.counters["wire_s"] = wire / runs;
  state.counters["chip_s"] = chip / runs;
  state.counters["write_floor_s"] =
      kEraseSeconds + kFlashBytes * kFlashByteSeconds + kEepromBytes * kEepromByteSeconds;
}
BENCHMARK(ProgramATtiny12)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace velmora

BENCHMARK_MAIN();
