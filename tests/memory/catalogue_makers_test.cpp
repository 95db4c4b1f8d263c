// Every catalogue row against the makers' data as the toolchains package it: the PIC rows
// against gputils (gpasm's processor properties: program size, EEPROM range, implemented
// configuration bits; the device header's __BADRAM for the general-purpose RAM), the AVR rows
// against avr-libc's io headers (signature, flash, EEPROM, SRAM, page size, fuse bytes).
// Where a row keeps a value the makers' data contradict, the exception is listed here with its
// reason; a new difference fails.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <regex>
#include <set>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "memory/catalogue.h"

namespace velmora {
namespace {

const std::filesystem::path kGputilsHeaders = "/usr/share/gputils/header";
const std::filesystem::path kAvrLibcHeaders = "/usr/lib/avr/include/avr";

std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// gpasm's processor properties ("gpasm -s -p p18f4550").
std::string GpasmProperties(const std::string& processor) {
  const std::string command = std::string(VELMORA_GPASM) + " -s -p " + processor + " 2>&1";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  std::string out;
  if (!pipe) return out;
  char buffer[4096];
  while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe.get())) out.append(buffer, n);
  return out;
}

std::optional<uint32_t> Number(const std::string& text, const std::string& pattern) {
  std::smatch match;
  if (!std::regex_search(text, match, std::regex(pattern))) return std::nullopt;
  return static_cast<uint32_t>(std::stoul(match[1].str(), nullptr, 0));
}

// What gputils says about one PIC.
struct PicFacts {
  bool known = false;
  uint32_t programSize = 0;  // bytes (PIC18) or words (PIC10/12/16)
  uint32_t eepromSize = 0;
  uint32_t ramSize = 0;  // general-purpose RAM below the first unimplemented or SFR address
  std::map<uint32_t, uint32_t> configMasks;  // by address: bits some option changes
};

PicFacts GputilsFacts(const std::string& catalogueName) {
  const std::string part = Lower(catalogueName.substr(3));  // "PIC18F452" -> "18f452"
  PicFacts facts;
  const std::string properties = GpasmProperties("p" + part);
  const auto size = Number(properties, R"(Program Size\s*:\s*(\d+))");
  if (!size) return facts;
  facts.known = true;
  facts.programSize = *size;
  std::smatch match;
  if (std::regex_search(properties, match,
                        std::regex(R"(EEPROM Range\s*:\s*(0x[0-9A-F]+) - (0x[0-9A-F]+))"))) {
    facts.eepromSize =
        std::stoul(match[2].str(), nullptr, 16) - std::stoul(match[1].str(), nullptr, 16) + 1;
  }
  const std::regex word(R"(Config Word\s*: address = (0x[0-9A-F]+), mask = (0x[0-9A-F]+))");
  for (std::sregex_iterator it(properties.begin(), properties.end(), word), end; it != end; ++it) {
    facts.configMasks[std::stoul((*it)[1].str(), nullptr, 16)] =
        std::stoul((*it)[2].str(), nullptr, 16);
  }
  // PIC18: GPR from 0 up to the first unimplemented address or the access bank's SFRs.
  if (const auto split = Number(properties, R"(Access Split\s*:\s*(0x[0-9A-F]+))")) {
    uint32_t end = 0xF00 + *split;
    const std::string header = ReadText(kGputilsHeaders / ("p" + part + ".inc"));
    const std::regex bad(R"(__BADRAM\s+H'([0-9A-F]+)')");
    for (std::sregex_iterator it(header.begin(), header.end(), bad), last; it != last; ++it) {
      end = std::min<uint32_t>(end, std::stoul((*it)[1].str(), nullptr, 16));
    }
    facts.ramSize = end;
  } else if (std::regex_search(properties, match,
                               std::regex(R"(Common RAM\s*:\s*(0x[0-9A-F]+) - (0x[0-9A-F]+))"))) {
    facts.ramSize =
        std::stoul(match[2].str(), nullptr, 16) - std::stoul(match[1].str(), nullptr, 16) + 1;
  }
  return facts;
}

bool GputilsInstalled() {
  return std::filesystem::exists(kGputilsHeaders / "p18f452.inc") &&
         GputilsFacts("PIC18F452").known;
}

// Values a row keeps although gputils differs, and why.
struct KeptValue {
  const char* device;
  const char* column;  // "ram" or "config<index>"
  const char* why;
};
constexpr KeptValue kPic18Kept[] = {
    {"PIC18F6525", "ram", "gputils 3840; no chip document found; the RAM dump reads 96 more"},
    {"PIC18F6621", "ram", "gputils 3840; no chip document found; the RAM dump reads 96 more"},
    {"PIC18F8525", "ram", "gputils 3840; no chip document found; the RAM dump reads 96 more"},
    {"PIC18F8621", "ram", "gputils 3840; no chip document found; the RAM dump reads 96 more"},
    {"PIC18F2221", "config6", "bit 3 not in gputils; unconfirmed which is right; encoded as 0"},
    {"PIC18F2321", "config6", "bit 3 not in gputils; unconfirmed which is right; encoded as 0"},
    {"PIC18F4221", "config6", "bit 3 not in gputils; unconfirmed which is right; encoded as 0"},
    {"PIC18F4321", "config6", "bit 3 not in gputils; unconfirmed which is right; encoded as 0"},
};

bool Kept(std::span<const KeptValue> kept, std::string_view device, std::string_view column) {
  for (const KeptValue& k : kept) {
    if (device == k.device && column == k.column) return true;
  }
  return false;
}

TEST(CatalogueAgainstGputils, EveryPic18Row) {
  if (!GputilsInstalled()) GTEST_SKIP() << "gputils is not installed";
  for (int row = 1; row <= kPic18DeviceRows; ++row) {
    const Pic18Device& d = kPic18Devices[row];
    SCOPED_TRACE(d.name);
    const PicFacts facts = GputilsFacts(d.name);
    ASSERT_TRUE(facts.known);
    EXPECT_EQ(static_cast<uint32_t>(d.programSize), facts.programSize);
    EXPECT_EQ(static_cast<uint32_t>(d.eepromSize), facts.eepromSize);
    if (!Kept(kPic18Kept, d.name, "ram")) {
      EXPECT_EQ(static_cast<uint32_t>(d.ramSize), facts.ramSize);
    }
    for (int i = 0; i < 14; ++i) {
      if (Kept(kPic18Kept, d.name, "config" + std::to_string(i))) continue;
      const auto mask = facts.configMasks.find(0x300000 + i);
      const uint32_t expected = mask == facts.configMasks.end() ? 0 : mask->second;
      EXPECT_EQ(d.configMasks[i], expected) << "CONFIG byte " << i;
    }
  }
}

// The kept values still differ from gputils: once they agree, their entry goes.
TEST(CatalogueAgainstGputils, KeptPic18ValuesStillDiffer) {
  if (!GputilsInstalled()) GTEST_SKIP() << "gputils is not installed";
  for (const KeptValue& kept : kPic18Kept) {
    SCOPED_TRACE(std::string(kept.device) + " " + kept.column + ": " + kept.why);
    CMCUMemoryArchitecture image;
    ASSERT_TRUE(FillDescriptorByName(image, kept.device));
    const Pic18Device& d = kPic18Devices[image.deviceIndex];
    const PicFacts facts = GputilsFacts(d.name);
    const std::string column = kept.column;
    if (column == "ram") {
      EXPECT_NE(static_cast<uint32_t>(d.ramSize), facts.ramSize);
    } else {
      const int i = std::stoi(column.substr(6));
      EXPECT_NE(d.configMasks[i], facts.configMasks.at(0x300000 + i));
    }
  }
}

TEST(CatalogueAgainstGputils, EveryPic12AndPic16Row) {
  if (!GputilsInstalled()) GTEST_SKIP() << "gputils is not installed";
  for (int row = 1; row <= kPic12DeviceRows; ++row) {
    const Pic12Device& d = kPic12Devices[row];
    SCOPED_TRACE(d.name);
    const PicFacts facts = GputilsFacts(d.name);
    ASSERT_TRUE(facts.known);
    EXPECT_EQ(static_cast<uint32_t>(d.programSize), facts.programSize);
    EXPECT_EQ(static_cast<uint32_t>(d.eepromSize), facts.eepromSize);
    EXPECT_EQ(static_cast<uint32_t>(d.ramSize), facts.ramSize);
  }
}

// The PIC10F20x parts: the program memory a part really has against the size of the type the
// catalogue offers for it. A type names its parts ("PIC10F200/202" offers PIC10F200 and
// PIC10F202); the types whose names say they are not for programming are left out.
std::vector<std::string> PartsOfType(const std::string& typeName) {
  std::vector<std::string> parts;
  if (typeName.find("DON'T USE") != std::string::npos) return parts;
  const std::smatch match = [&] {
    std::smatch m;
    std::regex_search(typeName, m, std::regex(R"(^(PIC10F)(\d+)((/\d+)*))"));
    return m;
  }();
  if (match.empty()) return parts;
  const std::string prefix = match[1].str();
  const std::string first = match[2].str();
  parts.push_back(prefix + first);
  std::string rest = match[3].str();
  const std::regex more(R"(/(\d+))");
  for (std::sregex_iterator it(rest.begin(), rest.end(), more), end; it != end; ++it) {
    const std::string digits = (*it)[1].str();
    // "200/202": the later numbers replace the last digits of the first.
    parts.push_back(prefix + first.substr(0, first.size() - digits.size()) + digits);
  }
  return parts;
}

// Parts whose offered type has another size than the part: none, since the types pair the parts
// of one size.
const std::set<std::string> kPic10PartsOfferedWithAnotherSize = {};

TEST(CatalogueAgainstGputils, Pic10PartsAndTheTypesOfferedForThem) {
  if (!GputilsInstalled()) GTEST_SKIP() << "gputils is not installed";
  EXPECT_THAT(PartsOfType("PIC10F200/202"), ::testing::ElementsAre("PIC10F200", "PIC10F202"));
  EXPECT_THAT(PartsOfType("PIC10F206"), ::testing::ElementsAre("PIC10F206"));

  std::set<std::string> offered;
  std::set<std::string> wrongSize;
  for (const Pic10Type& type : kPic10Types) {
    for (const std::string& part : PartsOfType(type.name)) {
      SCOPED_TRACE(std::string(type.name) + " offers " + part);
      const PicFacts facts = GputilsFacts(part);
      ASSERT_TRUE(facts.known);
      offered.insert(part);
      if (facts.programSize != static_cast<uint32_t>(type.programSize)) wrongSize.insert(part);
    }
  }
  EXPECT_THAT(offered,
              ::testing::IsSupersetOf({"PIC10F200", "PIC10F202", "PIC10F204", "PIC10F206"}));
  EXPECT_EQ(wrongSize, kPic10PartsOfferedWithAnotherSize);
}

// ---- AVR against avr-libc
// ------------------------------------------------------------------------

struct AvrFacts {
  bool known = false;
  std::array<uint32_t, 3> signature{};
  uint32_t flash = 0, eeprom = 0, ram = 0;
  std::optional<uint32_t> pageBytes;
  uint32_t fuseBytes = 0;
};

// "ATmega1280/V" -> iom1280.h, "ATtiny13(V)" -> iotn13.h, "Atmega644(V)" -> iom644.h.
std::filesystem::path AvrHeader(const std::string& catalogueName) {
  std::string name = Lower(std::regex_replace(catalogueName, std::regex(R"(\(.*\)|/V)"), ""));
  name = std::regex_replace(name, std::regex("^atmega"), "m");
  name = std::regex_replace(name, std::regex("^attiny"), "tn");
  return kAvrLibcHeaders / ("io" + name + ".h");
}

AvrFacts AvrLibcFacts(const std::string& catalogueName) {
  AvrFacts facts;
  const std::filesystem::path path = AvrHeader(catalogueName);
  if (!std::filesystem::exists(path)) return facts;
  const std::string header = ReadText(path);
  auto define = [&header](const std::string& name) {
    return Number(header, R"(#\s*define\s+)" + name + R"(\s+\(?\s*(0x[0-9A-Fa-f]+|\d+))");
  };
  for (int i = 0; i < 3; ++i) facts.signature[i] = define("SIGNATURE_" + std::to_string(i)).value();
  facts.flash = define("FLASHEND").value() + 1;
  facts.eeprom = define("E2END").value() + 1;
  facts.ram = define("RAMEND").value() - define("RAMSTART").value() + 1;
  facts.pageBytes = define("SPM_PAGESIZE");
  facts.fuseBytes = define("FUSE_MEMORY_SIZE").value();
  facts.known = true;
  return facts;
}

// Values an AVR row keeps although avr-libc differs, and why.
constexpr KeptValue kAvrKept[] = {
    {"ATmega2560/V", "flash", "remark \"only 128k can be used\": the word address has 16 bits"},
    {"ATmega2561/V", "flash", "remark \"only 128k can be used\": the word address has 16 bits"},
    {"ATmega164P(V)", "signature",
     "iom164p.h gives 1E 94 0F, its siblings iom164.h, iom164a.h, iom164pa.h 1E 94 0A"},
};

TEST(CatalogueAgainstAvrLibc, EveryAvrRow) {
  if (!std::filesystem::exists(kAvrLibcHeaders / "iom8.h")) {
    GTEST_SKIP() << "avr-libc is not installed";
  }
  for (int row = 1; row <= kAvrDeviceRows; ++row) {
    const AvrDevice& d = kAvrDevices[row];
    SCOPED_TRACE(std::string(d.name) + " against " + AvrHeader(d.name).filename().string());
    const AvrFacts facts = AvrLibcFacts(d.name);
    ASSERT_TRUE(facts.known);
    const std::array<uint32_t, 3> signature{d.signature[0], d.signature[1], d.signature[2]};
    EXPECT_EQ(signature == facts.signature, !Kept(kAvrKept, d.name, "signature"));
    EXPECT_EQ(static_cast<uint32_t>(d.programSize) == facts.flash,
              !Kept(kAvrKept, d.name, "flash"));
    EXPECT_EQ(static_cast<uint32_t>(d.eepromSize), facts.eeprom);
    EXPECT_EQ(static_cast<uint32_t>(d.ramSize), facts.ram);
    // avr-libc gives no page size for parts that cannot write their own flash (ATtiny26).
    if (facts.pageBytes) {
      EXPECT_EQ(static_cast<uint32_t>(2 * d.pageWords), *facts.pageBytes);
    }
    EXPECT_EQ(AvrHasExtendedFuse(d) ? 3u : 2u, facts.fuseBytes);
  }
}

}  // namespace
}  // namespace velmora
