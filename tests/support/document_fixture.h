#pragma once
// A document bound to the simulated programmer: the real link loads libvelmora-sim.so, tests
// configure it through the tests' simulator client, run a family's commands as a front end
// would, and read back the log without time stamps, the captions and phases the bar went
// through, and the transcript.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

#include "engine/cqel_doc.h"
#include "families/family_registry.h"
#include "link/pic_vortang.h"
#include "memory/intel_hex.h"
#include "memory/memory_image.h"
#include "platform/clock.h"
#include "platform/user_prompt.h"
#include "support/scratch_directory.h"
#include "support/sim_fixture.h"

namespace velmora::testing {

inline const std::string kHexDir = VELMORA_BINARY_DIR "/test-data/engine/";

// A log line without its time stamp ("" for the blank line).
inline std::string WithoutStamp(const std::string& line) {
  if (line == "   ") return "";
  const bool stamped = line.size() >= 14 && line[2] == ':' && line[5] == ':' && line[8] == ':' &&
                       line.compare(11, 3, "   ") == 0;
  return stamped ? line.substr(14) : line;
}

class DocumentSimTest : public SimFixture {
 protected:
  void SetUp() override {
    SimFixture::SetUp();
    dir_ = ScratchDirectory("velmora-engine-");
  }
  void TearDown() override {
    doc_.reset();
    std::filesystem::remove_all(dir_);
  }

  // Starts the simulator afresh and builds a new document on it.
  void Start(const std::string& device, bool mini = false,
             nlohmann::json extra = nlohmann::json::object()) {
    doc_.reset();
    nlohmann::json scenario = {{"programmer", mini ? "mini" : "full"}, {"device", device}};
    scenario.update(extra);
    ConfigureSimulator(scenario);
    doc_ = std::make_unique<CqelDoc>(
        CqelDocServices{.clock = clock_, .prompt = prompt_, .driverLibraryPath = kSimulatorPath});
    doc_->usesMiniProgrammer = mini ? 1 : 0;
    doc_->progressBar.AddObserver([this](const ProgressBarState& s) {
      if (captions_.empty() || captions_.back() != s.caption) captions_.push_back(s.caption);
      const std::pair<int, int> phase{s.phaseStart, s.phaseSpan};
      if (phases_.empty() || phases_.back() != phase) phases_.push_back(phase);
    });
    ResetRecords();
  }

  // Runs a family's command to its end, as a front end does.
  OperationOutcome Run(const FamilyRow& family, int command) {
    ResetRecords();
    StartFamilyCommand(*doc_, family, command);
    doc_->WaitForOperation();
    return doc_->lastOutcome;
  }

  void ResetRecords() {
    firstLine_ = doc_->operationLog.LineCount();
    // The first notification of a command shows what the bar kept from the one before.
    captions_.clear();
    phases_.clear();
    prompt_.ClearRecords();
  }

  // The log lines of the last command, without time stamps.
  std::vector<std::string> Log() const {
    const std::vector<std::string> lines = doc_->operationLog.Lines();
    std::vector<std::string> texts;
    for (size_t i = firstLine_; i < lines.size(); ++i) texts.push_back(WithoutStamp(lines[i]));
    return texts;
  }

  std::string HexFile(const std::string& name) const { return kHexDir + name + ".hex"; }

  // Loads a HEX file into a fresh image with the device's descriptor.
  std::unique_ptr<CMCUMemoryArchitecture> LoadImage(const std::string& path) {
    auto image = std::make_unique<CMCUMemoryArchitecture>();
    EXPECT_EQ(ReadHexFile(*image, path, prompt_), 1) << path;
    return image;
  }

  // Writes `image` as a HEX file in the test's directory.
  std::string SaveImage(const CMCUMemoryArchitecture& image, const std::string& name,
                        int32_t programSize, int32_t eepromSize) {
    CMCUMemoryArchitecture copy;
    copy.CopyFrom(image);
    copy.programSize = programSize;
    copy.eepromSize = eepromSize;
    const std::string path = (dir_ / name).string();
    EXPECT_EQ(WriteHexFile(path, copy, 0, prompt_), 1);
    return path;
  }

  VirtualClock clock_;
  ScriptedPrompt prompt_;
  std::unique_ptr<CqelDoc> doc_;
  std::filesystem::path dir_;
  size_t firstLine_ = 0;
  std::vector<std::string> captions_;
  std::vector<std::pair<int, int>> phases_;
};

}  // namespace velmora::testing
