// HEX files made by real toolchains (gpasm, avr-gcc + avr-objcopy; see tests/data/hex/Makefile)
// load with every byte where srec_cat from srecord puts it.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "memory/intel_hex.h"

namespace velmora {
namespace {

const std::string kDataDir = VELMORA_TEST_DATA_DIR "/hex/";
const std::string kExamplesDir = VELMORA_TEST_DATA_DIR "/../../examples/";

struct RealFile {
  std::string path;
  std::vector<std::pair<uint32_t, int32_t>> cells;  // a few bytes read off the listings
};

const std::vector<RealFile>& RealFiles() {
  static const std::vector<RealFile> files = {
      {kDataDir + "pic18f4550.hex",
       {{0x0000, 0x20},
        {0x0001, 0xEF},
        {0x0100, 'V'},
        {0x0107, 0x00},
        {0x200000, 0x01},
        {0x200002, 0x03},
        {0x200003, kBlankCell},
        {0x200007, 0x0A},
        {0x300001, 0x0E},
        {0x30000D, 0x40},
        {0xF00000, 0x12},
        {0xF00005, 'E'}}},
      {kDataDir + "pic12f675.hex",
       {{0x0000, 0x05},
        {0x0001, 0x28},
        {0x4000, 0x01},
        {0x4006, 0x04},
        {0x400E, 0xC4},
        {0x400F, 0x3F},
        {0x4200, 0xA5},
        {0x4202, 0x5A},
        {0x4204, 'H'}}},
      {kDataDir + "pic10f200.hex", {{0x0000, 0x25}, {0x1FFE, 0xEB}, {0x1FFF, 0x0F}}},
      // The table sits above 64 KB behind an extended segment address record.
      {kDataDir + "atmega1280.hex",
       {{0x0000, 0x0C}, {0x1F000, 'V'}, {0x1F017, 0x10}, {0xF000, kBlankCell}}},
      {kExamplesDir + "pic18f4550-blink.hex", {{0x0000, 0x10}, {0x300000, 0x24}}},
  };
  return files;
}

bool HaveSrecCat() {
  return std::system("command -v srec_cat >/dev/null 2>&1") == 0;
}

// Address and value of every byte, as srec_cat reads the file (Verilog VMEM, one byte wide).
std::vector<std::pair<uint32_t, int>> BytesFromSrecCat(const std::string& path) {
  std::vector<std::pair<uint32_t, int>> bytes;
  const std::string command = "srec_cat '" + path + "' -intel -o - -vmem 8 2>/dev/null";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return bytes;
  std::string text;
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, n);
  ::pclose(pipe);

  std::istringstream in(text);
  uint32_t address = 0;
  for (std::string word; in >> word;) {
    if (word.starts_with("/*")) {
      in.ignore(1 << 20, '\n');
    } else if (word.starts_with("@")) {
      address = static_cast<uint32_t>(std::stoul(word.substr(1), nullptr, 16));
    } else {
      bytes.emplace_back(address++, std::stoi(word, nullptr, 16));
    }
  }
  return bytes;
}

TEST(IntelHexRealFiles, LoadWithoutQuestionsAndHoldTheListedBytes) {
  auto image = std::make_unique<CMCUMemoryArchitecture>();
  for (const RealFile& file : RealFiles()) {
    SCOPED_TRACE(file.path);
    ScriptedPrompt prompt;
    ASSERT_EQ(ReadHexFile(*image, file.path, prompt), 1);
    EXPECT_TRUE(prompt.Records().empty());
    for (const auto& [address, value] : file.cells) {
      EXPECT_EQ(image->GetCell(address), value) << "at 0x" << std::hex << address;
    }
  }
}

TEST(IntelHexRealFiles, EveryByteLandsWhereSrecCatPutsIt) {
  if (!HaveSrecCat()) GTEST_SKIP() << "srec_cat (srecord) is not installed";
  auto image = std::make_unique<CMCUMemoryArchitecture>();
  for (const RealFile& file : RealFiles()) {
    SCOPED_TRACE(file.path);
    ScriptedPrompt prompt;
    ASSERT_EQ(ReadHexFile(*image, file.path, prompt), 1);
    const auto bytes = BytesFromSrecCat(file.path);
    ASSERT_FALSE(bytes.empty());
    size_t mismatches = 0;
    for (const auto& [address, value] : bytes) {
      mismatches += image->GetCell(address) != value;
    }
    EXPECT_EQ(mismatches, 0u);
    // And nothing else: the image holds exactly as many bytes as srec_cat found.
    size_t filled = 0;
    for (const MemoryWindow& w : window::kAll) {
      const int32_t* cells = image->CellPointer(w.firstAddress);
      for (uint32_t i = 0; i < w.cellCount; ++i) filled += cells[i] >= 0;
    }
    EXPECT_EQ(filled, bytes.size());
  }
}

}  // namespace
}  // namespace velmora
