// Reading a ZEQ script: header variables, port definitions, includes and sub bodies.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>

#include "platform/whole_file.h"
#include "script/programmer_cpu/zeql_pic18.h"
#include "script/script_text.h"
#include "script/zeql_engine.h"

namespace velmora {

namespace {

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

// Includes nest no deeper than this even without a cycle.
constexpr size_t kMaxIncludeDepth = 32;

}  // namespace

CZEQLSub* CZEQLEngine::FindSub(const SubList& list, std::string_view name) const {
  for (const auto& sub : list) {
    if (!sub->name.empty() && sub->name == name) return sub.get();
  }
  return nullptr;
}

void CZEQLEngine::SetFileName(int slot, const std::string& path) {
  if (slot >= 0 && slot < static_cast<int>(fileNames_.size())) {
    fileNames_[static_cast<size_t>(slot)] = path;
  }
}

bool CZEQLEngine::SetCodeArea(int start, int end) {
  // An area outside the 64 KB image, or one that ends before it starts, would let the code
  // and the upload run past the image.
  if (start < 0 || end < start || end > kCodeImageSize) return false;
  codeStart_ = start;
  codeEnd_ = end;
  return true;
}

void CZEQLEngine::SetGenerator(std::unique_ptr<CZEQLMCU> generator) {
  generator_ = std::move(generator);
}

void CZEQLEngine::SetScriptFirmwareAddresses(int delayBase, int secondEntry, int receiveRoutine) {
  if (generator_) generator_->SetFirmwareAddresses(delayBase, secondEntry, receiveRoutine);
}

void CZEQLEngine::OnProgrammerOpened() {
  if (!generator_) generator_ = std::make_unique<CZEQLPIC18>(*this);
}

void CZEQLEngine::ResetScript() {
  hostSubs_.clear();
  registerSubs_.clear();
  pinSubs_.clear();
  specialisedSubs_.clear();
  variables_.clear();
  for (auto& name : fileNames_) name.clear();
  signals_ = DefaultSignalTable();
  for (auto& buffer : buffers_) {
    if (buffer) buffer->Clear();
  }
  std::fill(codeImage_.begin(), codeImage_.end(), 0xFF);
  bufferAddress_ = {0, 0, 0};
  resultValue = 0;
  currentLine_ = nullptr;
  currentSub = nullptr;
  codeUploaded_ = false;
}

void CZEQLEngine::StoreSub(std::unique_ptr<CZEQLSub> sub) {
  SubList* list = nullptr;
  switch (sub->name.empty() ? '\0' : sub->name[0]) {
    case '#':
      list = &hostSubs_;
      break;
    case '*':
      list = &registerSubs_;
      break;
    case '@':
      list = &pinSubs_;
      break;
    default:
      return;  // ignored with its lines
  }
  if (CZEQLSub* existing = FindSub(*list, sub->name)) {
    existing->lines = sub->lines;
    existing->entry = sub->entry;
    return;
  }
  if (sub->name[0] == '@') {
    auto pinSub = std::make_unique<CZEQLSubLevel3>(this);
    pinSub->name = sub->name;
    pinSub->lines = sub->lines;
    pinSub->entry = sub->entry;
    sub = std::move(pinSub);
  }
  auto empty =
      std::find_if(list->begin(), list->end(), [](const auto& s) { return s->name.empty(); });
  if (empty != list->end()) {
    *empty = std::move(sub);
  } else {
    list->push_back(std::move(sub));
  }
}

void CZEQLEngine::ReadPortLine(const std::vector<std::string>& tokens) {
  auto equal = [](std::string_view a, std::string_view b) { return Lower(a) == Lower(b); };
  ZEQLSignal* signal = nullptr;
  if (tokens.size() >= 3) {
    for (ZEQLSignal& s : signals_) {
      if ((*s.shortName != '\0' && equal(s.shortName, tokens[1])) || equal(s.longName, tokens[1])) {
        signal = &s;
        break;
      }
    }
  }
  if (signal == nullptr) {
    ReportError();
    Log("Error in port definition");
    return;
  }
  signal->alias = tokens[2];
  for (size_t i = 3; i < tokens.size(); ++i) {
    if (equal(tokens[i], "invert")) signal->invert = true;
    if (equal(tokens[i], "clean")) signal->clean = true;
  }
}

void CZEQLEngine::ReadScript(const std::string& path) {
  if (path.empty()) return;
  std::vector<std::string> includeChain;
  const bool wasCompiling = compileFlag;
  compileFlag = true;
  ReadScriptFile(path, includeChain);
  compileFlag = wasCompiling;
  currentLine_ = nullptr;
}

void CZEQLEngine::ReadScriptFile(const std::string& path, std::vector<std::string>& includeChain) {
  FileBytes bytes;
  if (const int error = ReadWholeFile(path, bytes); error != 0) {
    prompt_.MessageBox(std::strerror(error), "Programmer Error!", mb::kErrorAlert);
    Log("File not found :\"" + path + "\"");
    return;
  }
  const std::string canonical = std::filesystem::weakly_canonical(path).string();
  includeChain.push_back(canonical);
  std::string text(bytes.View());
  text += '\r';

  const std::string sourceFile = ShortenSourcePath(path);
  ScriptLineReader reader(text);
  ScriptSourceLine source;
  std::unique_ptr<CZEQLSub> openSub;
  ZEQLLine headerLine;
  while (reader.ReadLine(source)) {
    if (openSub) {
      if (Lower(source.text) == "end") {
        StoreSub(std::move(openSub));
        continue;
      }
      ZEQLLine& line = openSub->Lines().emplace_back();
      line.text = std::string(source.text);
      line.sourceFile = sourceFile;
      line.lineNumber = source.lineNumber;
      if (line.text.find_first_of(" \t,") == std::string::npos && line.text.size() > 1 &&
          line.text.back() == ':') {
        line.labelLength = static_cast<int>(line.text.size()) - 1;
      }
      continue;
    }

    headerLine.text = std::string(source.text);
    headerLine.sourceFile = sourceFile;
    headerLine.lineNumber = source.lineNumber;
    currentLine_ = &headerLine;
    const std::vector<std::string> tokens = SplitTokens(source.text, false);
    if (tokens.empty()) continue;
    const std::string word = Lower(tokens[0]);
    if (word == "sub" && tokens.size() >= 2) {
      openSub = std::make_unique<CZEQLSub>(this);
      openSub->name = tokens[1];
      openSub->entry = tokens.size() >= 3 && Lower(tokens[2]) == "entry";
    } else if (tokens.size() == 3 && tokens[1] == "=") {
      SetVariableText(tokens[0], tokens[2]);
    } else if (word == "port") {
      ReadPortLine(tokens);
    } else if (word == "#include" && tokens.size() >= 2) {
      const ZEQLValue name = GetString(tokens[1]);
      const std::filesystem::path included =
          std::filesystem::path(path).parent_path() / name.string;
      const std::string includedCanonical = std::filesystem::weakly_canonical(included).string();
      const bool cycle = std::find(includeChain.begin(), includeChain.end(), includedCanonical) !=
                         includeChain.end();
      if (name.kind == ZEQLValueKind::kOther || name.kind == ZEQLValueKind::kNumber || cycle ||
          includeChain.size() >= kMaxIncludeDepth) {
        Log("Include error");
      } else {
        ReadScriptFile(included.string(), includeChain);
        currentLine_ = &headerLine;
      }
    }
  }
  currentLine_ = nullptr;
  includeChain.pop_back();
}

}  // namespace velmora
