// Compile: the pass loop over pin subs, register subs and specialised copies, the dropping of
// copies when the code area is too small, the upload and the statistics.
#include <algorithm>
#include <cstdio>

#include "link/pic_vortang.h"
#include "script/zeql_engine.h"

namespace velmora {

namespace {

// Jump forms only grow, so passes settle; this many passes mean something else oscillates.
constexpr int kMaxPasses = 64;

std::string Format(const char* format, auto... values) {
  char text[256];
  std::snprintf(text, sizeof text, format, values...);
  return text;
}

}  // namespace

void CZEQLEngine::CompilePinSub(CZEQLSubLevel3& sub) {
  currentSub = &sub;
  sub.ResetSlots();
  sub.lineLimitReported = false;
  defaultLineTime = 1000;
  sub.codeAddress = generator_->CodePointer();
  for (ZEQLLine& line : sub.Lines()) {
    line.codeAddress = generator_->CodePointer();
    CompilePinLine(sub, line);
  }
  currentLine_ = nullptr;
  elapsedTime = 0;
  generator_->EmitPinSub(sub);
  generator_->EndOfSub();
}

void CZEQLEngine::CompileRegisterSub(CZEQLSub& sub) {
  currentSub = &sub;
  sub.codeAddress = generator_->CodePointer();
  parameterSize = 4;
  for (size_t i = 0; i < sub.Lines().size(); ++i) {
    sub.Lines()[i].codeAddress = generator_->CodePointer();
    CompileRegisterLine(sub, i);
  }
  currentLine_ = nullptr;
  generator_->EndOfSub();
}

// The included copy with the smallest non-zero use weight goes first; the first made on a tie.
void CZEQLEngine::DropSpecialisedCopiesForSpace() {
  int64_t freeSpace = static_cast<int64_t>(codeEnd_) - generator_->CodePointer();
  while (freeSpace < 0) {
    CZEQLSubLevel3* victim = nullptr;
    for (const auto& sub : specialisedSubs_) {
      auto* copy = static_cast<CZEQLSubLevel3*>(sub.get());
      if (!copy->specialisable || copy->useWeight == 0) continue;
      if (victim == nullptr || copy->useWeight < victim->useWeight) victim = copy;
    }
    if (victim == nullptr) {
      CountError();
      stableFlag = true;
      Log(Format("Velmora out of memory error. %i Words missing.",
                 static_cast<int>(-freeSpace / 2)));
      return;
    }
    victim->specialisable = false;
    freeSpace += victim->codeSize - 8;
    stableFlag = false;
  }
}

void CZEQLEngine::RunPass() {
  elapsedTime = 0;
  targetTime = 0;
  defaultLineTime = 1000;
  generator_->SetCodePointer(codeStart_);
  if (codeStart_ + 1 < kCodeImageSize) {
    codeImage_[static_cast<size_t>(codeStart_)] = static_cast<uint8_t>(codeEnd_ & 0xFF);
    codeImage_[static_cast<size_t>(codeStart_) + 1] = static_cast<uint8_t>((codeEnd_ >> 8) & 0xFF);
  }
  generator_->SetCodePointer(codeStart_ + 2);
  ++passCounter;
  stableFlag = true;
  for (SubList* list : {&pinSubs_, &registerSubs_, &specialisedSubs_}) {
    for (auto& sub : *list) sub->useWeight = 0;
  }

  for (auto& sub : pinSubs_) {
    if (!sub->name.empty()) CompilePinSub(static_cast<CZEQLSubLevel3&>(*sub));
  }
  for (auto& sub : registerSubs_) {
    if (!sub->name.empty()) CompileRegisterSub(*sub);
  }
  mandatoryEnd_ = generator_->CodePointer();
  // Copies made while this loop runs are compiled in the next pass.
  const size_t copies = specialisedSubs_.size();
  for (size_t i = 0; i < copies; ++i) {
    auto& copy = static_cast<CZEQLSubLevel3&>(*specialisedSubs_[i]);
    if (copy.specialisable) CompilePinSub(copy);
  }
  currentSub = nullptr;
  if (generator_->CodePointer() != previousPassEnd_) stableFlag = false;
  previousPassEnd_ = generator_->CodePointer();
  DropSpecialisedCopiesForSpace();
}

void CZEQLEngine::Compile() {
  if (!generator_) return;
  ResetCounters();
  codeUploaded_ = false;
  Log("");
  Log("ZEQL compiler for the programmer's PIC18");
  const ZEQLVariable* name = FindVariable("_name");
  if (name != nullptr && name->hasText) {
    const ZEQLValue text = GetString("_name");
    Log("Compiling for " + (text.kind == ZEQLValueKind::kOther ? name->text : text.string) +
        " ...");
  } else {
    Log("Compiling...");
  }

  compileFlag = true;
  passCounter = 0;
  stableFlag = false;
  previousPassEnd_ = -1;
  specialisedSubs_.clear();
  while (!stableFlag && errorCount_ == 0) {
    if (passCounter >= kMaxPasses) {
      ReportError();
      Log(Format("Code addresses did not settle in %i passes.", kMaxPasses));
      break;
    }
    RunPass();
  }
  codeEndOfLastPass_ = generator_->CodePointer();
  for (int i = std::max(codeEndOfLastPass_, 0); i < codeEnd_; ++i) {
    codeImage_[static_cast<size_t>(i)] = 0xFF;
  }
  compileFlag = false;
  specialisedSubs_.clear();

  if (errorCount_ != 0) {
    Log(Format("%i error(s), %i warning(s). Compilation failed!", errorCount_, warningCount_));
    return;
  }
  if (warningCount_ != 0) {
    Log(Format("Compiled successfully. (%i warings)", warningCount_));
    // Compiled subs must not call the code of a previous script still in the programmer.
    Log("Nothing uploaded: compiled subs cannot run until the warnings are fixed.");
    return;
  }
  Log(Format("Compiled successfully. (%i)", passCounter));
  Log("Uploading Algorithm");
  UploadAndReport(mandatoryEnd_);
}

void CZEQLEngine::UploadAndReport(int mandatoryEnd) {
  if (programmer_ == nullptr) {
    Log("System Error: No programmer defined.");
    return;
  }
  const int wrong = programmer_->UploadScriptBlocks();
  if (wrong < 0) {
    log_.ReplaceLastLogLine("Uploading Algorithm failed: the programmer does not answer.");
    return;
  }
  const int capacity = std::max(0, (codeEnd_ - codeStart_ - 2) / 2);
  const int used = std::max(0, (codeEndOfLastPass_ - codeStart_) / 2);
  const int estimate = std::min(std::max(0, (mandatoryEnd - codeStart_) / 2) * 110 / 100, used);
  if (wrong == 0) {
    codeUploaded_ = true;
    const int estimatePercent = capacity == 0 ? 0 : static_cast<int>(estimate * 100LL / capacity);
    const int usedPercent = capacity == 0 ? 0 : static_cast<int>(used * 100LL / capacity);
    log_.ReplaceLastLogLine(Format("%i/%i (%i%%/%i%%) instruction words of %i used.", estimate,
                                   used, estimatePercent, usedPercent, capacity));
    return;
  }
  log_.ReplaceLastLogLine(
      Format("Flash memory of programmer PIC seems to be fail. %i bytes of %i read wrong.", wrong,
             capacity));
  int reported = 0;
  for (int block = codeStart_; block < codeEnd_ && reported < 4; block += 64) {
    const int blockEnd = std::min(block + 64, codeEnd_);
    const bool allBlank = std::all_of(codeImage_.begin() + block, codeImage_.begin() + blockEnd,
                                      [](uint8_t b) { return b == 0xFF; });
    if (allBlank) continue;
    for (int i = block; i < blockEnd && reported < 4; ++i) {
      if (codeImage_[static_cast<size_t>(i)] != uploadImage_[static_cast<size_t>(i)]) {
        ++reported;
        Log(Format("Defective address %i: 0x%08X", reported, static_cast<unsigned>(i)));
      }
    }
  }
}

}  // namespace velmora
