// A full Program (chip erase, every flash page written, read back and compared) and a Verify of
// an ATmega2560's 128 KB on the simulated full programmer, at the link speeds that use the
// firmware's three flash methods. Counters:
//   link_s       the link time the simulator models for both commands
//   wire_s       the bytes on the wire at 1,250,000 baud, 8N2: the link's physical floor
//   page_floor_s 512 page writes of 4.5 ms each: the chip's floor for writing the flash
//   chip_s       the time the firmware spends on the chip's SPI and its write cycles
//   host_cpu_s   the host's CPU time for both commands, host_share its part of link_s
#include <benchmark/benchmark.h>

#include <ctime>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "engine/cqel_doc.h"
#include "families/avr/avr_family.h"
#include "families/avr/avr_operations.h"
#include "families/family_registry.h"
#include "link/pic_vortang.h"
#include "memory/intel_hex.h"
#include "platform/clock.h"
#include "platform/user_prompt.h"
#include "sim/client/sim_client.h"

namespace velmora {
namespace {

constexpr char kSimulatorPath[] = VELMORA_BINARY_DIR "/bin/libvelmora-sim.so";
constexpr int32_t kFlashBytes = 131072;
constexpr double kPageWriteSeconds = 4.5e-3;  // tWD_FLASH
constexpr int32_t kPageBytes = 256;

double ProcessCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// 128 KB of code-like bytes (no 0xFF, so every page is written).
std::string FullImage() {
  const std::string path =
      (std::filesystem::temp_directory_path() / "velmora-avr-bench-2560.hex").string();
  CMCUMemoryArchitecture image;
  image.Clear();
  uint32_t x = 12345;
  for (int32_t i = 0; i < kFlashBytes; ++i) {
    x = x * 1103515245 + 12345;
    image.programMemory[i] = static_cast<int32_t>((x >> 16) % 255);
  }
  image.programSize = kFlashBytes;
  ScriptedPrompt prompt;
  WriteHexFile(path, image, 0, prompt);
  return path;
}

void ProgramAndVerifyATmega2560(benchmark::State& state) {
  const int speed = static_cast<int>(state.range(0));
  sim::SimClient sim(kSimulatorPath);
  if (!sim.Loaded()) {
    state.SkipWithError("simulator not found");
    return;
  }
  // Speed 5 needs a chip clock of 10 MHz or more: a 16 MHz crystal and its fuse.
  nlohmann::json target = nlohmann::json::object();
  if (speed == 5) target = {{"crystalHz", 16e6}, {"fuses", "FF D9 FF"}};
  const nlohmann::json scenario = {{"device", "ATmega2560/V"}, {"target", target}};
  const std::string hex = FullImage();
  VirtualClock clock;
  ScriptedPrompt prompt;
  double host = 0, link = 0, wire = 0, chip = 0;
  for (auto _ : state) {
    state.PauseTiming();
    sim.Configure(scenario.dump());
    CqelDoc doc({.clock = clock, .prompt = prompt, .driverLibraryPath = kSimulatorPath});
    doc.hexFileName = hex;
    doc.atmegaSpeed = speed;
    doc.enableEepromUpdate = 0;
    state.ResumeTiming();

    const double cpuStart = ProcessCpuSeconds();
    StartFamilyCommand(doc, AvrFamilyRow(), int(AvrCommand::kProgram));
    doc.WaitForOperation();
    const bool programmed = doc.lastOutcome == OperationOutcome::kSuccess;
    StartFamilyCommand(doc, AvrFamilyRow(), int(AvrCommand::kVerify));
    doc.WaitForOperation();
    host += ProcessCpuSeconds() - cpuStart;
    const nlohmann::json transcript = nlohmann::json::parse(sim.TranscriptJson());
    link += transcript["linkMicros"].get<double>() * 1e-6;
    wire += transcript["wireMicros"].get<double>() * 1e-6;
    chip += transcript["deviceMicros"].get<double>() * 1e-6;
    if (!programmed || doc.lastOutcome != OperationOutcome::kSuccess) {
      state.SkipWithError("program or verify failed");
      return;
    }
  }
  const double runs = static_cast<double>(state.iterations());
  state.counters["link_s"] = link / runs;
  state.counters["wire_s"] = wire / runs;
  state.counters["page_floor_s"] = kFlashBytes / kPageBytes * kPageWriteSeconds;
  state.counters["chip_s"] = chip / runs;
  state.counters["host_cpu_s"] = host / runs;
  state.counters["host_share"] = link > 0 ? host / link : 0;
}
BENCHMARK(ProgramAndVerifyATmega2560)
    ->ArgName("speed")
    ->Arg(2)
    ->Arg(3)
    ->Arg(5)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace velmora

BENCHMARK_MAIN();
