// The exported entry points of libvelmora-sim.so: the fifteen FT_* functions of the driver
// and the simulator's own configuration and inspection functions. One simulated programmer
// per process, guarded by one lock.
#include "velmora_sim.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <type_traits>

#include "link/d2xx.h"
#include "programmer.h"

#define VELMORA_SIM_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

using velmora::sim::ParseScenario;
using velmora::sim::SimulatedProgrammer;

std::mutex mutex;
std::unique_ptr<SimulatedProgrammer> simulator;
std::string lastError;
std::string transcriptText;
std::string stateText;
VelmoraSim_TickSource hostClock = nullptr;
void* hostClockContext = nullptr;

uint32_t HostMillis() {
  if (hostClock) return hostClock(hostClockContext);
  using namespace std::chrono;
  return static_cast<uint32_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

std::unique_ptr<SimulatedProgrammer> Build(const nlohmann::json& json) {
  auto programmer = std::make_unique<SimulatedProgrammer>(ParseScenario(json));
  programmer->SetHostClock(&HostMillis);
  return programmer;
}

// The simulator, configured from VELMORA_SIM_SCENARIO (or the defaults) on first use.
SimulatedProgrammer* Simulator() {
  if (simulator) return simulator.get();
  try {
    nlohmann::json json = nlohmann::json::object();
    if (const char* path = std::getenv("VELMORA_SIM_SCENARIO"); path && *path) {
      std::ifstream in(path);
      if (!in) throw std::runtime_error(std::string("cannot read scenario ") + path);
      json = nlohmann::json::parse(in);
    }
    simulator = Build(json);
  } catch (const std::exception& e) {
    lastError = e.what();
    std::fprintf(stderr, "velmora-sim: %s\n", e.what());
  }
  return simulator.get();
}

template <typename Method, typename... Args>
FT_STATUS Forward(FT_HANDLE handle, Method method, Args... args) {
  std::lock_guard lock(mutex);
  SimulatedProgrammer* sim = Simulator();
  if (!sim) return FT_INVALID_HANDLE;
  return (sim->*method)(handle, args...);
}

}  // namespace

VELMORA_SIM_EXPORT FT_STATUS FT_OpenEx(void* argument, uint32_t flags, FT_HANDLE* handle) {
  std::lock_guard lock(mutex);
  SimulatedProgrammer* sim = Simulator();
  return sim ? sim->OpenEx(argument, flags, handle) : FT_DEVICE_NOT_FOUND;
}

VELMORA_SIM_EXPORT FT_STATUS FT_Close(FT_HANDLE handle) {
  return Forward(handle, &SimulatedProgrammer::Close);
}

VELMORA_SIM_EXPORT FT_STATUS FT_GetStatus(FT_HANDLE handle, uint32_t* rxBytes, uint32_t* txBytes,
                                          uint32_t* eventStatus) {
  return Forward(handle, &SimulatedProgrammer::GetStatus, rxBytes, txBytes, eventStatus);
}

VELMORA_SIM_EXPORT FT_STATUS FT_Purge(FT_HANDLE handle, uint32_t mask) {
  return Forward(handle, &SimulatedProgrammer::Purge, mask);
}

VELMORA_SIM_EXPORT FT_STATUS FT_Read(FT_HANDLE handle, void* buffer, uint32_t bytesToRead,
                                     uint32_t* bytesReturned) {
  return Forward(handle, &SimulatedProgrammer::Read, buffer, bytesToRead, bytesReturned);
}

VELMORA_SIM_EXPORT FT_STATUS FT_ResetDevice(FT_HANDLE handle) {
  return Forward(handle, &SimulatedProgrammer::ResetDevice);
}

VELMORA_SIM_EXPORT FT_STATUS FT_SetBaudRate(FT_HANDLE handle, uint32_t baudRate) {
  return Forward(handle, &SimulatedProgrammer::SetBaudRate, baudRate);
}

VELMORA_SIM_EXPORT FT_STATUS FT_SetBitMode(FT_HANDLE handle, uint8_t mask, uint8_t mode) {
  return Forward(handle, &SimulatedProgrammer::SetBitMode, mask, mode);
}

VELMORA_SIM_EXPORT FT_STATUS FT_SetDataCharacteristics(FT_HANDLE handle, uint8_t wordLength,
                                                       uint8_t stopBits, uint8_t parity) {
  return Forward(handle, &SimulatedProgrammer::SetDataCharacteristics, wordLength, stopBits,
                 parity);
}

VELMORA_SIM_EXPORT FT_STATUS FT_SetFlowControl(FT_HANDLE handle, uint16_t flowControl, uint8_t xon,
                                               uint8_t xoff) {
  return Forward(handle, &SimulatedProgrammer::SetFlowControl, flowControl, xon, xoff);
}

VELMORA_SIM_EXPORT FT_STATUS FT_SetLatencyTimer(FT_HANDLE handle, uint8_t timer) {
  return Forward(handle, &SimulatedProgrammer::SetLatencyTimer, timer);
}

VELMORA_SIM_EXPORT FT_STATUS FT_SetRts(FT_HANDLE handle) {
  return Forward(handle, &SimulatedProgrammer::SetRts);
}

VELMORA_SIM_EXPORT FT_STATUS FT_SetTimeouts(FT_HANDLE handle, uint32_t readTimeout,
                                            uint32_t writeTimeout) {
  return Forward(handle, &SimulatedProgrammer::SetTimeouts, readTimeout, writeTimeout);
}

VELMORA_SIM_EXPORT FT_STATUS FT_SetUSBParameters(FT_HANDLE handle, uint32_t inTransferSize,
                                                 uint32_t outTransferSize) {
  return Forward(handle, &SimulatedProgrammer::SetUSBParameters, inTransferSize, outTransferSize);
}

VELMORA_SIM_EXPORT FT_STATUS FT_Write(FT_HANDLE handle, void* buffer, uint32_t bytesToWrite,
                                      uint32_t* bytesWritten) {
  return Forward(handle, &SimulatedProgrammer::Write, static_cast<const void*>(buffer),
                 bytesToWrite, bytesWritten);
}

// The exports must match the types the link resolves them as.
static_assert(std::is_same_v<decltype(&FT_Close), FT_Close_t>);
static_assert(std::is_same_v<decltype(&FT_GetStatus), FT_GetStatus_t>);
static_assert(std::is_same_v<decltype(&FT_OpenEx), FT_OpenEx_t>);
static_assert(std::is_same_v<decltype(&FT_Purge), FT_Purge_t>);
static_assert(std::is_same_v<decltype(&FT_Read), FT_Read_t>);
static_assert(std::is_same_v<decltype(&FT_ResetDevice), FT_ResetDevice_t>);
static_assert(std::is_same_v<decltype(&FT_SetBaudRate), FT_SetBaudRate_t>);
static_assert(std::is_same_v<decltype(&FT_SetBitMode), FT_SetBitMode_t>);
static_assert(std::is_same_v<decltype(&FT_SetDataCharacteristics), FT_SetDataCharacteristics_t>);
static_assert(std::is_same_v<decltype(&FT_SetFlowControl), FT_SetFlowControl_t>);
static_assert(std::is_same_v<decltype(&FT_SetLatencyTimer), FT_SetLatencyTimer_t>);
static_assert(std::is_same_v<decltype(&FT_SetRts), FT_SetRts_t>);
static_assert(std::is_same_v<decltype(&FT_SetTimeouts), FT_SetTimeouts_t>);
static_assert(std::is_same_v<decltype(&FT_SetUSBParameters), FT_SetUSBParameters_t>);
static_assert(std::is_same_v<decltype(&FT_Write), FT_Write_t>);

VELMORA_SIM_EXPORT int VelmoraSim_Configure(const char* scenarioJson) {
  std::lock_guard lock(mutex);
  try {
    simulator = Build(nlohmann::json::parse(scenarioJson ? scenarioJson : "{}"));
    lastError.clear();
    return 0;
  } catch (const std::exception& e) {
    lastError = e.what();
    return -1;
  }
}

VELMORA_SIM_EXPORT void VelmoraSim_Reset(void) {
  std::lock_guard lock(mutex);
  simulator.reset();
  lastError.clear();
}

VELMORA_SIM_EXPORT const char* VelmoraSim_TranscriptJson(void) {
  std::lock_guard lock(mutex);
  SimulatedProgrammer* sim = Simulator();
  transcriptText = sim ? sim->TranscriptJson().dump() : "{}";
  return transcriptText.c_str();
}

VELMORA_SIM_EXPORT int VelmoraSim_WriteTranscript(const char* path) {
  std::lock_guard lock(mutex);
  SimulatedProgrammer* sim = Simulator();
  if (!sim || !path) return -1;
  std::ofstream out(path);
  out << sim->TranscriptJson().dump(1) << "\n";
  return out ? 0 : -1;
}

VELMORA_SIM_EXPORT double VelmoraSim_LinkMicros(void) {
  std::lock_guard lock(mutex);
  SimulatedProgrammer* sim = Simulator();
  return sim ? sim->LinkMicros() : 0.0;
}

VELMORA_SIM_EXPORT const char* VelmoraSim_StateJson(void) {
  std::lock_guard lock(mutex);
  SimulatedProgrammer* sim = Simulator();
  stateText = sim ? sim->StateJson().dump() : "{}";
  return stateText.c_str();
}

VELMORA_SIM_EXPORT const char* VelmoraSim_LastError(void) {
  std::lock_guard lock(mutex);
  return lastError.c_str();
}

VELMORA_SIM_EXPORT void VelmoraSim_SetHostClock(VelmoraSim_TickSource source, void* context) {
  std::lock_guard lock(mutex);
  hostClock = source;
  hostClockContext = context;
}
