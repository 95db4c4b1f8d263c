// CZEQLEngine: variables, the signal table, memory buffers and the location lines of errors
// and warnings.
#include "script/zeql_engine.h"

#include <algorithm>
#include <cstdint>

namespace velmora {

std::array<ZEQLSignal, kSignalCount> DefaultSignalTable() {
  using namespace signal_id;
  // Output and input places are the low bytes of LATB (0x8A), LATC (0x8B), TRISB (0x93),
  // TRISC (0x94), PORTB (0x81) and PORTC (0x82) of the programmer's own PIC18.
  return {{
      {kClk, "c", "CLK", 0x8A, 1, 0x81, 1, {}},
      {kData, "d", "DATA", 0x8A, 0, 0x81, 0, {}},
      {kData2, "", "DATA2", 0x8B, 5, 0x82, 5, {}},
      {kData3, "", "DATA3", 0x8B, 4, 0x82, 4, {}},
      {kData4, "", "DATA4", 0x8B, 3, 0x82, 3, {}},
      {kClkDir, "", "CLKDIR", 0x93, 1, 0x81, 1, {}},
      {kDataDir, "", "DATADIR", 0x93, 0, 0x81, 0, {}},
      {kData2Dir, "", "DATA2DIR", 0x94, 5, 0x82, 5, {}},
      {kData3Dir, "", "DATA3DIR", 0x94, 4, 0x82, 4, {}},
      {kData4Dir, "", "DATA4DIR", 0x94, 3, 0x82, 3, {}},
      {kReset, "RST", "RESET", -1, 0, -1, 0, {}},
      {kInput, "In", "INPUT", -1, 0, -1, 0, {}},
      {kOutput, "Out", "OUTPUT", -1, 0, -1, 0, {}},
      {kVpp, "", "VPP", -1, 0, -1, 0, {}},
      {kOn, "", "ON", -1, 0, -1, 0, {}},
      {kOff, "", "OFF", -1, 0, -1, 0, {}},
      {kHigh, "1", "HIGH", -1, 0, -1, 0, {}},
      {kLow, "0", "LOW", -1, 0, -1, 0, {}},
  }};
}

CZEQLEngine::CZEQLEngine(ILogSink& log, IUserPrompt& prompt)
    : log_(log), prompt_(prompt), signals_(DefaultSignalTable()) {}

CZEQLEngine::~CZEQLEngine() = default;

// ---- Messages ------------------------------------------------------------------------------

void CZEQLEngine::ReportLocation(const char* heading) {
  const std::string file = currentLine_ ? currentLine_->sourceFile : std::string();
  const int number = currentLine_ ? currentLine_->lineNumber : 0;
  log_.LogLine(std::string(heading) + " File \"" + file + "\" line " + std::to_string(number) +
               ".");
  log_.LogLine("\t" + (currentLine_ ? currentLine_->text : std::string()));
}

void CZEQLEngine::ReportError() {
  ++errorCount_;
  ReportLocation("Error in");
}

void CZEQLEngine::ReportWarning() {
  ++warningCount_;
  ReportLocation("Warning:");
}

// ---- Variables -----------------------------------------------------------------------------

ZEQLVariable* CZEQLEngine::FindVariable(std::string_view name) {
  auto it = std::find_if(variables_.begin(), variables_.end(),
                         [&](const ZEQLVariable& v) { return v.name == name; });
  return it == variables_.end() ? nullptr : &*it;
}

ZEQLVariable* CZEQLEngine::AppendVariable(std::string_view name) {
  ZEQLVariable& variable = variables_.emplace_back();
  variable.name = std::string(name);
  variable.constant = compileFlag;
  return &variable;
}

bool CZEQLEngine::MayOverwrite(const ZEQLVariable& variable) {
  if (!variable.constant || compileFlag) return true;
  ReportError();
  Log("You cannot overwrite constant variables.");
  statusCode = 7;
  return false;
}

void CZEQLEngine::SetVariableText(std::string_view name, std::string_view text) {
  ZEQLVariable* variable = FindVariable(name);
  if (variable == nullptr) {
    variable = AppendVariable(name);
  } else if (!MayOverwrite(*variable)) {
    return;
  }
  variable->text = std::string(text);
  variable->hasText = true;
  variable->numeric = false;
  variable->value = 0;
  variable->textFlag = !text.empty() && text[0] == '"';
}

void CZEQLEngine::SetVariableNumber(std::string_view name, int64_t value) {
  ZEQLVariable* variable = FindVariable(name);
  if (variable == nullptr) {
    variable = AppendVariable(name);
  } else if (!MayOverwrite(*variable)) {
    return;
  }
  variable->text.clear();
  variable->hasText = false;
  variable->textFlag = false;
  variable->numeric = true;
  variable->value = value;
}

void CZEQLEngine::SetVariableFromValue(std::string_view name, const ZEQLValue& value) {
  switch (value.kind) {
    case ZEQLValueKind::kNumber:
      SetVariableNumber(name, value.number);
      break;
    case ZEQLValueKind::kString:
    case ZEQLValueKind::kStringVariable:
      SetVariableText(name, "\"" + value.string + "\"");
      break;
    case ZEQLValueKind::kOther:
      SetVariableText(name, value.source);
      break;
  }
}

const std::string* CZEQLEngine::LookupVariable(std::string_view name) {
  ZEQLVariable* variable = FindVariable(name);
  lastLookupNumeric = false;
  lastLookupValue = 0;
  if (variable == nullptr) return nullptr;
  if (compileFlag) variable->constant = true;
  lastLookupNumeric = variable->numeric;
  lastLookupValue = variable->value;
  return variable->hasText ? &variable->text : nullptr;
}

int64_t CZEQLEngine::VariableValue(std::string_view name) {
  const ZEQLVariable* variable = FindVariable(name);
  if (variable == nullptr) {
    ReportWarning();
    Log("Variable \"" + std::string(name) + "\" is not defined. Set to 0.");
    return 0;
  }
  const std::string* text = LookupVariable(name);
  if (lastLookupNumeric) return lastLookupValue;
  if (text == nullptr) return 0;
  // A variable may stand for a whole expression, but never for itself.
  if (std::find(variablesInEvaluation_.begin(), variablesInEvaluation_.end(), variable) !=
      variablesInEvaluation_.end()) {
    ReportError();
    Log("\tVariable \"" + std::string(name) + "\" refers to itself.");
    return 0;
  }
  variablesInEvaluation_.push_back(variable);
  const std::string expression = *text;  // the evaluation may add variables, never remove
  const int64_t value = Evaluate(expression);
  variablesInEvaluation_.pop_back();
  return value;
}

// ---- Memory buffers ------------------------------------------------------------------------

CMCUMemoryArchitecture& CZEQLEngine::Buffer(ScriptBuffer which) {
  auto& buffer = buffers_[static_cast<int>(which)];
  if (!buffer) {
    buffer = std::make_unique<CMCUMemoryArchitecture>();
    buffer->Clear();
  }
  return *buffer;
}

int64_t CZEQLEngine::BufferByte(ScriptBuffer which) {
  const int64_t address = BufferAddress(which);
  if (address < 0 || address > UINT32_MAX) return 0xFF;
  return Buffer(which).ReadMaskedByte(static_cast<uint32_t>(address));
}

}  // namespace velmora
