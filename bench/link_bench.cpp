// Host-side cost of the link's building blocks, and the link time the simulator accounts for
// them (counter "link_ms": what the real FT232 would take).
#include <benchmark/benchmark.h>

#include <nlohmann/json.hpp>

#include "link/pic_vortang.h"
#include "link/programmer_identity.h"
#include "platform/clock.h"
#include "platform/user_prompt.h"
#include "sim/client/sim_client.h"

namespace {

using namespace velmora;

constexpr char kSimulator[] = VELMORA_BINARY_DIR "/bin/libvelmora-sim.so";

struct SimulatedLink {
  explicit SimulatedLink(const nlohmann::json& scenario) {
    if (sim.Configure(scenario.dump()) != 0) throw std::runtime_error(sim.LastError());
  }
  sim::SimClient sim{kSimulator};
  ScriptedPrompt prompt;
  VirtualClock clock;
  CPICVortang link{prompt, clock, DriverLookup{{kSimulator}}};
};

// Encoding 512 table reads (20,480 samples).
void BM_QueueTableReads(benchmark::State& state) {
  ScriptedPrompt prompt;
  VirtualClock clock;
  CPICVortang link(prompt, clock, DriverLookup{});
  link.pinsProgramming = 0x80;
  for (auto _ : state) {
    link.ResetCursors();
    for (int i = 0; i < 512; ++i) link.QueueCommand(9, 0xFF, 0xFF);
    benchmark::DoNotOptimize(link.sampleBuffer[link.sampleWriteCursor - 1]);
  }
  state.SetItemsProcessed(state.iterations() * 512 * 40);
}
BENCHMARK(BM_QueueTableReads);

// Mini programmer: 512 table reads sent at the read-back rate and decoded.
void BM_ReadBack512Bytes(benchmark::State& state) {
  SimulatedLink s({{"programmer", "mini"}, {"target", {{"pinAnswer", 0x5A}}}});
  s.link.Open(kProgrammerDescription, 1);
  s.link.EnterProgrammingMode(0);
  double linkMicros = 0;
  for (auto _ : state) {
    const double before = s.sim.LinkMicros();
    s.link.ResetCursors();
    for (int i = 0; i < 512; ++i) s.link.QueueCommand(9, 0xFF, 0xFF);
    if (s.link.SendSamplesAndDecode() != 1 || s.link.readResultCursor != 512) {
      state.SkipWithError("read-back failed");
    }
    linkMicros = s.sim.LinkMicros() - before;
  }
  state.counters["link_ms"] = linkMicros / 1000.0;
  state.SetBytesProcessed(state.iterations() * 512);
}
BENCHMARK(BM_ReadBack512Bytes)->Unit(benchmark::kMillisecond);

// Full programmer: open with the firmware handshake, then close.
void BM_OpenAndHandshake(benchmark::State& state) {
  SimulatedLink s(nlohmann::json::object());
  double linkMicros = 0;
  for (auto _ : state) {
    const double before = s.sim.LinkMicros();
    if (s.link.Open(kProgrammerDescription, 0) != 1) state.SkipWithError("open failed");
    s.link.Close();
    linkMicros = s.sim.LinkMicros() - before;
  }
  state.counters["link_ms"] = linkMicros / 1000.0;
}
BENCHMARK(BM_OpenAndHandshake)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
