// libFuzzer target for the Intel HEX reader: any text, with the reader's questions answered Yes
// or No depending on the input, must parse without a memory error or undefined behaviour and
// give 0 or 1.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "memory/intel_hex.h"

namespace {

class FixedAnswerPrompt final : public velmora::IUserPrompt {
 public:
  explicit FixedAnswerPrompt(velmora::Answer answer) : answer_(answer) {}
  velmora::Answer MessageBox(const std::string&, const std::string&, uint32_t style) override {
    return (style & velmora::mb::kButtonMask) == velmora::mb::kOk ? velmora::Answer::Ok : answer_;
  }
  std::optional<velmora::HexSaveChoice> AskHexSavePath(const std::string&) override {
    return std::nullopt;
  }

 private:
  velmora::Answer answer_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // One image for the whole run: clearing 9.6 MB per input would dominate the run time, and the
  // parse does not depend on what the cells held before.
  static velmora::CMCUMemoryArchitecture* image = [] {
    auto* fresh = new velmora::CMCUMemoryArchitecture;
    fresh->Clear();
    return fresh;
  }();
  FixedAnswerPrompt prompt(size % 2 ? velmora::Answer::Yes : velmora::Answer::No);
  const int result =
      velmora::ParseHexText(*image, {reinterpret_cast<const char*>(data), size}, prompt);
  if (result != 0 && result != 1) std::abort();
  return 0;
}
