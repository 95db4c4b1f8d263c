#include "engine/operation_hex_file.h"

#include <algorithm>

#include "memory/intel_hex.h"

namespace velmora {
namespace {

// Passes every question and message on to the document's prompt and keeps the last text, the
// reader's reason (it names the file and the line) when the file did not read.
class RememberingPrompt final : public IUserPrompt {
 public:
  explicit RememberingPrompt(IUserPrompt& inner) : inner_(inner) {}
  Answer MessageBox(const std::string& text, const std::string& caption, uint32_t style) override {
    lastText = text;
    return inner_.MessageBox(text, caption, style);
  }
  std::optional<HexSaveChoice> AskHexSavePath(const std::string& suggestedPath) override {
    return inner_.AskHexSavePath(suggestedPath);
  }
  SignatureBytesEntry AskSignatureBytes(const SignatureBytesEntry& initial) override {
    return inner_.AskSignatureBytes(initial);
  }
  std::string lastText;

 private:
  IUserPrompt& inner_;
};

}  // namespace

bool LoadOperationHexFile(CqelDoc& doc, CMCUMemoryArchitecture& image,
                          const std::string& fileName) {
  RememberingPrompt prompt(doc.Prompt());
  if (ReadHexFile(image, fileName, prompt)) return true;
  std::string reason = prompt.lastText.empty() ? "\"" + fileName + "\"" : prompt.lastText;
  std::replace(reason.begin(), reason.end(), '\n', ' ');
  doc.LogLine("+++ HEX file not loaded: " + reason + " +++");
  // The last frame of the failure display, without blinking: this runs on the user's thread.
  doc.progressBar.Update([](ProgressBarState& s) {
    s.barColour = colour::kRed;
    s.filledTextColour = colour::kWhite;
    s.emptyTextColour = colour::kWhite;
    s.caption = "Fail";
    s.position = s.maximum;
  });
  doc.lastOperationFailed = 1;
  return false;
}

}  // namespace velmora
