// Runs the built velmora-cli as a user would and checks its output and exit codes.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace velmora {
namespace {

namespace fs = std::filesystem;

const std::string kCli = VELMORA_BINARY_DIR "/bin/velmora-cli";
const std::string kExample = VELMORA_TEST_DATA_DIR "/../../examples/pic18f4550-blink.hex";
const std::string kAvrFile = VELMORA_TEST_DATA_DIR "/hex/atmega1280.hex";

struct CliRun {
  int exitCode = -1;
  std::string output;  // stdout and stderr together
};

CliRun RunCli(const std::string& arguments) {
  CliRun run;
  FILE* pipe = ::popen((kCli + " " + arguments + " 2>&1").c_str(), "r");
  if (!pipe) return run;
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
    run.output.append(buffer, n);
  }
  const int status = ::pclose(pipe);
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

std::string Quote(const fs::path& path) {
  return "'" + path.string() + "'";
}

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// The info output without its first line, which names the file.
std::string WithoutFileName(const std::string& info) {
  return info.substr(info.find('\n') + 1);
}

class HexCli : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("velmora-cli-" + std::to_string(::getpid()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }
  fs::path dir;
};

TEST_F(HexCli, InfoListsRangesByteCountsAndChecksumsPerWindow) {
  const CliRun run = RunCli("hex info " + Quote(kExample));
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(WithoutFileName(run.output),
            "program memory: 34 bytes, sum 0x00000E4A, CRC-16/CCITT-FALSE 0xEF04\n"
            "  0x000000-0x000003 (4 bytes)\n"
            "  0x000020-0x00003D (30 bytes)\n"
            "ID locations: 2 bytes, sum 0x00000001, CRC-16/CCITT-FALSE 0x2E3E\n"
            "  0x200000-0x200001 (2 bytes)\n"
            "configuration: 12 bytes, sum 0x00000377, CRC-16/CCITT-FALSE 0x39F7\n"
            "  0x300000-0x300003 (4 bytes)\n"
            "  0x300005-0x300006 (2 bytes)\n"
            "  0x300008-0x30000D (6 bytes)\n"
            "EEPROM: 2 bytes, sum 0x00000001, CRC-16/CCITT-FALSE 0x2E3E\n"
            "  0xF00000-0xF00001 (2 bytes)\n");
}

TEST_F(HexCli, FileThatDoesNotReadFailsWithAClearMessage) {
  const CliRun missing = RunCli("hex info " + Quote(dir / "missing.hex"));
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.output.find("[Programmer Error!] Cannot read \"" +
                                (dir / "missing.hex").string() + "\": No such file or directory"),
            std::string::npos);

  std::ofstream(dir / "bad.hex") << ":0400000001020304F3\n:00000001FF\n";
  const CliRun declined = RunCli("hex info " + Quote(dir / "bad.hex"));
  EXPECT_EQ(declined.exitCode, 1);
  EXPECT_NE(declined.output.find("[Checksum Error] Checksum error found in line 1 of \"" +
                                 (dir / "bad.hex").string() + "\"!\nContinue? -> no"),
            std::string::npos);

  const CliRun accepted = RunCli("hex info " + Quote(dir / "bad.hex") + " --yes");
  EXPECT_EQ(accepted.exitCode, 0);
  EXPECT_NE(accepted.output.find("program memory: 4 bytes"), std::string::npos);
  EXPECT_EQ(RunCli("--yes hex info " + Quote(dir / "bad.hex")).exitCode, 0);
}

TEST_F(HexCli, RewriteKeepsTheDataAndUsesLinearAddresses) {
  const fs::path out = dir / "out.hex";
  const CliRun run = RunCli("hex rewrite " + Quote(kAvrFile) + " " + Quote(out));
  ASSERT_EQ(run.exitCode, 0) << run.output;
  const std::string text = ReadText(out);
  EXPECT_NE(text.find(":020000040001F9\r\n:10F0000056656C6D6F7261000123456789ABCDEF6A\r\n"),
            std::string::npos);
  EXPECT_EQ(text.find(":02000002"), std::string::npos);
  // The data stays; the writer pads each 16-byte chunk with FF.
  const std::string info = RunCli("hex info " + Quote(out)).output;
  EXPECT_NE(info.find("  0x000000-0x00014F (336 bytes)\n  0x01F000-0x01F01F (32 bytes)\n"),
            std::string::npos)
      << info;
  // A second rewrite changes nothing.
  const fs::path again = dir / "again.hex";
  ASSERT_EQ(RunCli("hex rewrite " + Quote(out) + " " + Quote(again)).exitCode, 0);
  EXPECT_EQ(ReadText(again), text);
}

TEST_F(HexCli, RewriteDropsErasedChunksUnlessAskedToKeepThem) {
  std::ofstream(dir / "erased.hex") << ":10000000FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF00\n"
                                       ":01001000C32C\n:00000001FF\n";
  const fs::path out = dir / "out.hex";
  ASSERT_EQ(RunCli("hex rewrite " + Quote(dir / "erased.hex") + " " + Quote(out)).exitCode, 0);
  EXPECT_EQ(ReadText(out).find(":10000000FF"), std::string::npos);
  ASSERT_EQ(RunCli("hex rewrite --include-erased " + Quote(dir / "erased.hex") + " " + Quote(out))
                .exitCode,
            0);
  EXPECT_NE(ReadText(out).find(":10000000FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF00\r\n"),
            std::string::npos);
}

TEST_F(HexCli, DeviceLimitsTheOutputToItsProgramMemoryAndEeprom) {
  // PIC18F4550: 32 KB of program memory, 256 bytes of EEPROM.
  std::ofstream(dir / "in.hex") << ":0400000001020304F2\n:01800000C3BC\n"
                                   ":0200000400F00A\n:0200FF001122CC\n:00000001FF\n";
  const fs::path out = dir / "out.hex";
  ASSERT_EQ(RunCli("hex rewrite --device PIC18F4550 " + Quote(dir / "in.hex") + " " + Quote(out))
                .exitCode,
            0);
  EXPECT_EQ(WithoutFileName(RunCli("hex info " + Quote(out)).output),
            "program memory: 16 bytes, sum 0x00000BFE, CRC-16/CCITT-FALSE 0xC4D8\n"
            "  0x000000-0x00000F (16 bytes)\n"
            "EEPROM: 16 bytes, sum 0x00000F02, CRC-16/CCITT-FALSE 0x76AB\n"
            "  0xF000F0-0xF000FF (16 bytes)\n");
  ASSERT_EQ(RunCli("hex rewrite " + Quote(dir / "in.hex") + " " + Quote(out)).exitCode, 0);
  const std::string whole = RunCli("hex info " + Quote(out)).output;
  EXPECT_NE(whole.find("  0x008000-0x00800F (16 bytes)"), std::string::npos) << whole;
  EXPECT_NE(whole.find("  0xF000F0-0xF0010F (32 bytes)"), std::string::npos) << whole;

  // PIC12F675: ID words, configuration word and EEPROM lie in the program memory window.
  ASSERT_EQ(RunCli("hex rewrite --device PIC12F675 " +
                   Quote(VELMORA_TEST_DATA_DIR "/hex/pic12f675.hex") + " " + Quote(out))
                .exitCode,
            0);
  const std::string pic12 = RunCli("hex info " + Quote(out)).output;
  EXPECT_NE(pic12.find("  0x004000-0x00400F (16 bytes)\n  0x004200-0x00420F (16 bytes)\n"),
            std::string::npos)
      << pic12;

  const CliRun unknown =
      RunCli("hex rewrite --device NoSuchChip " + Quote(dir / "in.hex") + " " + Quote(out));
  EXPECT_EQ(unknown.exitCode, 2);
  EXPECT_NE(unknown.output.find("velmora-cli: error: --device: unknown device \"NoSuchChip\""),
            std::string::npos);
}

TEST_F(HexCli, MissingArgumentIsAUsageError) {
  EXPECT_EQ(RunCli("hex info").exitCode, 2);
  EXPECT_EQ(RunCli("hex").exitCode, 2);
  const CliRun help = RunCli("hex rewrite --help");
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.output.find("--include-erased"), std::string::npos);
}

}  // namespace
}  // namespace velmora
