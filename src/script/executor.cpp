// The host-sub executor: RunSub's frame around a sub, the line loop with its stop checks, and
// the statements of flow (labels, if, loop, call, exit), assignments and log messages.
#include <algorithm>
#include <cctype>
#include <cinttypes>
#include <cstdio>

#include "link/pic_vortang.h"
#include "script/script_text.h"
#include "script/zeql_executor.h"

namespace velmora {

namespace {

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

bool FirstWordIs(const ZEQLLine& line, std::string_view word, size_t tokenCount) {
  const std::vector<std::string> tokens = SplitTokens(line.text, false);
  return tokens.size() == tokenCount && Lower(tokens[0]) == word;
}

bool IsBlockIf(const ZEQLLine& line) {
  return FirstWordIs(line, "if", 2);
}
bool IsElse(const ZEQLLine& line) {
  return FirstWordIs(line, "else", 1);
}
bool IsEndif(const ZEQLLine& line) {
  return FirstWordIs(line, "endif", 1);
}
bool IsLoop(const ZEQLLine& line) {
  return FirstWordIs(line, "loop", 2);
}
bool IsLend(const ZEQLLine& line) {
  return FirstWordIs(line, "lend", 1);
}

constexpr size_t kNotFound = SIZE_MAX;

// The `else` (when `stopAtElse`) or `endif` that belongs to the block opened before `from`;
// inner blocks are skipped.
size_t FindBlockEnd(const std::vector<ZEQLLine>& lines, size_t from, bool stopAtElse) {
  int depth = 0;
  for (size_t i = from; i < lines.size(); ++i) {
    if (IsBlockIf(lines[i])) {
      ++depth;
    } else if (IsEndif(lines[i])) {
      if (depth == 0) return i;
      --depth;
    } else if (stopAtElse && depth == 0 && IsElse(lines[i])) {
      return i;
    }
  }
  return kNotFound;
}

// The `lend` that closes the `loop` at `index`.
size_t FindLoopEnd(const std::vector<ZEQLLine>& lines, size_t index) {
  int depth = 0;
  for (size_t i = index + 1; i < lines.size(); ++i) {
    if (IsLoop(lines[i])) {
      ++depth;
    } else if (IsLend(lines[i])) {
      if (depth == 0) return i;
      --depth;
    }
  }
  return kNotFound;
}

// The `loop` that the `lend` at `index` closes.
size_t FindLoopStart(const std::vector<ZEQLLine>& lines, size_t index) {
  int depth = 0;
  for (size_t i = index; i-- > 0;) {
    if (IsLend(lines[i])) {
      ++depth;
    } else if (IsLoop(lines[i])) {
      if (depth == 0) return i;
      --depth;
    }
  }
  return kNotFound;
}

}  // namespace

std::optional<ScriptBuffer> BufferNamed(std::string_view token) {
  const std::string word = Lower(token);
  if (word == "file") return ScriptBuffer::kFile;
  if (word == "temp") return ScriptBuffer::kTemp;
  if (word == "chip") return ScriptBuffer::kChip;
  return std::nullopt;
}

std::optional<ScriptBuffer> BufferCellNamed(std::string_view token) {
  if (token.size() < 3 || token.front() != '[' || token.back() != ']') return std::nullopt;
  return BufferNamed(token.substr(1, token.size() - 2));
}

CZEQLExecutor::CZEQLExecutor(CZEQLEngine& engine, ILogSink& log, IUserPrompt& prompt, IClock& clock)
    : engine_(engine), log_(log), prompt_(prompt), clock_(clock) {}

int CZEQLExecutor::RunSub(const std::string& name) {
  for (ScriptBuffer buffer : {ScriptBuffer::kFile, ScriptBuffer::kTemp, ScriptBuffer::kChip}) {
    engine_.SetBufferAddress(buffer, 0);
  }
  engine_.resultValue = 0;
  if (CPICVortang* programmer = engine_.Programmer()) programmer->ResetCursors();
  const uint32_t startTick = clock_.TickCount();

  int result = sub_result::kEnded;
  CZEQLSub* init = engine_.FindSub(engine_.HostSubs(), "#Init");
  if (init != nullptr) result = ExecuteSub(*init);
  if (result == sub_result::kEnded) {
    if (CZEQLSub* sub = engine_.FindSub(engine_.HostSubs(), name)) {
      result = ExecuteSub(*sub);
      if (result == sub_result::kAborted) log_.LogLine("Execution abort.");
    } else {
      log_.LogLine("Sub does not exist");
      result = sub_result::kAborted;
    }
  } else if (result == sub_result::kAborted) {
    log_.LogLine("Execution abort.");
  }
  if (CZEQLSub* cleanUp = engine_.FindSub(engine_.HostSubs(), "#CleanUp")) ExecuteSub(*cleanUp);

  const uint32_t elapsed = clock_.TickCount() - startTick;
  char text[64];
  std::snprintf(text, sizeof text, "Execution time %.2f", elapsed / 1000.0);
  log_.LogLine(text);
  return result;
}

int CZEQLExecutor::ExecuteSub(CZEQLSub& sub) {
  runningSubs_.insert(&sub);
  engine_.statusCode = script_status::kRunning;
  subResult_ = sub_result::kEnded;
  Frame frame{sub, sub.Lines(), 0, {}};
  while (frame.next < frame.lines.size()) {
    if (Stopped()) {
      subResult_ = sub_result::kAborted;
      break;
    }
    const size_t index = frame.next++;
    ZEQLLine& line = frame.lines[index];
    engine_.SetCurrentLine(&line);
    const std::vector<std::string> tokens = SplitTokens(line.text, false);
    if (tokens.empty()) continue;
    if (!ExecuteLine(frame, index, tokens)) break;
    if (engine_.statusCode != script_status::kRunning) {
      // A constant was written, or a sub called from here ended the run.
      if (subResult_ == sub_result::kEnded) subResult_ = sub_result::kAborted;
      break;
    }
  }
  FlushSendBuffer();
  runningSubs_.erase(&sub);
  engine_.SetCurrentLine(nullptr);
  const int result = subResult_;
  // The code tells callers up the chain how this sub ended; 7 (broken) stays.
  if (engine_.statusCode == script_status::kRunning) engine_.statusCode = result;
  return result;
}

bool CZEQLExecutor::Stopped() {
  // A lost link ends the sub even between transfers: nothing it would still do reaches the
  // target.
  return AbortRequested() || LinkLost();
}

bool CZEQLExecutor::Fail(std::string_view message) {
  engine_.ReportError();
  log_.LogLine(message);
  subResult_ = sub_result::kAborted;
  return false;
}

bool CZEQLExecutor::ExecuteLine(Frame& frame, size_t index, const std::vector<std::string>& t) {
  const ZEQLLine& line = frame.lines[index];
  if (line.labelLength > 0 && t.size() == 1) return true;
  if (t.size() == 3 && t[1] == "=") return Assign(t[0], t[2]);
  const std::string word = Lower(t[0]);
  const size_t n = t.size();
  if (word == "msg") return Message(t);
  if (word == "status" && n >= 4 && n <= 6) return Status(t);
  if (word == "load" && n == 2) return Load(t);
  if (word == "save" && n <= 3) return Save(t);
  if (word == "mask" && n == 5) return Mask(t);
  if (word == "exit" && n == 1) {
    subResult_ = sub_result::kExited;
    return false;
  }
  if (word == "clear" && (n == 2 || n == 3)) return ClearBuffer(t);
  if (word == "dump" && n == 4) return Dump(t);
  if (word == "copy" && n == 4) return Copy(t);
  if (word == "compare" && n == 4) return Compare(t);
  if (word == "checksum" && n == 4) return Checksum(t);
  if (word == "isff" && n == 3) return CheckRange(t, true);
  if (word == "isempty" && n == 3) return CheckRange(t, false);
  if (word == "if" && n == 4 && Lower(t[2]) == "goto") {
    if (engine_.Evaluate(t[1]) == 0) return true;
    return GotoLabel(frame, t[3]);
  }
  if (word == "if" && n == 2) return BlockIf(frame, index, t[1]);
  if (word == "else" && n == 1) return Else(frame, index);
  if (word == "endif" && n == 1) return true;
  if (word == "loop" && n == 2) return Loop(frame, index, t[1]);
  if (word == "lend" && n == 1) return LoopEnd(frame, index);
  if ((word == "add" || word == "sub") && n == 3) return MoveAddress(t, word == "sub");
  if (word == "call" && n == 2) return CallSub(t[1]);
  if (word == "send" && (n == 2 || n == 3)) return Send(t);
  if (word == "get" && n <= 3) return Get(t);
  return Fail("Unknow command or wrong parameters.");
}

bool CZEQLExecutor::Assign(const std::string& name, const std::string& right) {
  if (const auto buffer = BufferNamed(name)) {
    engine_.SetBufferAddress(*buffer, engine_.Evaluate(right));
    return true;
  }
  if (const auto cell = BufferCellNamed(name)) {
    return WriteCellAtAddress(*cell, engine_.Evaluate(right));
  }
  if (name == "_result") {
    // Expressions read `_result` from the engine, never from a variable of that name.
    engine_.resultValue = engine_.Evaluate(right);
    return true;
  }
  const ZEQLValue value = engine_.EvaluateValue(right);
  switch (value.kind) {
    case ZEQLValueKind::kNumber:
      engine_.SetVariableNumber(name, value.number);
      return true;
    case ZEQLValueKind::kString:
    case ZEQLValueKind::kStringVariable:
      engine_.SetVariableText(name, "\"" + value.string + "\"");
      return true;
    case ZEQLValueKind::kOther:
      break;
  }
  return Fail("The right expression is neither numeric nor text.");
}

bool CZEQLExecutor::Message(const std::vector<std::string>& tokens) {
  std::string text;
  for (size_t i = 1; i < tokens.size(); ++i) {
    const std::string& item = tokens[i];
    if (!item.empty() && item[0] == '$') {
      char hex[32];
      std::snprintf(hex, sizeof hex, "0x%" PRIX64,
                    static_cast<uint64_t>(engine_.Evaluate(std::string_view(item).substr(1))));
      text += hex;
      continue;
    }
    const ZEQLValue value = engine_.GetString(item);
    if (value.kind == ZEQLValueKind::kString || value.kind == ZEQLValueKind::kStringVariable) {
      text += value.string;
    } else {
      text += std::to_string(engine_.Evaluate(item));
    }
  }
  log_.LogLine(text);
  return true;
}

bool CZEQLExecutor::GotoLabel(Frame& frame, const std::string& label) {
  const std::string target = label + ":";
  for (size_t i = 0; i < frame.lines.size(); ++i) {
    if (frame.lines[i].labelLength > 0 && frame.lines[i].text == target) {
      frame.next = i;
      return true;
    }
  }
  return Fail("Label not found");
}

bool CZEQLExecutor::BlockIf(Frame& frame, size_t index, const std::string& condition) {
  const size_t end = FindBlockEnd(frame.lines, index + 1, true);
  if (end == kNotFound) {
    engine_.statusCode = script_status::kBroken;
    return Fail("Label not found");
  }
  if (engine_.Evaluate(condition) == 0) frame.next = end + 1;
  return true;
}

bool CZEQLExecutor::Else(Frame& frame, size_t index) {
  const size_t end = FindBlockEnd(frame.lines, index + 1, false);
  if (end == kNotFound) {
    engine_.statusCode = script_status::kBroken;
    return Fail("Label not found");
  }
  frame.next = end + 1;
  return true;
}

bool CZEQLExecutor::Loop(Frame& frame, size_t index, const std::string& count) {
  const size_t end = FindLoopEnd(frame.lines, index);
  if (end == kNotFound) {
    engine_.statusCode = script_status::kBroken;
    return Fail("Label not found");
  }
  const int64_t times = engine_.Evaluate(count);
  if (times < 1) {
    // No run of the body; a counter below 1 would never come down to 1.
    frame.loopCounters.erase(end);
    frame.next = end + 1;
    return true;
  }
  frame.loopCounters[end] = times;
  return true;
}

bool CZEQLExecutor::LoopEnd(Frame& frame, size_t index) {
  const auto counter = frame.loopCounters.find(index);
  const size_t start = FindLoopStart(frame.lines, index);
  if (counter == frame.loopCounters.end() || start == kNotFound) {
    engine_.ReportWarning();
    log_.LogLine("lend without corresponding loop command");
    return true;
  }
  if (counter->second-- > 1) {
    frame.next = start + 1;
  } else {
    frame.loopCounters.erase(counter);
  }
  return true;
}

bool CZEQLExecutor::CallSub(const std::string& name) {
  if (CZEQLSub* host = engine_.FindSub(engine_.HostSubs(), name)) {
    if (runningSubs_.count(host) != 0) return Fail("ZEQL is not re-entrant");
    ZEQLLine* caller = engine_.CurrentLine();
    const int result = ExecuteSub(*host);
    engine_.SetCurrentLine(caller);
    if (result == sub_result::kEnded) {
      engine_.statusCode = script_status::kRunning;
      return true;
    }
    subResult_ = result;
    return false;
  }
  if (const CZEQLSub* pin = engine_.FindSub(engine_.PinSubs(), name)) {
    return StartCompiledSub(*pin);
  }
  if (const CZEQLSub* reg = engine_.FindSub(engine_.RegisterSubs(), name)) {
    return StartCompiledSub(*reg);
  }
  return Fail("Sub not found.");
}

}  // namespace velmora
