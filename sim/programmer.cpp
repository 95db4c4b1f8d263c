#include "programmer.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "hex_image.h"
#include "targets.h"

namespace velmora::sim {

namespace {

constexpr uint32_t kFirmwareBaud = 1'250'000;
constexpr uint8_t kDataPin = 0x04;
// D0 and D1 (TXD and RXD) are inputs in bit-bang mode and idle high.
constexpr uint8_t kIdleInputs = 0x03;

nlohmann::json ReadJsonFile(const std::string& path) {
  std::ifstream in(path);
  if (!in) throw std::runtime_error("cannot read " + path);
  try {
    return nlohmann::json::parse(in);
  } catch (const nlohmann::json::exception& e) {
    throw std::runtime_error(path + ": " + e.what());
  }
}

// An exclusive lock on `path` (created when missing); waits while another process holds it.
int LockFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) throw std::runtime_error("cannot open " + path + ": " + std::strerror(errno));
  while (::flock(fd, LOCK_EX) != 0) {
    if (errno != EINTR) {
      ::close(fd);
      throw std::runtime_error("cannot lock " + path + ": " + std::strerror(errno));
    }
  }
  return fd;
}

// Whole or not at all: a reader never sees a half-written file.
void WriteFileAtomically(const std::string& path, const std::string& text) {
  const std::string temporary = path + "." + std::to_string(::getpid()) + ".tmp";
  {
    std::ofstream out(temporary, std::ios::trunc);
    out << text << "\n";
    if (!out.flush()) {
      std::filesystem::remove(temporary);
      return;
    }
  }
  std::error_code error;
  std::filesystem::rename(temporary, path, error);
  if (error) std::filesystem::remove(temporary, error);
}

}  // namespace

SimulatedProgrammer::SimulatedProgrammer(Scenario scenario) : scenario_(std::move(scenario)) {
  if (!scenario_.device.empty() && !KnownDevice(scenario_.device)) {
    throw std::runtime_error("unknown device \"" + scenario_.device + "\": not in the catalogue");
  }
  const TargetModel& model = ModelFor(scenario_.device);
  family_ = model.name;
  target_ = model.make(scenario_.device, scenario_.target);
  firmware_ = std::make_unique<FirmwareModel>(scenario_, *target_, *this);
  noLines_.externalPower = scenario_.externalPower;
  budget_ = scenario_.faults.unplugAfterBytes;

  if (LoadStateFile()) return;
  if (!scenario_.memory.empty() && scenario_.memory != "blank") {
    target_->LoadImage(ReadHexFile(scenario_.memory));
  }
}

SimulatedProgrammer::~SimulatedProgrammer() {
  if (stateLock_ >= 0) ::close(stateLock_);
}

bool SimulatedProgrammer::LoadStateFile() {
  const auto& state = scenario_.stateFile;
  if (state.empty() || !std::filesystem::exists(state)) return false;
  const nlohmann::json saved = ReadJsonFile(state);
  // The programmer's flash keeps the uploaded script code whatever the target.
  if (saved.contains("algorithmArea")) {
    firmware_->processor().LoadArea(ParseHexBytes(saved["algorithmArea"].get<std::string>()));
  }
  if (saved.value("device", "") == scenario_.device && saved.value("family", "") == family_) {
    target_->LoadState(saved.value("target", nlohmann::json::object()));
    Note("target state loaded from " + state);
    return true;
  }
  Note("state file " + state + " holds another device; starting from the initial memory");
  return false;
}

double SimulatedProgrammer::BitsPerByte() const {
  return 1.0 + port_.wordLength + (port_.parity != FT_PARITY_NONE ? 1 : 0) +
         (port_.stopBits == FT_STOP_BITS_2 ? 2 : 1);
}

double SimulatedProgrammer::MicrosPerSample() const {
  // The bit-bang clock runs at 16 x the baud rate.
  return 1e6 / (16.0 * std::max<uint32_t>(1, port_.baud));
}

uint32_t SimulatedProgrammer::Consume(uint32_t count) {
  if (!budget_) return count;
  const auto passed = static_cast<uint32_t>(std::min<uint64_t>(count, *budget_));
  *budget_ -= passed;
  return passed;
}

const ProgrammerLines& SimulatedProgrammer::Lines() const {
  return scenario_.programmer == Scenario::Programmer::kFull ? firmware_->Lines() : noLines_;
}

void SimulatedProgrammer::Note(const std::string& text) {
  transcript_.Add({{"op", "note"}, {"text", text}}, time_.Total());
}

void SimulatedProgrammer::RecordCommand(std::span<const uint8_t> bytes, const std::string& name) {
  const size_t index = transcript_.Add({{"op", "command"}, {"name", name}}, time_.Total());
  transcript_.SetBytes(transcript_.At(index), bytes);
}

void SimulatedProgrammer::RecordTraceOutput(std::span<const uint8_t> bytes) {
  const size_t index = transcript_.Add({{"op", "trace"}}, time_.Total());
  transcript_.SetBytes(transcript_.At(index), bytes);
}

void SimulatedProgrammer::PumpFirmware() {
  if (!open_ || !hostMillis_ || scenario_.programmer != Scenario::Programmer::kFull) return;
  firmware_->Pump(hostMillis_());
}

void SimulatedProgrammer::Reply(std::span<const uint8_t> bytes) {
  readQueue_.insert(readQueue_.end(), bytes.begin(), bytes.end());
  time_.wireMicros += bytes.size() * BitsPerByte() * 1e6 / port_.baud;
}

template <typename Apply>
FT_STATUS SimulatedProgrammer::Call(FT_HANDLE handle, const char* name, nlohmann::json args,
                                    Apply apply) {
  if (handle != this || !open_) return FT_INVALID_HANDLE;
  PumpFirmware();
  lastStatusEvent_.reset();
  const FT_STATUS status = Unplugged() ? FT_IO_ERROR : FT_OK;
  if (status == FT_OK) apply();
  transcript_.Add({{"op", "call"}, {"call", name}, {"args", std::move(args)}, {"status", status}},
                  time_.Total());
  return status;
}

FT_STATUS SimulatedProgrammer::OpenEx(void* argument, uint32_t flags, FT_HANDLE* handle) {
  if (!handle) return FT_INVALID_PARAMETER;
  const std::string description =
      argument && flags == FT_OPEN_BY_DESCRIPTION ? static_cast<const char*>(argument) : "";
  FT_STATUS status = FT_OK;
  if (open_) {
    status = FT_DEVICE_NOT_OPENED;  // already in use
  } else if (scenario_.faults.noProgrammer || Unplugged() || description != scenario_.description) {
    status = FT_DEVICE_NOT_FOUND;
  }
  transcript_.Add({{"op", "open"}, {"description", description}, {"status", status}},
                  time_.Total());
  if (status != FT_OK) return status;
  if (!scenario_.stateFile.empty() && stateLock_ < 0) {
    // What another process saved since this one started counts from here.
    stateLock_ = LockFile(scenario_.stateFile + ".lock");
    LoadStateFile();
  }
  open_ = true;
  port_ = Port{};
  readQueue_.clear();
  *handle = this;
  return FT_OK;
}

FT_STATUS SimulatedProgrammer::Close(FT_HANDLE handle) {
  if (handle != this || !open_) return FT_INVALID_HANDLE;
  transcript_.Add({{"op", "close"}}, time_.Total());
  lastStatusEvent_.reset();
  open_ = false;
  readQueue_.clear();
  SaveFiles();
  if (stateLock_ >= 0) {
    ::close(stateLock_);  // releases the lock
    stateLock_ = -1;
  }
  return FT_OK;
}

void SimulatedProgrammer::SaveFiles() {
  if (!scenario_.stateFile.empty()) WriteFileAtomically(scenario_.stateFile, StateJson().dump(1));
  if (!scenario_.transcriptFile.empty()) {
    WriteFileAtomically(scenario_.transcriptFile, TranscriptJson().dump(1));
  }
}

FT_STATUS SimulatedProgrammer::GetStatus(FT_HANDLE handle, uint32_t* rxBytes, uint32_t* txBytes,
                                         uint32_t* events) {
  if (handle != this || !open_) return FT_INVALID_HANDLE;
  if (!rxBytes || !txBytes || !events) return FT_INVALID_PARAMETER;
  PumpFirmware();
  const FT_STATUS status = Unplugged() ? FT_IO_ERROR : FT_OK;
  const auto queued = static_cast<uint32_t>(status == FT_OK ? readQueue_.size() : 0);
  *rxBytes = queued;
  *txBytes = 0;
  *events = 0;
  // A trace reader polls every few milliseconds: a run of polls that find the same queue is one
  // event with a count.
  if (lastStatusEvent_ && *lastStatusEvent_ + 1 == transcript_.Size()) {
    nlohmann::json& last = transcript_.At(*lastStatusEvent_);
    if (last["rxBytes"] == queued && last["status"] == status) {
      last["polls"] = last["polls"].get<uint64_t>() + 1;
      return status;
    }
  }
  lastStatusEvent_ = transcript_.Add({{"op", "call"},
                                      {"call", "FT_GetStatus"},
                                      {"args", nlohmann::json::array()},
                                      {"status", status},
                                      {"rxBytes", queued},
                                      {"polls", 1}},
                                     time_.Total());
  return status;
}

FT_STATUS SimulatedProgrammer::Purge(FT_HANDLE handle, uint32_t mask) {
  return Call(handle, "FT_Purge", {mask}, [&] {
    if (mask & FT_PURGE_RX) readQueue_.clear();
  });
}

FT_STATUS SimulatedProgrammer::ResetDevice(FT_HANDLE handle) {
  return Call(handle, "FT_ResetDevice", nlohmann::json::array(), [&] { readQueue_.clear(); });
}

FT_STATUS SimulatedProgrammer::SetBaudRate(FT_HANDLE handle, uint32_t baud) {
  if (baud == 0) return FT_INVALID_BAUD_RATE;
  return Call(handle, "FT_SetBaudRate", {baud}, [&] { port_.baud = baud; });
}

FT_STATUS SimulatedProgrammer::SetBitMode(FT_HANDLE handle, uint8_t mask, uint8_t mode) {
  return Call(handle, "FT_SetBitMode", {mask, mode}, [&] {
    port_.bitMask = mask;
    port_.bitMode = mode;
  });
}

FT_STATUS SimulatedProgrammer::SetDataCharacteristics(FT_HANDLE handle, uint8_t wordLength,
                                                      uint8_t stopBits, uint8_t parity) {
  return Call(handle, "FT_SetDataCharacteristics", {wordLength, stopBits, parity}, [&] {
    port_.wordLength = wordLength;
    port_.stopBits = stopBits;
    port_.parity = parity;
  });
}

FT_STATUS SimulatedProgrammer::SetFlowControl(FT_HANDLE handle, uint16_t flow, uint8_t xon,
                                              uint8_t xoff) {
  return Call(handle, "FT_SetFlowControl", {flow, xon, xoff}, [&] { port_.flowControl = flow; });
}

FT_STATUS SimulatedProgrammer::SetLatencyTimer(FT_HANDLE handle, uint8_t milliseconds) {
  return Call(handle, "FT_SetLatencyTimer", {milliseconds}, [&] { port_.latency = milliseconds; });
}

FT_STATUS SimulatedProgrammer::SetRts(FT_HANDLE handle) {
  return Call(handle, "FT_SetRts", nlohmann::json::array(), [] {});
}

FT_STATUS SimulatedProgrammer::SetTimeouts(FT_HANDLE handle, uint32_t readTimeout,
                                           uint32_t writeTimeout) {
  return Call(handle, "FT_SetTimeouts", {readTimeout, writeTimeout}, [&] {
    port_.readTimeout = readTimeout;
    port_.writeTimeout = writeTimeout;
  });
}

FT_STATUS SimulatedProgrammer::SetUSBParameters(FT_HANDLE handle, uint32_t inSize,
                                                uint32_t outSize) {
  return Call(handle, "FT_SetUSBParameters", {inSize, outSize}, [] {});
}

FT_STATUS SimulatedProgrammer::Write(FT_HANDLE handle, const void* buffer, uint32_t count,
                                     uint32_t* written) {
  if (handle != this || !open_) return FT_INVALID_HANDLE;
  if (!buffer && count) return FT_INVALID_PARAMETER;
  PumpFirmware();
  lastStatusEvent_.reset();
  const uint32_t passed = Unplugged() ? 0 : Consume(count);
  const FT_STATUS status = passed < count ? FT_IO_ERROR : FT_OK;
  const std::span<const uint8_t> bytes(static_cast<const uint8_t*>(buffer), passed);
  const size_t index =
      transcript_.Add({{"op", "write"}, {"written", passed}, {"status", status}}, time_.Total());
  transcript_.SetBytes(transcript_.At(index), bytes);
  if (BitBang()) {
    ReceiveSamples(bytes);
  } else {
    ReceiveSerial(bytes);
  }
  if (written) *written = passed;
  if (status != FT_OK) Note("cable pulled");
  return status;
}

void SimulatedProgrammer::ReceiveSerial(std::span<const uint8_t> bytes) {
  time_.wireMicros += bytes.size() * BitsPerByte() * 1e6 / port_.baud;
  if (scenario_.programmer != Scenario::Programmer::kFull || bytes.empty()) return;
  // The firmware's UART runs at 1,250,000 baud with 8 data bits and no parity.
  if (port_.baud != kFirmwareBaud || port_.wordLength != FT_BITS_8 ||
      port_.parity != FT_PARITY_NONE) {
    Note("garbled: the firmware cannot read bytes at this baud rate or format");
    return;
  }
  for (uint8_t byte : bytes) firmware_->Receive(byte);
  firmware_->RunProcessor();
}

void SimulatedProgrammer::ReceiveSamples(std::span<const uint8_t> samples) {
  time_.wireMicros += samples.size() * MicrosPerSample();
  const bool targetOnPins = scenario_.programmer == Scenario::Programmer::kMini;
  for (uint8_t sample : samples) {
    const uint8_t outputs = sample & port_.bitMask;
    uint8_t captured = outputs | (kIdleInputs & ~port_.bitMask);
    if (targetOnPins) {
      const int pgd = target_->OnPinSample(outputs, *this);
      if (pgd >= 0) captured = static_cast<uint8_t>((captured & ~kDataPin) | (pgd ? kDataPin : 0));
    }
    if (CaptureLost()) continue;
    readQueue_.push_back(captured);
  }
}

bool SimulatedProgrammer::CaptureLost() {
  const Faults& faults = scenario_.faults;
  const uint64_t index = samplesCaptured_++;
  if (!faults.dropCapturedAfter || index < *faults.dropCapturedAfter) return false;
  const bool lost = (index - *faults.dropCapturedAfter) % faults.dropCapturedEvery == 0;
  if (lost && index == *faults.dropCapturedAfter) Note("read-back loses samples from here on");
  return lost;
}

FT_STATUS SimulatedProgrammer::Read(FT_HANDLE handle, void* buffer, uint32_t count,
                                    uint32_t* returned) {
  if (handle != this || !open_) return FT_INVALID_HANDLE;
  if (!buffer && count) return FT_INVALID_PARAMETER;
  PumpFirmware();
  lastStatusEvent_.reset();
  if (scenario_.programmer == Scenario::Programmer::kFull && !BitBang()) {
    firmware_->RunProcessor();
  }
  const bool wasUnplugged = Unplugged();
  const auto available = static_cast<uint32_t>(std::min<size_t>(count, readQueue_.size()));
  const uint32_t passed = wasUnplugged ? 0 : Consume(available);
  std::copy_n(readQueue_.begin(), passed, static_cast<uint8_t*>(buffer));
  readQueue_.erase(readQueue_.begin(), readQueue_.begin() + passed);

  FT_STATUS status = FT_OK;
  if (passed < count && (wasUnplugged || Unplugged())) {
    status = FT_IO_ERROR;
  } else if (passed < count && !BitBang()) {
    // Serial replies: the read waits for its time-out. Bit-bang reads return what the FT232
    // has captured so far.
    if (port_.readTimeout == 0) {
      ++foreverWaits_;
    } else {
      time_.waitMicros += port_.readTimeout * 1000.0;
    }
  }
  if (passed > 0) time_.latencyMicros += port_.latency * 1000.0;
  const size_t index =
      transcript_.Add({{"op", "read"}, {"requested", count}, {"status", status}}, time_.Total());
  transcript_.SetBytes(transcript_.At(index),
                       std::span<const uint8_t>(static_cast<const uint8_t*>(buffer), passed));
  if (status == FT_OK && passed < count && !BitBang() && port_.readTimeout == 0) {
    Note("read would wait for ever: no time-out set and the reply does not come");
  }
  if (returned) *returned = passed;
  // Room in the PC's buffer again: code waiting on flow control goes on.
  if (passed > 0 && scenario_.programmer == Scenario::Programmer::kFull && !BitBang()) {
    firmware_->RunProcessor();
  }
  return status;
}

nlohmann::json SimulatedProgrammer::TranscriptJson() const {
  nlohmann::json json = transcript_.ToJson(time_, foreverWaits_, open_);
  json["family"] = family_;
  json["device"] = scenario_.device;
  return json;
}

nlohmann::json SimulatedProgrammer::StateJson() const {
  nlohmann::json state = {
      {"device", scenario_.device}, {"family", family_}, {"target", target_->SaveState()}};
  // The programmer's algorithm area, once script code was uploaded into it.
  const std::vector<uint8_t> area = firmware_->processor().AreaContent();
  if (std::ranges::any_of(area, [](uint8_t b) { return b != 0xFF; })) {
    state["algorithmArea"] = FormatHexBytes(area.data(), area.size());
  }
  return state;
}

}  // namespace velmora::sim
