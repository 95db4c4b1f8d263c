// Link statements of host subs: starting compiled subs on the programmer, the bytes host and
// compiled code exchange (nothing frames them: both sides send and take the same count in the
// same order), and the status records for the progress display.
#include <algorithm>

#include "link/pic_vortang.h"
#include "script/zeql_executor.h"

namespace velmora {

namespace {
constexpr int kFlushRequest = -2;
constexpr int64_t kMaxStatusPosition = 1000;
constexpr const char* kUndefinedCell = "You were accessing a non defined part of a memory array.";
constexpr const char* kTooWide = "Variables are max 32bit = 4 bytes";
}  // namespace

bool CZEQLExecutor::LinkLost() const {
  const CPICVortang* programmer = engine_.Programmer();
  return programmer != nullptr && programmer->linkLost;
}

bool CZEQLExecutor::LinkReady() {
  if (engine_.Programmer() == nullptr) return Fail("System Error: No programmer defined.");
  if (LinkLost()) {
    subResult_ = sub_result::kAborted;
    return false;
  }
  return true;
}

void CZEQLExecutor::FlushSendBuffer() {
  CPICVortang* programmer = engine_.Programmer();
  if (programmer != nullptr && !programmer->linkLost) programmer->QueueScriptByte(kFlushRequest);
}

bool CZEQLExecutor::SendByte(int value) {
  if (!LinkReady()) return false;
  engine_.Programmer()->QueueScriptByte(value & 0xFF);
  if (!LinkLost()) return true;
  subResult_ = sub_result::kAborted;
  return false;
}

bool CZEQLExecutor::ReceiveByte(uint8_t& value) {
  if (!LinkReady()) return false;
  const int byte = engine_.Programmer()->FlushAndReadByte();
  // After a pulled cable nothing read counts: no byte reaches a buffer or variable.
  if (byte < 0 || LinkLost()) {
    subResult_ = sub_result::kAborted;
    return false;
  }
  value = static_cast<uint8_t>(byte);
  return true;
}

bool CZEQLExecutor::StartCompiledSub(const CZEQLSub& sub) {
  if (!engine_.CodeUploaded()) {
    // Code from an earlier script may still be in the programmer; calling into it could do
    // anything to the target.
    return Fail("The algorithm is not in the programmer. Compile it without errors or warnings.");
  }
  if (!LinkReady()) return false;
  engine_.Programmer()->SendScriptWord(sub.codeAddress);
  if (!LinkLost()) return true;
  subResult_ = sub_result::kAborted;
  return false;
}

bool CZEQLExecutor::Send(const std::vector<std::string>& tokens) {
  const bool counted = tokens.size() == 3;
  const int64_t count = counted ? engine_.Evaluate(tokens[2]) : 1;
  if (const auto buffer = BufferCellNamed(tokens[1])) {
    if (!CheckCount(count, kUndefinedCell)) return false;
    const int64_t base = engine_.BufferAddress(*buffer);
    if (!RangeMapped(*buffer, base, count)) return Fail(kUndefinedCell);
    const CMCUMemoryArchitecture& image = engine_.Buffer(*buffer);
    for (int64_t i = 0; i < count; ++i) {
      if (Stopped()) return false;
      if (!SendByte(image.ReadMaskedByte(*CellAddress(base, i)))) return false;
    }
    if (counted) engine_.SetBufferAddress(*buffer, base + count);
    return true;
  }
  if (count < 1 || count > 4) return Fail(kTooWide);
  const int64_t value = engine_.Evaluate(tokens[1]);
  for (int64_t i = 0; i < count; ++i) {
    if (!SendByte(static_cast<int>((value >> (8 * i)) & 0xFF))) return false;
  }
  return true;
}

bool CZEQLExecutor::Get(const std::vector<std::string>& tokens) {
  uint8_t byte = 0;
  if (tokens.size() == 1) return ReceiveByte(byte);
  const bool counted = tokens.size() == 3;
  const int64_t count = counted ? engine_.Evaluate(tokens[2]) : 1;
  if (const auto buffer = BufferCellNamed(tokens[1])) {
    if (!CheckCount(count, kUndefinedCell)) return false;
    const int64_t base = engine_.BufferAddress(*buffer);
    // Checked before the first byte is taken, so that a wrong address never leaves the
    // compiled code half way through its sending.
    if (!RangeMapped(*buffer, base, count)) return Fail(kUndefinedCell);
    CMCUMemoryArchitecture& image = engine_.Buffer(*buffer);
    for (int64_t i = 0; i < count; ++i) {
      if (Stopped()) return false;
      if (!ReceiveByte(byte)) return false;
      image.SetCell(*CellAddress(base, i), byte);
    }
    if (counted) engine_.SetBufferAddress(*buffer, base + count);
    return true;
  }
  if (count < 1 || count > 4) return Fail(kTooWide);
  uint64_t value = 0;
  for (int64_t i = 0; i < count; ++i) {
    if (!ReceiveByte(byte)) return false;
    value |= uint64_t{byte} << (8 * i);
  }
  engine_.SetVariableNumber(tokens[1], static_cast<int64_t>(value));
  return true;
}

bool CZEQLExecutor::Status(const std::vector<std::string>& tokens) {
  ScriptStatus status;
  const ZEQLValue text = engine_.GetString(tokens[1]);
  if (text.kind == ZEQLValueKind::kString || text.kind == ZEQLValueKind::kStringVariable) {
    status.text = text.string;
  } else if (engine_.FindVariable(tokens[1]) == nullptr && !tokens[1].empty() &&
             tokens[1][0] != '"') {
    log_.LogLine("Variable not found");
  } else {
    log_.LogLine("Status does not contain any status information...");
    return true;
  }
  status.position = std::min(engine_.Evaluate(tokens[2]), kMaxStatusPosition);
  status.barColour = engine_.Evaluate(tokens[3]);
  if (tokens.size() > 4) status.filledTextColour = engine_.Evaluate(tokens[4]);
  if (tokens.size() > 5) status.emptyTextColour = engine_.Evaluate(tokens[5]);
  if (statusReceiver_) statusReceiver_(status);
  return true;
}

}  // namespace velmora
