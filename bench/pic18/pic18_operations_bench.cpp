// A full Program (erase, write, read back and compare every part) and a Verify of a PIC18F8722
// on the simulated full programmer: the host's CPU time against the link time the simulator
// models for the same run. The host's share should be small: the real link is the bottleneck.
#include <benchmark/benchmark.h>

#include <ctime>
#include <nlohmann/json.hpp>

#include "engine/cqel_doc.h"
#include "families/family_registry.h"
#include "families/pic18/pic18_family.h"
#include "families/pic18/pic18_operations.h"
#include "link/pic_vortang.h"
#include "platform/clock.h"
#include "platform/user_prompt.h"
#include "sim/client/sim_client.h"

namespace velmora {
namespace {

constexpr char kSimulatorPath[] = VELMORA_BINARY_DIR "/bin/libvelmora-sim.so";
constexpr char kHexFile[] = VELMORA_BINARY_DIR "/test-data/engine/pic18f8722_tables.hex";

double ProcessCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

void ProgramAndVerifyPic18F8722(benchmark::State& state) {
  const bool mini = state.range(0) != 0;
  sim::SimClient sim(kSimulatorPath);
  if (!sim.Loaded()) {
    state.SkipWithError("simulator not found");
    return;
  }
  const nlohmann::json scenario = {{"programmer", mini ? "mini" : "full"},
                                   {"device", "PIC18F8722"}};
  VirtualClock clock;
  ScriptedPrompt prompt;
  double hostSeconds = 0;
  double linkSeconds = 0;
  for (auto _ : state) {
    state.PauseTiming();
    sim.Configure(scenario.dump());
    CqelDoc doc({.clock = clock, .prompt = prompt, .driverLibraryPath = kSimulatorPath});
    doc.usesMiniProgrammer = mini ? 1 : 0;
    doc.hexFileName = kHexFile;
    state.ResumeTiming();

    const double cpuStart = ProcessCpuSeconds();
    StartFamilyCommand(doc, Pic18FamilyRow(), int(Pic18Command::kProgram));
    doc.WaitForOperation();
    const bool programmed = doc.lastOutcome == OperationOutcome::kSuccess;
    StartFamilyCommand(doc, Pic18FamilyRow(), int(Pic18Command::kVerify));
    doc.WaitForOperation();
    hostSeconds += ProcessCpuSeconds() - cpuStart;
    linkSeconds += sim.LinkMicros() * 1e-6;
    if (!programmed || doc.lastOutcome != OperationOutcome::kSuccess) {
      state.SkipWithError("program or verify failed");
      return;
    }
  }
  const double runs = static_cast<double>(state.iterations());
  state.counters["host_cpu_s"] = hostSeconds / runs;
  state.counters["link_s"] = linkSeconds / runs;
  state.counters["host_share"] = linkSeconds > 0 ? hostSeconds / linkSeconds : 0;
}
BENCHMARK(ProgramAndVerifyPic18F8722)
    ->ArgName("mini")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace velmora

BENCHMARK_MAIN();
