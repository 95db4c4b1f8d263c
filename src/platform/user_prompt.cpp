#include "platform/user_prompt.h"

namespace velmora {

Answer NonInteractiveAnswer(uint32_t style, bool preferYes) {
  switch (style & mb::kButtonMask) {
    case mb::kYesNo:
    case mb::kYesNoCancel:
      return preferYes ? Answer::Yes : Answer::No;
    case mb::kOkCancel:
      return preferYes ? Answer::Ok : Answer::Cancel;
    default:
      return Answer::Ok;
  }
}

Answer ScriptedPrompt::MessageBox(const std::string& text, const std::string& caption,
                                  uint32_t style) {
  std::lock_guard lock(mutex_);
  Answer answer = Answer::Ok;
  if ((style & mb::kButtonMask) != mb::kOk) {
    if (!queued_.empty()) {
      answer = queued_.front();
      queued_.pop_front();
    } else {
      answer = NonInteractiveAnswer(style, default_ == Answer::Yes || default_ == Answer::Ok);
    }
  }
  records_.push_back({text, caption, style, answer});
  return answer;
}

std::optional<HexSaveChoice> ScriptedPrompt::AskHexSavePath(const std::string& suggestedPath) {
  std::lock_guard lock(mutex_);
  savePaths_.push_back(suggestedPath);
  return hexSave_;
}

SignatureBytesEntry ScriptedPrompt::AskSignatureBytes(const SignatureBytesEntry& initial) {
  std::lock_guard lock(mutex_);
  signatureRequests_.push_back(initial);
  return signatureEntry_.value_or(initial);
}

void ScriptedPrompt::QueueAnswer(Answer answer) {
  std::lock_guard lock(mutex_);
  queued_.push_back(answer);
}

void ScriptedPrompt::SetDefaultAnswer(Answer answer) {
  std::lock_guard lock(mutex_);
  default_ = answer;
}

void ScriptedPrompt::SetHexSaveChoice(std::optional<HexSaveChoice> choice) {
  std::lock_guard lock(mutex_);
  hexSave_ = std::move(choice);
}

void ScriptedPrompt::SetSignatureBytesEntry(std::optional<SignatureBytesEntry> entry) {
  std::lock_guard lock(mutex_);
  signatureEntry_ = std::move(entry);
}

std::vector<PromptRecord> ScriptedPrompt::Records() const {
  std::lock_guard lock(mutex_);
  return records_;
}

std::vector<std::string> ScriptedPrompt::SuggestedSavePaths() const {
  std::lock_guard lock(mutex_);
  return savePaths_;
}

std::vector<SignatureBytesEntry> ScriptedPrompt::SignatureRequests() const {
  std::lock_guard lock(mutex_);
  return signatureRequests_;
}

void ScriptedPrompt::ClearRecords() {
  std::lock_guard lock(mutex_);
  records_.clear();
  savePaths_.clear();
  signatureRequests_.clear();
}

}  // namespace velmora
