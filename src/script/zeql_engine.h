#pragma once
// CZEQLEngine: the shared state of the ZEQL language, used by the reader, the compiler and
// the executor. This header holds the front end's part: variables, the signal table, the
// evaluation of expressions and operands, and the error and warning location lines.
//
// Sources by topic: zeql_engine.cpp (variables, messages, images), expression.cpp (the
// expression grammar), operands.cpp (register and signal operands).
#include <array>
#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <string_view>

#include "memory/memory_image.h"
#include "platform/log_sink.h"
#include "platform/user_prompt.h"
#include "script/zeql_types.h"

namespace velmora {

// The three memory buffers host subs read and write.
enum class ScriptBuffer : int { kFile = 0, kTemp = 1, kChip = 2 };

class CZEQLEngine {
 public:
  CZEQLEngine(ILogSink& log, IUserPrompt& prompt);
  virtual ~CZEQLEngine();
  CZEQLEngine(const CZEQLEngine&) = delete;
  CZEQLEngine& operator=(const CZEQLEngine&) = delete;

  // ---- Expressions ---------------------------------------------------------------------------

  // The 64-bit value of an expression; an empty text logs "Expression missing!" and gives 0.
  int64_t Evaluate(std::string_view text);
  // A right side as number, string or neither.
  ZEQLValue EvaluateValue(std::string_view text);
  // The string of a right side: a quoted literal or the text of a string variable.
  ZEQLValue GetString(std::string_view text);

  // ---- Variables -----------------------------------------------------------------------------

  void SetVariableText(std::string_view name, std::string_view text);
  void SetVariableNumber(std::string_view name, int64_t value);
  void SetVariableFromValue(std::string_view name, const ZEQLValue& value);
  ZEQLVariable* FindVariable(std::string_view name);
  // The variable's text (nullptr when it has none or does not exist); records whether it is
  // numeric in lastLookupNumeric/lastLookupValue. A variable read while compiling becomes
  // constant.
  const std::string* LookupVariable(std::string_view name);
  // The variable's number, or its text evaluated; an undefined name warns and gives 0.
  int64_t VariableValue(std::string_view name);
  const std::list<ZEQLVariable>& Variables() const { return variables_; }

  // ---- Operands ------------------------------------------------------------------------------

  RegisterOperand ParseRegisterOperand(std::string_view text);
  SignalOperand ParseSignalOperand(std::string_view text);
  std::array<ZEQLSignal, kSignalCount>& Signals() { return signals_; }

  // ---- Messages ------------------------------------------------------------------------------

  // Count one error or warning and log the location lines of the current line; the caller
  // logs its own message line after them.
  void ReportError();
  void ReportWarning();
  void Log(std::string_view text) { log_.LogLine(text); }
  int ErrorCount() const { return errorCount_; }
  int WarningCount() const { return warningCount_; }
  void ResetCounters() { errorCount_ = warningCount_ = 0; }

  // The line messages refer to (nullptr: none).
  void SetCurrentLine(const ZEQLLine* line) { currentLine_ = line; }
  const ZEQLLine* CurrentLine() const { return currentLine_; }

  // ---- Memory buffers ------------------------------------------------------------------------

  // The buffer's image, made on first use.
  CMCUMemoryArchitecture& Buffer(ScriptBuffer which);
  int64_t BufferAddress(ScriptBuffer which) const {
    return bufferAddress_[static_cast<int>(which)];
  }
  void SetBufferAddress(ScriptBuffer which, int64_t address) {
    bufferAddress_[static_cast<int>(which)] = address;
  }
  // The byte at the buffer's current address through its mask; blank and unmapped read 0xFF.
  int64_t BufferByte(ScriptBuffer which);

  // ---- State fields --------------------------------------------------------------------------
  bool compileFlag = false;
  bool lastLookupNumeric = false;
  int64_t lastLookupValue = 0;
  bool purelyNumeric = true;
  int64_t resultValue = 0;  // `_result`
  int statusCode = 0;

 protected:
  ILogSink& log_;
  IUserPrompt& prompt_;

 private:
  friend class ExpressionScanner;

  ZEQLVariable* AppendVariable(std::string_view name);
  // False (after the error lines) when a constant may not be overwritten now.
  bool MayOverwrite(const ZEQLVariable& variable);
  void ReportLocation(const char* format);
  RegisterOperand ParseRegisterOperandAt(std::string_view text, int depth);

  std::list<ZEQLVariable> variables_;
  std::array<ZEQLSignal, kSignalCount> signals_;
  std::array<std::unique_ptr<CMCUMemoryArchitecture>, 3> buffers_;
  std::array<int64_t, 3> bufferAddress_ = {0, 0, 0};
  const ZEQLLine* currentLine_ = nullptr;
  int errorCount_ = 0;
  int warningCount_ = 0;
  // Expressions and variables being evaluated, so that a variable that stands for itself is
  // caught instead of recursing without end.
  int evaluationDepth_ = 0;
  std::list<const ZEQLVariable*> variablesInEvaluation_;
};

}  // namespace velmora
