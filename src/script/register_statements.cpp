// Register-level statements (subs beginning with '*'): assignments, arithmetic, loops, calls,
// send and get, branches, waits and the parameter size.
#include <algorithm>
#include <cctype>
#include <cstdio>

#include "script/script_text.h"
#include "script/zeql_engine.h"

namespace velmora {

namespace {

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

// The byte numbers of a range in the order written.
std::vector<int> BytesInOrder(const RegisterOperand& range) {
  std::vector<int> bytes;
  const int step = range.Reversed() ? -1 : 1;
  for (int b = range.first;; b += step) {
    bytes.push_back(b);
    if (b == range.last) break;
  }
  return bytes;
}

bool Overlap(const RegisterOperand& a, const RegisterOperand& b) {
  const int aLow = std::min(a.first, a.last), aHigh = std::max(a.first, a.last);
  const int bLow = std::min(b.first, b.last), bHigh = std::max(b.first, b.last);
  return aLow <= bHigh && bLow <= aHigh;
}

}  // namespace

void CZEQLEngine::CompileRegisterLine(CZEQLSub& sub, size_t index) {
  ZEQLLine& line = sub.Lines()[index];
  currentLine_ = &line;
  const std::vector<std::string> tokens = SplitTokens(line.text, false);
  if (tokens.empty() || line.labelLength > 0) return;  // a label marks the next instruction
  const std::string word = Lower(tokens[0]);
  if (tokens.size() >= 3 && tokens[1] == "=") {
    CompileAssignment(tokens);
  } else if (word == "add" || word == "sub" || word == "and") {
    CompileArithmetic(tokens);
  } else if (word == "loop") {
    CompileLoop(sub, index, tokens);
  } else if (word == "lend") {
    CompileLoopEnd(sub, index);
  } else if (word == "call") {
    CompileCall(tokens);
  } else if (word == "send" || word == "get") {
    CompileSendOrGet(tokens, word == "send");
  } else if (word == "be" || word == "bne") {
    CompileBranch(sub, tokens, word == "be");
  } else if (word == "wait") {
    if (tokens.size() != 2) {
      ReportError();
      Log("\t'wait' takes one parameter");
      return;
    }
    generator_->LongWait(std::max<int64_t>(Evaluate(tokens[1]), 100));
  } else if (word == "size") {
    if (tokens.size() != 2) {
      ReportError();
      Log("\t'size' takes one parameter");
      return;
    }
    const int64_t size = Evaluate(tokens[1]);
    if (size < 1 || size > 4) {
      ReportError();
      Log("\tparameter must be in the range of 1 to 4");
      return;
    }
    parameterSize = static_cast<int>(size);
  } else {
    ReportError();
    Log("Unknown command");
  }
}

// dst = src [dst = src ...]: a register source is copied byte by byte, an expression is set.
void CZEQLEngine::CompileAssignment(const std::vector<std::string>& tokens) {
  size_t i = 0;
  for (; i + 2 < tokens.size() && tokens[i + 1] == "="; i += 3) {
    const std::string& dstText = tokens[i];
    const std::string& srcText = tokens[i + 2];
    const RegisterOperand dst = ParseRegisterOperand(dstText);
    if (dst.error) continue;
    if (!dst.IsRegister()) {
      ReportError();
      Log("\t>> " + dstText + " <<");
      continue;
    }
    const RegisterOperand src = ParseRegisterOperand(srcText);
    if (src.error) continue;
    if (!src.IsRegister()) {
      generator_->SetLiteral(dst.first, dst.last, Evaluate(srcText));
      continue;
    }
    if (src.Size() != dst.Size()) {
      ReportError();
      Log(dstText + " and " + srcText + " are of different size.");
      continue;
    }
    if (Overlap(src, dst)) {
      ReportError();
      Log("\t>> " + dstText + " = " + srcText + " <<   Overlapping ranges are not allowed.");
      continue;
    }
    const std::vector<int> from = BytesInOrder(src);
    const std::vector<int> to = BytesInOrder(dst);
    for (size_t b = 0; b < from.size(); ++b) generator_->MoveByte(from[b], to[b]);
  }
  if (i < tokens.size()) {
    ReportError();
    Log("\t>> " + tokens[i] + " << ignored.");
  }
}

// add/sub/and dst, expr (add and sub also take a register range of the same size).
void CZEQLEngine::CompileArithmetic(const std::vector<std::string>& tokens) {
  if (tokens.size() != 3) {
    ReportError();
    Log("Wrong number of arguments");
    return;
  }
  const std::string word = Lower(tokens[0]);
  const RegisterOperand dst = ParseRegisterOperand(tokens[1]);
  if (dst.error) return;
  if (!dst.IsRegister()) {
    ReportError();
    Log("\t>> " + tokens[1] + " << is an illegal expression.");
    return;
  }
  if (dst.Size() > 4) {
    ReportError();
    Log("Cannot handle more then 32bit");
    return;
  }
  const RegisterOperand src = ParseRegisterOperand(tokens[2]);
  if (src.error) return;
  if (src.IsRegister()) {
    if (word == "and" || src.Size() != dst.Size() || src.Reversed()) {
      ReportError();
      Log("\t>> " + tokens[2] + " << is an illegal expression.");
      return;
    }
    if (word == "add") generator_->AddRegister(dst.first, dst.last, src.first);
    if (word == "sub") generator_->SubRegister(dst.first, dst.last, src.first);
    return;
  }
  const int64_t value = Evaluate(tokens[2]);
  if (word == "add") generator_->AddLiteral(dst.first, dst.last, value);
  if (word == "sub") generator_->SubLiteral(dst.first, dst.last, value);
  if (word == "and") generator_->AndLiteral(dst.first, dst.last, value);
}

// loop range [, count]: the body up to the matching `lend` runs as often as the counter says.
void CZEQLEngine::CompileLoop(CZEQLSub& sub, size_t index, const std::vector<std::string>& tokens) {
  if (tokens.size() != 2 && tokens.size() != 3) {
    ReportError();
    Log("Wrong number of arguments");
    return;
  }
  const RegisterOperand range = ParseRegisterOperand(tokens[1]);
  if (range.error) return;
  if (!range.IsRegister() || range.Reversed()) {
    ReportError();
    Log("\t>> " + tokens[1] + " << is an illegal expression or address range is in wrong order.");
    return;
  }
  int64_t load = 0;
  if (tokens.size() == 3) {
    const uint64_t count = static_cast<uint64_t>(Evaluate(tokens[2]));
    load = static_cast<int64_t>(count);
    if (range.Size() < 8) {
      const uint64_t limit = 1ULL << (8 * range.Size());
      if (count > limit) {
        ReportError();
        Log("Value is to large for variable.");
        return;
      }
      if (count == limit) load = 0;
    }
  }
  auto& lines = sub.Lines();
  size_t end = index + 1;
  for (int depth = 0; end < lines.size(); ++end) {
    const std::vector<std::string> words = SplitTokens(lines[end].text, false);
    const std::string word = words.empty() ? std::string() : Lower(words[0]);
    if (word == "loop") ++depth;
    if (word == "lend" && depth-- == 0) break;
  }
  if (end >= lines.size()) {
    ReportError();
    Log("End of loop not found");
    return;
  }
  if (tokens.size() == 3) generator_->SetLiteral(range.first, range.last, load);
  for (size_t i = index + 1; i < end; ++i) lines[i].inLoop = true;
  lines[end].loopEnd = true;
  lines[end].loopBodyLine = static_cast<int>(index + 1);
  lines[end].loopFirstByte = range.first;
  lines[end].loopLastByte = range.last;
}

void CZEQLEngine::CompileLoopEnd(CZEQLSub& sub, size_t index) {
  ZEQLLine& line = sub.Lines()[index];
  if (!line.loopEnd) {
    ReportError();  // a `lend` without its `loop`
    return;
  }
  const int target = sub.Lines()[static_cast<size_t>(line.loopBodyLine)].codeAddress;
  generator_->DecrementJNZ(line.loopFirstByte, line.loopLastByte, target);
}

CZEQLSubLevel3* CZEQLEngine::SpecialisedCopy(CZEQLSubLevel3& generic, uint32_t value) {
  char suffix[16];
  std::snprintf(suffix, sizeof suffix, "_%08X", value);
  const std::string name = generic.name + suffix;
  if (CZEQLSub* existing = FindSub(specialisedSubs_, name)) {
    return static_cast<CZEQLSubLevel3*>(existing);
  }
  auto copy = std::make_unique<CZEQLSubLevel3>(this);
  copy->name = name;
  copy->lines = generic.lines;
  copy->linesShared = true;
  copy->specialised = true;
  copy->parameterValue = value;
  copy->specialisable = true;  // included
  CZEQLSubLevel3* made = copy.get();
  specialisedSubs_.push_back(std::move(copy));
  return made;
}

// call sub [, expr]: pin subs are searched first; a constant parameter picks a specialised copy
// of a pin sub when it can, else it is loaded into T0 up to the parameter size.
void CZEQLEngine::CompileCall(const std::vector<std::string>& tokens) {
  if (tokens.size() > 3) {
    ReportError();
    Log("\tWrong number of parameters");
    return;
  }
  if (tokens.size() < 2) {
    ReportError();
    Log("Sub not found");
    return;
  }
  auto* pinSub = static_cast<CZEQLSubLevel3*>(FindSub(pinSubs_, tokens[1]));
  CZEQLSub* callee = pinSub != nullptr ? pinSub : FindSub(registerSubs_, tokens[1]);
  if (callee == nullptr) {
    ReportError();
    Log("Sub not found");
    return;
  }
  const int weight = currentLine_ != nullptr && currentLine_->inLoop ? 100 : 1;
  if (tokens.size() == 3) {
    const int64_t value = Evaluate(tokens[2]);
    if (pinSub != nullptr && pinSub->specialisable) {
      CZEQLSubLevel3* copy = SpecialisedCopy(*pinSub, static_cast<uint32_t>(value));
      if (copy->specialisable) {
        copy->useWeight += weight;
        generator_->Call(copy->codeAddress);
        return;
      }
    }
    generator_->SetLiteral(kRegisterBaseT, kRegisterBaseT + parameterSize - 1, value);
  }
  callee->useWeight += weight;
  generator_->Call(callee->codeAddress);
}

// send/get range [, range ...]: every byte in the order written.
void CZEQLEngine::CompileSendOrGet(const std::vector<std::string>& tokens, bool send) {
  for (size_t i = 1; i < tokens.size(); ++i) {
    const RegisterOperand range = ParseRegisterOperand(tokens[i]);
    if (range.error) continue;
    if (!range.IsRegister()) {
      ReportError();
      Log("\t>> " + tokens[i] + " << is an illegal expression.");
      continue;
    }
    for (int byte : BytesInOrder(range)) {
      if (send) {
        generator_->SendByte(byte);
      } else {
        generator_->Call(generator_->ReceiveRoutine());
        generator_->MoveByte(generator_->ReceivedByteRegister(), byte);
      }
    }
  }
}

int CZEQLEngine::LabelAddress(CZEQLSub& sub, std::string_view label, bool& found) {
  const auto& lines = sub.Lines();
  const size_t here =
      currentLine_ != nullptr ? static_cast<size_t>(currentLine_ - lines.data()) : 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    const ZEQLLine& line = lines[i];
    if (line.labelLength > 0 &&
        std::string_view(line.text).substr(0, static_cast<size_t>(line.labelLength)) == label) {
      found = true;
      // A label further down is known from the second pass on.
      if (passCounter <= 1 && i > here) {
        stableFlag = false;
        return generator_->CodePointer();
      }
      return line.codeAddress;
    }
  }
  found = false;
  return generator_->CodePointer();
}

// be/bne a, b, label: compare (ranges or a range and a constant), then branch.
void CZEQLEngine::CompileBranch(CZEQLSub& sub, const std::vector<std::string>& tokens, bool equal) {
  if (tokens.size() != 4) {
    ReportError();
    Log("Wrong number of arguments");
    return;
  }
  CompareOperand sides[2];
  for (int s = 0; s < 2; ++s) {
    const RegisterOperand range = ParseRegisterOperand(tokens[static_cast<size_t>(s) + 1]);
    if (range.error) return;
    if (range.IsRegister()) {
      if (range.Reversed()) {
        ReportError();
        Log("Cannot handle variables in reverse order.");
        return;
      }
      sides[s] = {true, range.first, range.last, 0};
    } else {
      sides[s] = {false, 0, 0, Evaluate(tokens[static_cast<size_t>(s) + 1])};
    }
  }
  if (!sides[0].isRegister && !sides[1].isRegister) {
    ReportError();
    Log("Cannot handle to constants.");
    return;
  }
  if (sides[0].isRegister && sides[1].isRegister &&
      sides[0].last - sides[0].first != sides[1].last - sides[1].first) {
    ReportError();
    Log("Both variables are of different size");
    return;
  }
  bool found = false;
  const int target = LabelAddress(sub, tokens[3], found);
  if (!found && passCounter >= 2) {
    ReportError();
    Log("\tLabel >> " + tokens[3] + " << not found.");
  }
  generator_->Compare(sides[0], sides[1]);
  if (equal) {
    generator_->BranchIfEqual(target);
  } else {
    generator_->BranchIfNotEqual(target);
  }
}

}  // namespace velmora
