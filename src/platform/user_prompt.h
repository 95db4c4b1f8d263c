#pragma once
// User-prompt seam: every message box, question and file dialog of the core goes through this
// interface. The GUI shows real dialogs (on the GUI thread, also when asked from a worker), the
// CLI answers from its options, and tests script the answers and record what was asked.
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace velmora {

// Message box style bits; the values follow the classic message-box flags so that styles
// read the same everywhere.
namespace mb {
constexpr uint32_t kOk = 0x0;
constexpr uint32_t kOkCancel = 0x1;
constexpr uint32_t kYesNoCancel = 0x3;
constexpr uint32_t kYesNo = 0x4;
constexpr uint32_t kButtonMask = 0xF;
constexpr uint32_t kIconError = 0x10;
constexpr uint32_t kIconQuestion = 0x20;
constexpr uint32_t kIconWarning = 0x30;
constexpr uint32_t kIconInformation = 0x40;
constexpr uint32_t kIconMask = 0xF0;
constexpr uint32_t kTaskModal = 0x2000;
constexpr uint32_t kSetForeground = 0x10000;
constexpr uint32_t kTopmost = 0x40000;
// The style of error boxes that must show above everything, also from a worker thread.
constexpr uint32_t kErrorAlert = kIconError | kTaskModal | kSetForeground | kTopmost;
constexpr uint32_t kInfoAlert = kIconInformation | kTaskModal | kSetForeground | kTopmost;
}  // namespace mb

enum class Answer { Ok = 1, Cancel = 2, Yes = 6, No = 7 };

// What the "Save Hex" dialog returns when the user confirms it.
struct HexSaveChoice {
  std::string path;
  bool saveEmptyAreas = false;  // "Save empty areas (filled up with 0xFF)"
};

// The "Signature Bytes Missing" dialog's two values; it hands them back whichever way it closes.
struct SignatureBytesEntry {
  std::string signatureText;   // six hex digits, e.g. "1E9602"
  bool doNotAskAgain = false;  // "Do not ask again"
};

class IUserPrompt {
 public:
  virtual ~IUserPrompt() = default;
  virtual Answer MessageBox(const std::string& text, const std::string& caption,
                            uint32_t style) = 0;
  // The HEX save dialog; nullopt when the user cancels.
  virtual std::optional<HexSaveChoice> AskHexSavePath(const std::string& suggestedPath) = 0;
  // Asks for the signature of an ATmega whose signature reads blank. Front ends without a user
  // close it at once: the values come back unchanged.
  virtual SignatureBytesEntry AskSignatureBytes(const SignatureBytesEntry& initial) {
    return initial;
  }
};

// One recorded message box.
struct PromptRecord {
  std::string text;
  std::string caption;
  uint32_t style = 0;
  Answer answer = Answer::Ok;
};

// Answers from a queue, then from a default; records every call. Thread-safe, so operations on
// worker threads can use it.
class ScriptedPrompt final : public IUserPrompt {
 public:
  Answer MessageBox(const std::string& text, const std::string& caption, uint32_t style) override;
  std::optional<HexSaveChoice> AskHexSavePath(const std::string& suggestedPath) override;
  SignatureBytesEntry AskSignatureBytes(const SignatureBytesEntry& initial) override;

  void QueueAnswer(Answer answer);
  // Used for questions when the queue is empty; OK-only boxes always answer Ok.
  void SetDefaultAnswer(Answer answer);
  void SetHexSaveChoice(std::optional<HexSaveChoice> choice);
  // What the signature dialog hands back; without one it hands back what it was shown.
  void SetSignatureBytesEntry(std::optional<SignatureBytesEntry> entry);

  std::vector<PromptRecord> Records() const;
  std::vector<std::string> SuggestedSavePaths() const;
  // The entries the signature dialog was shown with, in order.
  std::vector<SignatureBytesEntry> SignatureRequests() const;
  void ClearRecords();

 private:
  mutable std::mutex mutex_;
  std::deque<Answer> queued_;
  Answer default_ = Answer::No;
  std::optional<HexSaveChoice> hexSave_;
  std::vector<PromptRecord> records_;
  std::vector<std::string> savePaths_;
  std::optional<SignatureBytesEntry> signatureEntry_;
  std::vector<SignatureBytesEntry> signatureRequests_;
};

// Picks the answer a box with the given style allows, for non-interactive front ends:
// `preferYes` answers Yes/OK, otherwise No/Cancel (OK-only boxes always answer Ok).
Answer NonInteractiveAnswer(uint32_t style, bool preferYes);

}  // namespace velmora
