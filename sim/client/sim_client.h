#pragma once
// Loads libvelmora-sim.so by path and resolves its configuration and inspection entry points,
// for tests and front ends that drive the simulated programmer. The library is the same one
// the link binds, so both see one simulator. Front ends build their scenario here too.
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "link/dynamic_library.h"
#include "platform/clock.h"
#include "sim/velmora_sim.h"

namespace velmora::sim {

class SimClient {
 public:
  explicit SimClient(const std::string& libraryPath) : library_(DynamicLibrary::Load(libraryPath)) {
    Resolve("VelmoraSim_Configure", configure_);
    Resolve("VelmoraSim_Reset", reset_);
    Resolve("VelmoraSim_TranscriptJson", transcript_);
    Resolve("VelmoraSim_WriteTranscript", writeTranscript_);
    Resolve("VelmoraSim_LinkMicros", linkMicros_);
    Resolve("VelmoraSim_StateJson", state_);
    Resolve("VelmoraSim_LastError", lastError_);
    Resolve("VelmoraSim_SetHostClock", setHostClock_);
  }

  // True when the library loaded and exports every entry point.
  bool Loaded() const {
    return configure_ && reset_ && transcript_ && writeTranscript_ && linkMicros_ && state_ &&
           lastError_ && setHostClock_;
  }
  // 0 on success; LastError() tells what was wrong with the scenario.
  int Configure(const std::string& scenarioJson) const { return configure_(scenarioJson.c_str()); }
  void Reset() const { reset_(); }
  std::string TranscriptJson() const { return transcript_(); }
  int WriteTranscript(const std::string& path) const { return writeTranscript_(path.c_str()); }
  double LinkMicros() const { return linkMicros_(); }
  std::string StateJson() const { return state_(); }
  std::string LastError() const { return lastError_(); }
  // The target's trace output follows `clock` (nullptr: the system's clock); it must outlive
  // its use or be replaced first.
  void SetHostClock(IClock* clock) const {
    if (!clock) {
      setHostClock_(nullptr, nullptr);
      return;
    }
    setHostClock_([](void* c) { return static_cast<IClock*>(c)->TickCount(); }, clock);
  }

 private:
  template <typename Function>
  void Resolve(const char* name, Function& slot) {
    slot = reinterpret_cast<Function>(library_.Symbol(name));
  }

  DynamicLibrary library_;
  VelmoraSim_Configure_t configure_ = nullptr;
  VelmoraSim_Reset_t reset_ = nullptr;
  VelmoraSim_TranscriptJson_t transcript_ = nullptr;
  VelmoraSim_WriteTranscript_t writeTranscript_ = nullptr;
  VelmoraSim_LinkMicros_t linkMicros_ = nullptr;
  VelmoraSim_StateJson_t state_ = nullptr;
  VelmoraSim_LastError_t lastError_ = nullptr;
  VelmoraSim_SetHostClock_t setHostClock_ = nullptr;
};

// Reads a scenario file (JSON); throws std::runtime_error naming the file when it does not read.
nlohmann::json ReadScenarioFile(const std::string& path);

// The scenario of a front end's simulated programmer: the scenario file (or, without one, the
// file VELMORA_SIM_SCENARIO names), with `device` naming the target when given and `mini`
// choosing the mini programmer unless the file names a programmer.
nlohmann::json FrontEndScenario(const std::string& scenarioFile, const std::string& device,
                                bool mini);

// The simulator library for the front ends: libvelmora-sim.so beside the running program (the
// build tree), else the bare name for the loader's search (an installed program).
std::string SimulatorLibrary();

// Loads the simulator and configures it with `scenario`; throws std::runtime_error with the
// reason when it cannot.
std::unique_ptr<SimClient> StartSimulator(const std::string& libraryPath,
                                          const nlohmann::json& scenario);

}  // namespace velmora::sim
