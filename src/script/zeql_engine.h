#pragma once
// CZEQLEngine: the shared state of the ZEQL language, used by the reader, the compiler and
// the executor. This header holds the front end's part: variables, the signal table, the
// evaluation of expressions and operands, and the error and warning location lines.
//
// Sources by topic: zeql_engine.cpp (variables, messages, images), expression.cpp (the
// expression grammar), operands.cpp (register and signal operands), script_reader.cpp
// (ReadScript, ResetScript), compiler.cpp (the pass loop, statistics, upload),
// register_statements.cpp and pin_statements.cpp (the statements of compiled subs).
#include <array>
#include <cstdint>
#include <list>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "link/script_host.h"
#include "memory/memory_image.h"
#include "platform/log_sink.h"
#include "platform/user_prompt.h"
#include "script/programmer_cpu/zeql_mcu.h"
#include "script/zeql_subs.h"
#include "script/zeql_types.h"

namespace velmora {

class CPICVortang;

// The three memory buffers host subs read and write.
enum class ScriptBuffer : int { kFile = 0, kTemp = 1, kChip = 2 };

class CZEQLEngine : public IScriptHost {
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
  // Counts an error that belongs to no line.
  void CountError() { ++errorCount_; }
  void Log(std::string_view text) { log_.LogLine(text); }
  int ErrorCount() const { return errorCount_; }
  int WarningCount() const { return warningCount_; }
  void ResetCounters() { errorCount_ = warningCount_ = 0; }

  // The line messages refer to (nullptr: none).
  void SetCurrentLine(ZEQLLine* line) { currentLine_ = line; }
  ZEQLLine* CurrentLine() const { return currentLine_; }

  // ---- Scripts -------------------------------------------------------------------------------

  // Reads a ZEQ file and the files it includes: header variables, ports, subs.
  void ReadScript(const std::string& path);
  // Frees subs, variables and file names, clears aliases, images and the code image.
  void ResetScript();
  // Compiles what was read and uploads it.
  void Compile();
  void SetFileName(int slot, const std::string& path);
  const std::string& FileName(int slot) const { return fileNames_.at(static_cast<size_t>(slot)); }

  using SubList = std::vector<std::unique_ptr<CZEQLSub>>;
  const SubList& HostSubs() const { return hostSubs_; }
  const SubList& RegisterSubs() const { return registerSubs_; }
  const SubList& PinSubs() const { return pinSubs_; }
  const SubList& SpecialisedSubs() const { return specialisedSubs_; }
  CZEQLSub* FindSub(const SubList& list, std::string_view name) const;

  // ---- Code image and generator --------------------------------------------------------------

  static constexpr int kCodeImageSize = 65536;
  std::vector<uint8_t>& CodeImage() { return codeImage_; }
  std::vector<uint8_t>& UploadImage() { return uploadImage_; }
  int CodeStart() const { return codeStart_; }
  int CodeEnd() const { return codeEnd_; }
  // The algorithm area the programmer reports; refused (false) unless start <= end <= 65536.
  bool SetCodeArea(int start, int end);
  // The generator; the engine owns it from the first successful open on.
  void SetGenerator(std::unique_ptr<CZEQLMCU> generator);
  CZEQLMCU* Generator() const { return generator_.get(); }
  // The programmer that uploads compiled code (nullptr: none).
  void SetProgrammer(CPICVortang* programmer) { programmer_ = programmer; }
  CPICVortang* Programmer() const { return programmer_; }
  // The link's view (IScriptHost).
  std::span<uint8_t> ScriptCodeImage() override { return codeImage_; }
  std::span<uint8_t> ScriptUploadImage() override { return uploadImage_; }
  int ScriptCodeStart() const override { return codeStart_; }
  int ScriptCodeEnd() const override { return codeEnd_; }
  bool SetScriptCodeArea(int start, int end) override { return SetCodeArea(start, end); }
  void SetScriptFirmwareAddresses(int delayBase, int secondEntry, int receiveRoutine) override;
  // Makes the PIC18 generator at the first successful open.
  void OnProgrammerOpened() override;
  // True after a compilation whose code reached the programmer; compiled subs may run only then.
  bool CodeUploaded() const { return codeUploaded_; }
  // Passes of the last compilation.
  int PassCount() const { return passCounter; }

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
  // Time account of the current line (hundredths of an instruction cycle) and the default time
  // of pin-level lines.
  int64_t elapsedTime = 0;
  int64_t targetTime = 0;
  int64_t defaultLineTime = 1000;
  CZEQLSub* currentSub = nullptr;
  int passCounter = 0;
  int parameterSize = 4;
  bool stableFlag = false;

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

  // Reading.
  void ReadScriptFile(const std::string& path, std::vector<std::string>& includeChain);
  void StoreSub(std::unique_ptr<CZEQLSub> sub);
  void ReadPortLine(const std::vector<std::string>& tokens);
  // Compiling.
  void RunPass();
  void CompilePinSub(CZEQLSubLevel3& sub);
  void CompileRegisterSub(CZEQLSub& sub);
  void CompilePinLine(CZEQLSubLevel3& sub, ZEQLLine& line);
  void CompileRegisterLine(CZEQLSub& sub, size_t index);
  void DropSpecialisedCopiesForSpace();
  void UploadAndReport(int mandatoryEnd);
  // Register-level statements.
  void CompileAssignment(const std::vector<std::string>& tokens);
  void CompileArithmetic(const std::vector<std::string>& tokens);
  void CompileLoop(CZEQLSub& sub, size_t index, const std::vector<std::string>& tokens);
  void CompileLoopEnd(CZEQLSub& sub, size_t index);
  void CompileCall(const std::vector<std::string>& tokens);
  void CompileSendOrGet(const std::vector<std::string>& tokens, bool send);
  void CompileBranch(CZEQLSub& sub, const std::vector<std::string>& tokens, bool equal);
  int LabelAddress(CZEQLSub& sub, std::string_view label, bool& found);
  CZEQLSubLevel3* SpecialisedCopy(CZEQLSubLevel3& generic, uint32_t value);

  SubList hostSubs_;
  SubList registerSubs_;
  SubList pinSubs_;
  SubList specialisedSubs_;
  std::vector<uint8_t> codeImage_ = std::vector<uint8_t>(kCodeImageSize, 0xFF);
  std::vector<uint8_t> uploadImage_ = std::vector<uint8_t>(kCodeImageSize, 0xFF);
  int codeStart_ = 1;
  int codeEnd_ = 1;
  std::unique_ptr<CZEQLMCU> generator_;
  CPICVortang* programmer_ = nullptr;
  bool codeUploaded_ = false;
  int previousPassEnd_ = -1;
  int mandatoryEnd_ = 0;
  int codeEndOfLastPass_ = 0;
  std::array<std::string, 4> fileNames_;

  std::list<ZEQLVariable> variables_;
  std::array<ZEQLSignal, kSignalCount> signals_;
  std::array<std::unique_ptr<CMCUMemoryArchitecture>, 3> buffers_;
  std::array<int64_t, 3> bufferAddress_ = {0, 0, 0};
  ZEQLLine* currentLine_ = nullptr;
  int errorCount_ = 0;
  int warningCount_ = 0;
  // Expressions and variables being evaluated, so that a variable that stands for itself is
  // caught instead of recursing without end.
  int evaluationDepth_ = 0;
  std::list<const ZEQLVariable*> variablesInEvaluation_;
};

}  // namespace velmora
