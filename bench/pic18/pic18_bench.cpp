// The mini programmer's PIC18 sample streams: encoding a full PIC18F8720 program write (8 panels,
// the largest stream) and decoding a full read-back, in samples per second; once through a
// loopback driver (the link's own work only) and once through the simulated programmer with a
// simulated PIC18F8720, which also gives the modelled link time of the real hardware.
#include <benchmark/benchmark.h>

#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "families/pic18/pic18_device.h"
#include "link/dynamic_library.h"
#include "link/pic_vortang.h"
#include "link/programmer_identity.h"
#include "memory/catalogue.h"
#include "platform/clock.h"
#include "platform/user_prompt.h"
#include "sim/client/sim_client.h"

namespace velmora {
namespace {

constexpr char kLoopbackPath[] = VELMORA_BINARY_DIR "/bin/libvelmora-bench-loopback-d2xx.so";
constexpr char kSimulatorPath[] = VELMORA_BINARY_DIR "/bin/libvelmora-sim.so";
constexpr char kDevice[] = "PIC18F8720";

// A programmer bound to the given driver, in programming mode, with a whole PIC18F8720 image
// in fileImage (no load can be skipped).
struct Programmer {
  Programmer(const char* driver, int mini)
      : link(prompt, clock, DriverLookup{{driver}}), device(link) {
    link.Open(kProgrammerDescription, mini);
    link.EnterProgrammingMode(0);
    link.fileImage.Clear();
    link.chipImage.Clear();
    FillDescriptorByName(link.fileImage, kDevice);
    for (int32_t a = 0; a < link.fileImage.programSize; ++a) {
      link.fileImage.programMemory[a] = (a * 37 + 5) & 0x7F;
    }
  }
  ~Programmer() {
    link.LeaveProgrammingMode();
    link.Close();
  }
  ScriptedPrompt prompt;
  VirtualClock clock;
  CPICVortang link;
  CPic18Device device;
};

uint64_t LoopbackBytesWritten(const DynamicLibrary& library) {
  using Counter = uint64_t (*)();
  return reinterpret_cast<Counter>(library.Symbol("Loopback_BytesWritten"))();
}

void ReportSamples(benchmark::State& state, uint64_t samples) {
  state.counters["samples"] = static_cast<double>(samples) / state.iterations();
  state.counters["samples_per_s"] =
      benchmark::Counter(static_cast<double>(samples), benchmark::Counter::kIsRate);
}

void BM_MiniWriteEncode(benchmark::State& state) {
  const DynamicLibrary loopback = DynamicLibrary::Load(kLoopbackPath);
  Programmer mini(kLoopbackPath, 1);
  const uint64_t before = LoopbackBytesWritten(loopback);
  for (auto _ : state) benchmark::DoNotOptimize(mini.device.WriteProgramMemory());
  ReportSamples(state, LoopbackBytesWritten(loopback) - before);
}
BENCHMARK(BM_MiniWriteEncode)->Unit(benchmark::kMillisecond);

void BM_MiniReadDecode(benchmark::State& state) {
  const DynamicLibrary loopback = DynamicLibrary::Load(kLoopbackPath);
  Programmer mini(kLoopbackPath, 1);
  const uint64_t before = LoopbackBytesWritten(loopback);
  for (auto _ : state) benchmark::DoNotOptimize(mini.device.ReadProgramRange(-1, -1));
  ReportSamples(state, LoopbackBytesWritten(loopback) - before);
}
BENCHMARK(BM_MiniReadDecode)->Unit(benchmark::kMillisecond);

// Through the simulator: encoding, the FT232 model, the ICSP target and (for reads) decoding.
// link_s is the time the real link would take for one run.
void SimulatedRun(benchmark::State& state, const char* programmer, bool write) {
  const sim::SimClient sim(kSimulatorPath);
  const nlohmann::json scenario = {{"programmer", programmer}, {"device", kDevice}};
  if (sim.Configure(scenario.dump()) != 0) {
    state.SkipWithError(sim.LastError().c_str());
    return;
  }
  Programmer bound(kSimulatorPath, std::string(programmer) == "mini" ? 1 : 0);
  CPic18Device& device = bound.device;
  if (device.IdentifyPic18() == 0) {
    state.SkipWithError("no PIC18F8720 identified");
    return;
  }
  const size_t firstEvent = nlohmann::json::parse(sim.TranscriptJson())["events"].size();
  double linkMicros = 0;
  for (auto _ : state) {
    const double before = sim.LinkMicros();
    benchmark::DoNotOptimize(write ? device.WriteProgramMemory() : device.ReadProgramRange(-1, -1));
    linkMicros += sim.LinkMicros() - before;
  }
  state.counters["link_s"] = linkMicros / 1e6 / state.iterations();
  const nlohmann::json events = nlohmann::json::parse(sim.TranscriptJson())["events"];
  uint64_t written = 0;
  for (size_t i = firstEvent; i < events.size(); ++i) {
    if (events[i]["op"] == "write") written += events[i]["written"].get<uint64_t>();
  }
  ReportSamples(state, written);  // bytes for the full programmer
}

void BM_SimulatedMiniWrite(benchmark::State& state) {
  SimulatedRun(state, "mini", true);
}
void BM_SimulatedMiniRead(benchmark::State& state) {
  SimulatedRun(state, "mini", false);
}
void BM_SimulatedFullWrite(benchmark::State& state) {
  SimulatedRun(state, "full", true);
}
void BM_SimulatedFullRead(benchmark::State& state) {
  SimulatedRun(state, "full", false);
}
BENCHMARK(BM_SimulatedMiniWrite)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SimulatedMiniRead)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SimulatedFullWrite)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SimulatedFullRead)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace velmora

BENCHMARK_MAIN();
