// Input that is not entirely right never reaches the chip: for each damaged or unusual file, what
// the reader answers (with the default answer No to its questions, as the command line gives
// it), and that Program, Verify and Update leave the simulated chip exactly as it was.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "families/pic18/pic18_fixture.h"

namespace velmora::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteText(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// The PIC18F4550 program of the engine tests, as text.
std::string BlinkText() {
  return ReadText(kHexDir + "pic18f4550_blink.hex");
}

// The blink program with its first data record's type byte damaged into 01 (checksum kept).
std::string TypeFlippedToEnd() {
  std::string text = BlinkText();
  const size_t data = text.find(":10");
  text[data + 7] = '0';
  text[data + 8] = '1';
  return text;
}

std::string WithoutEndRecord() {
  std::string text = BlinkText();
  text.erase(text.find(":00000001FF"));
  return text;
}

std::string StartCharacterDamaged() {
  std::string text = BlinkText();
  text[text.find("\n:") + 1] = ';';
  return text;
}

struct DamagedFile {
  const char* name;
  // Makes the file at the path given; returns the path the command is given.
  std::function<fs::path(const fs::path&)> make;
  const char* caption;  // of the one message or question
  const char* says;     // a part of its text
};

fs::path Text(const fs::path& path, const std::string& text) {
  WriteText(path, text);
  return path;
}

const std::vector<DamagedFile>& DamagedFiles() {
  static const std::vector<DamagedFile> files = {
      {"empty", [](const fs::path& p) { return Text(p, ""); }, "Programmer Error!",
       "holds no data record"},
      {"C source, no ':'",
       [](const fs::path& p) { return Text(p, "#include <xc.h>\nvoid main(void) {}\n"); },
       "Unknown Comment in Hex-File", "Line 1 of"},
      {"binary without a record",
       [](const fs::path& p) {
         return Text(p, std::string("\x7F"
                                    "ELF\x02\x01\x01\0\0",
                                    9));
       },
       "Unknown Comment in Hex-File", "is not a record"},
      {"damaged ':'", [](const fs::path& p) { return Text(p, StartCharacterDamaged()); },
       "Unknown Comment in Hex-File", "Line 2 of"},
      {"data record type flipped to 01",
       [](const fs::path& p) { return Text(p, TypeFlippedToEnd()); }, "Checksum Error",
       "Checksum error found in line"},
      {"no end-of-file record", [](const fs::path& p) { return Text(p, WithoutEndRecord()); },
       "Incomplete Hex-File", "No end-of-file record"},
      {"address running past 4 GB",
       [](const fs::path& p) {
         return Text(p, ":02000004FFFFFC\r\n:04FFFE0001020304F9\r\n:00000001FF\r\n");
       },
       "Programmer Error!", "runs past the end of the 4 GB address space"},
      {"FIFO",
       [](const fs::path& p) {
         EXPECT_EQ(::mkfifo(p.c_str(), 0600), 0);
         return p;
       },
       "Programmer Error!", "Not a regular file"},
      {"directory",
       [](const fs::path& p) {
         fs::create_directory(p);
         return p;
       },
       "Programmer Error!", "Is a directory"},
      {"oversized",
       [](const fs::path& p) {
         WriteText(p, BlinkText());
         fs::resize_file(p, kMaxHexFileBytes + 1);
         return p;
       },
       "Programmer Error!", "File too large"},
  };
  return files;
}

class Pic18DamagedInputTest : public Pic18DocumentTest {
 protected:
  // A PIC18F4550 that holds the blink program, so that an erase would show.
  void StartProgrammed() {
    Start("PIC18F4550");
    doc_->hexFileName = HexFile("pic18f4550_blink");
    ASSERT_EQ(Run(Pic18Command::kProgram), OperationOutcome::kSuccess);
  }
};

TEST_F(Pic18DamagedInputTest, ReaderRefusesAndNoCommandTouchesTheChip) {
  StartProgrammed();
  const nlohmann::json programmed = TargetState();
  int n = 0;
  for (const DamagedFile& f : DamagedFiles()) {
    SCOPED_TRACE(f.name);
    const fs::path path = f.make(dir_ / ("damaged-" + std::to_string(n++) + ".hex"));

    // What the reader answers.
    prompt_.ClearRecords();
    auto image = std::make_unique<CMCUMemoryArchitecture>();
    EXPECT_EQ(ReadHexFile(*image, path.string(), prompt_), 0);
    const std::vector<PromptRecord> answered = prompt_.Records();
    ASSERT_EQ(answered.size(), 1u);
    EXPECT_EQ(answered[0].caption, f.caption);
    EXPECT_THAT(answered[0].text, HasSubstr(f.says));
    EXPECT_THAT(answered[0].text, HasSubstr(path.string()));

    // Program, Verify and Update refuse the file the same way and never open the programmer.
    doc_->hexFileName = path.string();
    for (Pic18Command command :
         {Pic18Command::kProgram, Pic18Command::kVerify, Pic18Command::kUpdate}) {
      MarkTranscript();
      EXPECT_EQ(Run(command), OperationOutcome::kNotStarted);
      ASSERT_EQ(prompt_.Records().size(), 1u);
      EXPECT_EQ(prompt_.Records()[0].text, answered[0].text);
      EXPECT_TRUE(Events("open").empty());
    }
    EXPECT_EQ(TargetState(), programmed);
  }
}

// Data the identified device cannot hold (a PIC18F8722 program in a PIC18F4550; bytes at an
// address of no memory) reads as a file, but Program, Verify and Update report how many bytes
// lie where and stop before erasing unless the user confirms.
TEST_F(Pic18DamagedInputTest, DataOutsideTheDeviceIsReportedAndRefusedUnlessConfirmed) {
  StartProgrammed();
  const nlohmann::json programmed = TargetState();
  const fs::path noWindow = Text(
      dir_ / "no-window.hex", BlinkText().insert(0, ":02000004001FDB\r\n:0400100001020304E2\r\n"));
  const std::vector<std::pair<std::string, std::string>> files = {
      {HexFile("pic18f8722_tables"),
       "+++ 66 bytes of the HEX file lie outside the PIC18F4550: 0x008000-0x008013, "
       "0x010040-0x010047, 0x01FFC0-0x01FFDD, 0xF003F8-0xF003FF +++"},
      {noWindow.string(),
       "+++ 4 bytes of the HEX file lie outside the PIC18F4550: 0x1F0010-0x1F0013 +++"},
  };
  for (const auto& [path, line] : files) {
    SCOPED_TRACE(path);
    // The reader takes the file: it is well-formed.
    auto image = std::make_unique<CMCUMemoryArchitecture>();
    EXPECT_EQ(ReadHexFile(*image, path, prompt_), 1);

    doc_->hexFileName = path;
    for (Pic18Command command :
         {Pic18Command::kProgram, Pic18Command::kVerify, Pic18Command::kUpdate}) {
      EXPECT_EQ(Run(command), OperationOutcome::kFailed);
      EXPECT_THAT(Log(), ::testing::Contains(line));
      ASSERT_EQ(prompt_.Records().size(), 1u);
      EXPECT_EQ(prompt_.Records()[0].caption, "Data Outside Device");
      EXPECT_THAT(prompt_.Records()[0].text, HasSubstr("the rest anyway?"));
      EXPECT_EQ(doc_->lastOperationFailed, 1);
    }
    EXPECT_THAT(Log(), ::testing::Not(::testing::Contains("Verifying Flash memory...")));
    EXPECT_EQ(TargetState(), programmed);
  }

  // Confirmed, the rest is programmed.
  doc_->hexFileName = HexFile("pic18f8722_tables");
  prompt_.QueueAnswer(Answer::Yes);
  Run(Pic18Command::kProgram);
  EXPECT_THAT(Log(), ::testing::Contains("Data outside the device left out, as confirmed"));
  EXPECT_EQ(FromHex(TargetState()["program"].get<std::string>()).at(0), 0x80);
}

}  // namespace
}  // namespace velmora::testing
