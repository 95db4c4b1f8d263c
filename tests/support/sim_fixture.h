#pragma once
// The one simulator client of the tests: libvelmora-sim.so as built beside them, loaded through
// the link's loader, configured with a JSON scenario, and read back through its transcript and
// target state. Link, device and document fixtures build on it.
#include <gtest/gtest.h>

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "sim/client/sim_client.h"

namespace velmora::testing {

inline constexpr char kSimulatorPath[] = VELMORA_BINARY_DIR "/bin/libvelmora-sim.so";

// Bytes as the transcript writes them: "0C 41 42".
inline std::string HexText(const std::vector<uint8_t>& bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (uint8_t b : bytes) {
    if (!text.empty()) text += ' ';
    text += kDigits[b >> 4];
    text += kDigits[b & 0xF];
  }
  return text;
}

// Bytes from packed hexadecimal pairs, as the target state holds memories: "0C4142".
inline std::vector<uint8_t> FromHex(const std::string& text) {
  std::vector<uint8_t> bytes(text.size() / 2);
  for (size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = static_cast<uint8_t>(std::stoul(text.substr(2 * i, 2), nullptr, 16));
  }
  return bytes;
}

class SimFixture : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(sim.Loaded()) << "cannot load " << kSimulatorPath; }

  // Starts the simulator afresh; transcript queries look at everything from here on.
  void ConfigureSimulator(const nlohmann::json& scenario) {
    ASSERT_EQ(sim.Configure(scenario.dump()), 0) << sim.LastError();
    mark_ = 0;
  }
  // Later transcript queries look only at events from here on.
  void MarkTranscript() { mark_ = EventCount(); }
  void SetMark(size_t eventIndex) { mark_ = eventIndex; }
  size_t Mark() const { return mark_; }
  size_t EventCount() const { return Transcript()["events"].size(); }

  nlohmann::json Transcript() const { return nlohmann::json::parse(sim.TranscriptJson()); }
  // The target's state as the simulator keeps it between processes.
  nlohmann::json TargetState() const { return nlohmann::json::parse(sim.StateJson())["target"]; }

  // Every event with the given op since the mark.
  std::vector<nlohmann::json> Events(const std::string& op) const {
    std::vector<nlohmann::json> found;
    const nlohmann::json events = Transcript()["events"];
    for (size_t i = mark_; i < events.size(); ++i) {
      if (events[i]["op"] == op) found.push_back(events[i]);
    }
    return found;
  }
  // The "bytes" of every event with the given op since the mark, e.g. every write or command.
  std::vector<std::string> Bytes(const std::string& op) const {
    std::vector<std::string> found;
    for (const auto& event : Events(op)) found.push_back(event.value("bytes", ""));
    return found;
  }
  // The firmware commands received since the mark, each as its command byte and operands.
  std::vector<std::vector<uint8_t>> Commands() const {
    std::vector<std::vector<uint8_t>> commands;
    for (const auto& event : Events("command")) {
      if (!event.contains("bytes")) continue;
      std::vector<uint8_t> bytes;
      const std::string text = event["bytes"];
      for (size_t i = 0; i + 1 < text.size(); i += 3) {
        bytes.push_back(static_cast<uint8_t>(std::stoul(text.substr(i, 2), nullptr, 16)));
      }
      commands.push_back(std::move(bytes));
    }
    return commands;
  }

  sim::SimClient sim{kSimulatorPath};

 private:
  size_t mark_ = 0;
};

}  // namespace velmora::testing
