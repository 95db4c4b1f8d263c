#pragma once
// Runs gpasm and gpdasm for the code generator tests: assembles PIC18 source into bytes and
// disassembles code into a listing, so generated code is compared with what the makers' tools
// say.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace velmora::testing {

inline std::string RunAndCapture(const std::string& command) {
  std::string output;
  FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return output;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
  ::pclose(pipe);
  return output;
}

// Intel HEX records into a byte map.
inline std::map<uint32_t, uint8_t> ReadHexBytes(const std::filesystem::path& path) {
  std::map<uint32_t, uint8_t> bytes;
  std::ifstream in(path);
  std::string record;
  uint32_t upper = 0;
  while (std::getline(in, record)) {
    if (record.size() < 11 || record[0] != ':') continue;
    auto byteAt = [&](size_t i) {
      return static_cast<uint8_t>(std::stoul(record.substr(1 + 2 * i, 2), nullptr, 16));
    };
    const uint8_t count = byteAt(0);
    const uint32_t address = (byteAt(1) << 8) | byteAt(2);
    const uint8_t type = byteAt(3);
    if (type == 4) upper = static_cast<uint32_t>((byteAt(4) << 8) | byteAt(5)) << 16;
    if (type != 0) continue;
    for (uint8_t i = 0; i < count; ++i) bytes[upper + address + i] = byteAt(4 + i);
  }
  return bytes;
}

// Assembles `body` at `origin` with gpasm for the PIC18F4550; the bytes from the origin on.
inline std::vector<uint8_t> Assemble(const std::filesystem::path& dir, const std::string& body,
                                     uint32_t origin) {
  const auto source = dir / "expected.asm";
  const auto hex = dir / "expected.hex";
  std::ofstream(source) << "  list p=18f4550\n  include <p18f4550.inc>\n  radix dec\n  org "
                        << origin << "\n"
                        << body << "\n  end\n";
  std::filesystem::remove(hex);
  const std::string output =
      RunAndCapture("gpasm -p p18f4550 -w 2 -o " + hex.string() + " " + source.string());
  EXPECT_TRUE(std::filesystem::exists(hex)) << output;
  std::vector<uint8_t> bytes;
  for (const auto& [address, value] : ReadHexBytes(hex)) {
    if (address >= origin && address < 0x200000) bytes.push_back(value);
  }
  return bytes;
}

// Writes `bytes` at `origin` as Intel HEX and disassembles them with gpdasm.
inline std::string Disassemble(const std::filesystem::path& dir, const std::vector<uint8_t>& bytes,
                               uint32_t origin) {
  const auto hex = dir / "code.hex";
  std::ofstream out(hex);
  out << std::uppercase << std::hex;
  for (size_t at = 0; at < bytes.size(); at += 16) {
    const size_t count = std::min<size_t>(16, bytes.size() - at);
    const uint32_t address = origin + static_cast<uint32_t>(at);
    unsigned sum = static_cast<unsigned>(count + (address >> 8) + (address & 0xFF));
    char line[64];
    std::snprintf(line, sizeof line, ":%02X%04X00", static_cast<unsigned>(count), address & 0xFFFF);
    out << line;
    for (size_t i = 0; i < count; ++i) {
      std::snprintf(line, sizeof line, "%02X", bytes[at + i]);
      out << line;
      sum += bytes[at + i];
    }
    std::snprintf(line, sizeof line, "%02X\n", (0x100 - (sum & 0xFF)) & 0xFF);
    out << line;
  }
  out << ":00000001FF\n";
  out.close();
  return RunAndCapture("gpdasm -p p18f4550 " + hex.string());
}

}  // namespace velmora::testing
