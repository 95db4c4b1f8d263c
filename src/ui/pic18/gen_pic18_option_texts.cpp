// Writes the item texts of the PIC18 option lists for every catalogue device, read from the
// gputils device headers: for each list field of a device's configuration layout, the header's
// settings of that field give one text per field value.
//
//   gen_pic18_option_texts <gputils header directory> <output .cpp>
#include <algorithm>
#include <cctype>
#include <fstream>
#include <iostream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "families/pic18/config_pic18.h"
#include "memory/catalogue.h"

namespace {

using velmora::OptionId;

// The options the pages show as lists; the others are check boxes.
constexpr OptionId kListOptions[] = {
    velmora::PIC18FOSC,    velmora::PIC18BORV,    velmora::PIC18BOREN,   velmora::PIC18WDTPS,
    velmora::PIC18CCP2MX,  velmora::PIC18CPUDIV,  velmora::PIC18PLLDIV,  velmora::PIC18BBSIZE,
    velmora::PIC18COMMON1, velmora::PIC18COMMON2, velmora::PIC18COMMON3,
};

// The program's own short texts for the first PIC18 generation, in place of the header texts.
struct Override {
  OptionId option;
  std::vector<std::string> items;
};
const char* const kFirstGeneration[] = {"PIC18F242", "PIC18F252", "PIC18F442", "PIC18F452"};
const Override kFirstGenerationTexts[] = {
    {velmora::PIC18FOSC,
     {"LP", "XT", "HS", "RC OSC2=f/4", "EC OSC2=f/4", "EC OSC2=RA6", "HS PLL on", "RC OSC2=RA6"}},
    {velmora::PIC18BORV, {"4.5V", "4.2V", "2.7V", "2.0V"}},
    {velmora::PIC18BOREN, {"BOR off", "BOR on"}},
    {velmora::PIC18WDTPS, {"1:1", "1:2", "1:4", "1:8", "1:16", "1:32", "1:64", "1:128"}},
    {velmora::PIC18CCP2MX, {"CCP2 mux RB3", "CCP2 mux RC1"}},
};

void ApplyOverrides(const std::string& device, OptionId option, std::vector<std::string>& items) {
  if (std::find(std::begin(kFirstGeneration), std::end(kFirstGeneration), device) ==
      std::end(kFirstGeneration)) {
    return;
  }
  for (const auto& o : kFirstGenerationTexts) {
    if (o.option == option && o.items.size() == items.size()) items = o.items;
  }
}

const char* const kByteNames[velmora::kPic18ConfigBytes] = {
    "1L", "1H", "2L", "2H", "3L", "3H", "4L", "4H", "5L", "5H", "6L", "6H", "7L", "7H"};

// One header symbol such as _FOSC_HSPLL_HS_1H (newer headers: name first) or _HSPLL_OSC_1H
// (older headers: value first).
struct Setting {
  std::string firstToken;  // "FOSC" or "HSPLL"
  std::string lastToken;   // "HS" or "OSC"
  std::string body;        // "FOSC_HSPLL_HS" or "HSPLL_OSC"
  unsigned byteValue;
  std::string text;
};

struct Header {
  std::map<std::string, std::vector<Setting>> sections;  // by byte name ("1H")
  std::map<std::string, std::string> titles;             // setting name -> description
};

std::string Trim(std::string s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.pop_back();
  size_t start = 0;
  while (start < s.size() && std::isspace(static_cast<unsigned char>(s[start]))) ++start;
  return s.substr(start);
}

bool ReadHeader(const std::string& path, Header& header) {
  std::ifstream in(path);
  if (!in) return false;
  static const std::regex kTitle(R"(^;   (\S.*):\s*$)");
  static const std::regex kChoice(R"(^;     (\w+) = )");
  static const std::regex kSection(R"(^;----- CONFIG(\d[LH]) Options)");
  static const std::regex kEntry(R"(^_(\w+)_(\d[LH])\s+EQU\s+H'([0-9A-Fa-f]{2})'\s*(;(.*))?$)");
  std::string line;
  std::string title;
  std::string section;
  std::smatch m;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (std::regex_search(line, m, kTitle)) {
      title = Trim(m[1]);
    } else if (std::regex_search(line, m, kChoice)) {
      header.titles.emplace(m[1], title);
    } else if (std::regex_search(line, m, kSection)) {
      section = m[1];
    } else if (!section.empty() && std::regex_search(line, m, kEntry) && m[2] == section) {
      const std::string body = m[1];
      header.sections[section].push_back(
          {body.substr(0, body.find('_')), body.substr(body.rfind('_') + 1), body,
           static_cast<unsigned>(std::stoul(m[3].str(), nullptr, 16)),
           Trim(m[5].matched ? m[5].str() : std::string())});
    }
  }
  return true;
}

std::string Binary(unsigned value, int width) {
  std::string bits;
  for (int i = width - 1; i >= 0; --i) bits += ((value >> i) & 1u) ? '1' : '0';
  return bits;
}

// Drops " bits"/" bit" and the like from a description.
std::string Label(std::string title) {
  for (const char* suffix : {" Select bits", " Select bit", " bits", " bit"}) {
    const std::string s(suffix);
    if (title.size() > s.size() && title.compare(title.size() - s.size(), s.size(), s) == 0) {
      return title.substr(0, title.size() - s.size());
    }
  }
  return title;
}

std::string Quote(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += (static_cast<unsigned char>(c) < 0x20) ? ' ' : c;
  }
  return out + "\"";
}

struct ListTexts {
  std::string label;
  std::vector<std::string> items;
};

// A symbol without a comment, as "BORV = 1".
std::string Spelled(const Setting& s) {
  const size_t split = s.body.find('_');
  return split == std::string::npos ? s.body
                                    : s.body.substr(0, split) + " = " + s.body.substr(split + 1);
}

// The group of symbols whose cleared bits make up exactly the field's bits.
bool FindListIn(const Header& header,
                const std::map<std::string, std::vector<const Setting*>>& byName,
                const velmora::Pic18Field& field, ListTexts& out) {
  const unsigned mask = field.Mask();
  for (const auto& [name, settings] : byName) {
    unsigned varying = 0;
    bool inside = true;
    for (const Setting* s : settings) {
      const unsigned cleared = ~s->byteValue & 0xFFu;
      inside = inside && (cleared & ~mask) == 0;
      varying |= cleared;
    }
    if (!inside || varying != mask || settings.size() < 2) continue;
    const unsigned count = 1u << field.width;
    out.items.assign(count, std::string());
    for (const Setting* s : settings) {
      const unsigned value = (s->byteValue & mask) >> field.shift;
      if (out.items[value].empty()) out.items[value] = s->text.empty() ? Spelled(*s) : s->text;
    }
    for (unsigned value = 0; value < count; ++value) {
      if (out.items[value].empty()) out.items[value] = name + " " + Binary(value, field.width);
    }
    const auto title = header.titles.find(name);
    out.label = title != header.titles.end() ? Label(title->second) : name;
    return true;
  }
  return false;
}

// The header setting that lives exactly in the field's bits, or none.
bool FindList(const Header& header, const velmora::Pic18Field& field, ListTexts& out) {
  const auto section = header.sections.find(kByteNames[field.byte]);
  if (section == header.sections.end()) return false;
  // Group the symbols by setting name: the first token in newer headers, the last in older.
  for (const bool nameFirst : {true, false}) {
    std::map<std::string, std::vector<const Setting*>> byName;
    for (const auto& setting : section->second) {
      byName[nameFirst ? setting.firstToken : setting.lastToken].push_back(&setting);
    }
    if (FindListIn(header, byName, field, out)) return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: gen_pic18_option_texts <gputils header dir> <output.cpp>\n";
    return 2;
  }
  const std::string dir = argv[1];
  std::ostringstream items;
  std::ostringstream rows;
  int tables = 0;
  for (int row = 1; row <= velmora::kPic18DeviceRows; ++row) {
    const std::string device = velmora::kPic18Devices[row].name;
    std::string file = device;
    std::transform(file.begin(), file.end(), file.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    Header header;
    if (!ReadHeader(dir + "/p" + file.substr(3) + ".inc", header)) {
      std::cerr << "no gputils header for " << device << "\n";
      return 1;
    }
    const std::vector<velmora::Pic18Field> fields = velmora::Pic18FieldsOf(device);
    // Every catalogued device has a layout; one without would silently get no option lists.
    if (fields.empty()) {
      std::cerr << "no configuration layout for " << device << "\n";
      return 1;
    }
    for (const auto& field : fields) {
      if (std::find(std::begin(kListOptions), std::end(kListOptions), field.option) ==
          std::end(kListOptions)) {
        continue;
      }
      ListTexts texts;
      if (!FindList(header, field, texts)) {
        std::cerr << device << ": no setting for " << velmora::kOptionNames[field.option] << "\n";
        return 1;
      }
      ApplyOverrides(device, field.option, texts.items);
      items << "constexpr const char* kItems" << tables << "[] = {";
      for (size_t i = 0; i < texts.items.size(); ++i) {
        items << (i ? ", " : "") << Quote(texts.items[i]);
      }
      items << "};\n";
      rows << "    {" << Quote(device) << ", " << velmora::kOptionNames[field.option] << ", "
           << Quote(texts.label) << ", kItems" << tables << ", " << texts.items.size() << "},\n";
      ++tables;
    }
  }
  std::ofstream out(argv[2]);
  out << "// Generated by gen_pic18_option_texts from the gputils device headers.\n"
      << "#include <algorithm>\n\n#include \"ui/pic18/pic18_option_texts.h\"\n\n"
      << "namespace velmora {\nnamespace {\n\n"
      << "// clang-format off\n"
      << items.str() << "\nconstexpr Pic18ListTexts kTables[] = {\n"
      << rows.str() << "};\n// clang-format on\n\n}  // namespace\n\n"
      << "const Pic18ListTexts* FindPic18ListTexts(std::string_view device, OptionId option) {\n"
      << "  const auto* it = std::find_if(std::begin(kTables), std::end(kTables), [&](const "
         "Pic18ListTexts& t) {\n"
      << "    return t.option == option && device == t.device;\n  });\n"
      << "  return it == std::end(kTables) ? nullptr : it;\n}\n\n}  // namespace velmora\n";
  return out ? 0 : 1;
}
