#include "memory/intel_hex.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <sstream>
#include <utility>
#include <vector>

namespace velmora {
namespace {

namespace fs = std::filesystem;

constexpr uint32_t kQuestion = mb::kYesNo | mb::kInfoAlert;

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteText(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

class IntelHexTest : public ::testing::Test {
 protected:
  void SetUp() override {
    image->Clear();
    dir = fs::temp_directory_path() /
          ("velmora-hex-" + std::to_string(::getpid()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }

  std::vector<std::string> Captions() const {
    std::vector<std::string> captions;
    for (const auto& r : prompt.Records()) captions.push_back(r.caption);
    return captions;
  }

  std::unique_ptr<CMCUMemoryArchitecture> image = std::make_unique<CMCUMemoryArchitecture>();
  ScriptedPrompt prompt;
  fs::path dir;
};

// ---------------------------------------------------------------------------------------------
// Reading

struct ReadCase {
  const char* name;
  std::string text;
  std::vector<Answer> answers;  // to the questions, in order; unanswered ones get No
  int result;
  std::vector<std::pair<uint32_t, int32_t>> cells;  // address, expected GetCell
  std::vector<std::string> captions;                // message boxes shown, in order
};

const std::vector<ReadCase>& ReadCases() {
  static const std::vector<ReadCase> cases = {
      {"data record then end of file",
       ":0400000001020304F2\r\n:00000001FF\r\n",
       {},
       1,
       {{0, 1}, {1, 2}, {3, 4}, {4, kBlankCell}},
       {}},
      {"bytes at addresses of no window are dropped silently",
       ":02000004001FDB\r\n:0400000001020304F2\r\n:00000001FF\r\n",
       {},
       1,
       {{0, kBlankCell}, {0x1F0000, kNoCell}},
       {}},
      {"linear address 0x0030 reaches the configuration",
       ":020000040030CA\r\n:0E0000000102030405060708090A0B0C0D0E89\r\n:00000001FF\r\n",
       {},
       1,
       {{0x300000, 1}, {0x300007, 8}, {0x30000D, 0x0E}},
       {}},
      {"record running past a window keeps the bytes inside it",
       ":020000040030CA\r\n:10000800000102030405060708090A0B0C0D0E0F70\r\n:00000001FF\r\n",
       {},
       1,
       {{0x300008, 0}, {0x30000D, 5}, {0x30000E, kNoCell}},
       {}},
      {"segment address is segment x 16, not the upper address bits",
       ":020000020030CC\r\n:01000000C33C\r\n:00000001FF\r\n",
       {},
       1,
       {{0x300, 0xC3}, {0x300000, kBlankCell}},
       {}},
      {"segment offset wraps within its 64 KB",
       ":020000021000EC\r\n:02FFFF001122CD\r\n:00000001FF\r\n",
       {},
       1,
       {{0x1FFFF, 0x11}, {0x10000, 0x22}, {0x20000, kBlankCell}},
       {}},
      {"linear record continues into the next 64 KB",
       ":02FFFF001122CD\r\n:00000001FF\r\n",
       {},
       1,
       {{0xFFFF, 0x11}, {0x10000, 0x22}},
       {}},
      {"linear address replaces an earlier segment address",
       ":020000021000EC\r\n:020000040000FA\r\n:01000000C33C\r\n:00000001FF\r\n",
       {},
       1,
       {{0, 0xC3}, {0x10000, kBlankCell}},
       {}},
      {"lower-case digits",
       ":10001000ffffabffffffffffffffffffffffffff44\n:00000001ff\n",
       {},
       1,
       {{0x12, 0xAB}, {0x1F, 0xFF}},
       {}},
      {"non-hex digit ends the read with a message",
       ":0400000001020G04F2\r\n:01000100C33B\r\n",
       {},
       0,
       {},
       {"Programmer Error!"}},
      {"record cut short by the end of the file",
       ":04000000010203",
       {},
       0,
       {},
       {"Programmer Error!"}},
      {"record cut short by its line end",
       ":04000000010203\r\n:00000001FF\r\n",
       {},
       0,
       {},
       {"Programmer Error!"}},
      {"header cut short by the end of the file", ":0400", {}, 0, {}, {"Programmer Error!"}},
      {"checksum error answered Yes keeps the record",
       ":0400000001020304F3\r\n:01000400C338\r\n:00000001FF\r\n",
       {Answer::Yes},
       1,
       {{0, 1}, {3, 4}, {4, 0xC3}},
       {"Checksum Error"}},
      {"checksum error answered No ends the read",
       ":0400000001020304F3\r\n:01000400C338\r\n",
       {Answer::No},
       0,
       {{3, 4}, {4, kBlankCell}},
       {"Checksum Error"}},
      {"missing checksum counts as FF",
       ":0400000001020304",
       {Answer::Yes, Answer::Yes},
       1,
       {{0, 1}, {3, 4}},
       {"Checksum Error", "Incomplete Hex-File"}},
      {"malformed checksum does not swallow the next record",
       ":01000000C3:01000100C33B\r\n:00000001FF\r\n",
       {Answer::Yes},
       1,
       {{0, 0xC3}, {1, 0xC3}},
       {"Checksum Error"}},
      {"unknown record type answered Yes skips that line",
       ":0400000300000000F9\r\n:01000000C33C\r\n:00000001FF\r\n",
       {Answer::Yes},
       1,
       {{0, 0xC3}},
       {"Unknown Comment in Hex-File"}},
      {"unknown record type answered No ends the read",
       ":0400000300000000F9\r\n:01000000C33C\r\n",
       {Answer::No},
       0,
       {{0, kBlankCell}},
       {"Unknown Comment in Hex-File"}},
      {"end-of-file record ends the read",
       ":01000000C33C\r\n:00000001FF\r\n:01000100C33B\r\n",
       {},
       1,
       {{0, 0xC3}, {1, kBlankCell}},
       {}},
      {"end-of-file record with a wrong checksum is questioned",
       ":01000000C33C\r\n:10000001C3C3C3C3C3C3C3C3C3C3C3C3C3C3C3C3FF\r\n",
       {},
       0,
       {},
       {"Checksum Error"}},
      {"blank lines, blanks and line ends of either kind around records",
       "\n  :01000000C33C  \n\n\t:01000100C33B\r\r\n:00000001FF\n\n",
       {},
       1,
       {{0, 0xC3}, {1, 0xC3}},
       {}},
      {"a line that is not a record answered Yes is skipped",
       "header text\n:01000000C33C  trailing words\n\n:01000100C33B\n:00000001FF\n",
       {Answer::Yes, Answer::Yes},
       1,
       {{0, 0xC3}, {1, 0xC3}},
       {"Unknown Comment in Hex-File", "Unknown Comment in Hex-File"}},
      {"a damaged start character is questioned, not skipped",
       ":01000000C33C\n;01000100C33B\n:00000001FF\n",
       {},
       0,
       {},
       {"Unknown Comment in Hex-File"}},
      {"missing end-of-file record answered No ends the read",
       ":01000000C33C\r\n",
       {},
       0,
       {},
       {"Incomplete Hex-File"}},
      {"missing end-of-file record answered Yes keeps the data",
       ":01000000C33C\r\n",
       {Answer::Yes},
       1,
       {{0, 0xC3}},
       {"Incomplete Hex-File"}},
      {"no data record at all", ":00000001FF\r\n", {}, 0, {}, {"Programmer Error!"}},
      {"empty text", "", {}, 0, {}, {"Programmer Error!"}},
      {"address running past 4 GB is an error, not a wrap to 0",
       ":02000004FFFFFC\r\n:02FFFF001122CD\r\n:00000001FF\r\n",
       {},
       0,
       {{0, kBlankCell}},
       {"Programmer Error!"}},
      {"the last byte of the 4 GB address space is an address",
       ":02000004FFFFFC\r\n:01FFFF0011F0\r\n:020000040000FA\r\n:01000000C33C\r\n"
       ":00000001FF\r\n",
       {},
       1,
       {{0, 0xC3}},
       {}},
  };
  return cases;
}

TEST_F(IntelHexTest, ReaderFollowsTheRecordRules) {
  for (const ReadCase& c : ReadCases()) {
    SCOPED_TRACE(c.name);
    image->Clear();
    prompt.ClearRecords();
    for (Answer a : c.answers) prompt.QueueAnswer(a);
    EXPECT_EQ(ParseHexText(*image, c.text, prompt), c.result);
    for (const auto& [address, value] : c.cells) {
      EXPECT_EQ(image->GetCell(address), value) << "at 0x" << std::hex << address;
    }
    EXPECT_EQ(Captions(), c.captions);
  }
}

TEST_F(IntelHexTest, ReaderQuestionsUseTheSystemsWordingAndCountLines) {
  prompt.SetDefaultAnswer(Answer::Yes);
  const std::string text = "junk\n:01000000C33C\r\n:0400000300000000F9\r\n:0400000001020304F3\r\n";
  ASSERT_EQ(ParseHexText(*image, text, prompt, "a.hex"), 1);
  const auto records = prompt.Records();
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(records[0].text,
            "Line 1 of \"a.hex\" is not a record.\nIgnore line and continue anyway?");
  EXPECT_EQ(records[0].caption, "Unknown Comment in Hex-File");
  EXPECT_EQ(records[1].text,
            "Unknown hex-file command (0x03) in line 3.\nIgnore line and continue anyway?");
  EXPECT_EQ(records[1].caption, "Unknown Comment in Hex-File");
  EXPECT_EQ(records[2].text, "Checksum error found in line 4 of \"a.hex\"!\nContinue?");
  EXPECT_EQ(records[2].caption, "Checksum Error");
  EXPECT_EQ(records[3].text,
            "No end-of-file record in \"a.hex\" after line 4: the file may be cut short.\n"
            "Continue anyway?");
  EXPECT_EQ(records[3].caption, "Incomplete Hex-File");
  for (const PromptRecord& r : records) EXPECT_EQ(r.style, kQuestion);
}

// A damaged record is an error whose message says what and where.
TEST_F(IntelHexTest, DamagedRecordsAreErrorsNamingFileAndLine) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {":01000000C33C\n:0400000001020G04F2\n",
       "Damaged record in line 2 of \"a.hex\": a character that is not a hexadecimal digit."},
      {"\n:04000000010203\n", "Damaged record in line 2 of \"a.hex\": the record ends early."},
      {":04000000010203",
       "Damaged record in line 1 of \"a.hex\": the file ends inside the record."},
      {":02000004FFFFFC\n:02FFFF001122CD\n",
       "Damaged record in line 2 of \"a.hex\": its data runs past the end of the 4 GB address "
       "space."},
      {":00000001FF\n", "No data in \"a.hex\": the file holds no data record."},
  };
  for (const auto& [text, message] : cases) {
    SCOPED_TRACE(text);
    prompt.ClearRecords();
    EXPECT_EQ(ParseHexText(*image, text, prompt, "a.hex"), 0);
    const auto records = prompt.Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].text, message);
    EXPECT_EQ(records[0].caption, "Programmer Error!");
    EXPECT_EQ(records[0].style, mb::kOk | mb::kInfoAlert);
  }
}

TEST_F(IntelHexTest, ReadHexFileClearsTheImageAndLoadsTheFile) {
  image->SetCell(0x200000, 0x42);
  WriteText(dir / "a.hex", ":0400000001020304F2\r\n:00000001FF\r\n");
  EXPECT_EQ(ReadHexFile(*image, (dir / "a.hex").string(), prompt), 1);
  EXPECT_EQ(image->GetCell(0x200000), kBlankCell);
  EXPECT_EQ(image->GetCell(3), 4);
  EXPECT_TRUE(prompt.Records().empty());
}

TEST_F(IntelHexTest, UnreadableFileShowsTheSystemErrorText) {
  image->SetCell(0x10, 0x42);
  for (const fs::path& path : {dir / "missing.hex", dir}) {
    SCOPED_TRACE(path.string());
    prompt.ClearRecords();
    EXPECT_EQ(ReadHexFile(*image, path.string(), prompt), 0);
    const auto records = prompt.Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].caption, "Programmer Error!");
    EXPECT_EQ(records[0].style, mb::kOk | mb::kInfoAlert);
  }
  EXPECT_EQ(prompt.Records()[0].text, "Cannot read \"" + dir.string() + "\": Is a directory");
  EXPECT_EQ(image->GetCell(0x10), kBlankCell);  // cleared before the file is opened
  prompt.ClearRecords();
  ReadHexFile(*image, (dir / "missing.hex").string(), prompt);
  EXPECT_EQ(prompt.Records()[0].text,
            "Cannot read \"" + (dir / "missing.hex").string() + "\": No such file or directory");
}

// Only regular files of a size some device's HEX file could have are read: a FIFO would block
// for ever and a device like /dev/zero would never end.
TEST_F(IntelHexTest, OnlyRegularFilesOfAPlausibleSizeAreRead) {
  const fs::path fifo = dir / "fifo.hex";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const fs::path large = dir / "large.hex";
  WriteText(large, ":01000000C33C\r\n");
  fs::resize_file(large, kMaxHexFileBytes + 1);  // sparse: costs no disk
  const fs::path largest = dir / "largest.hex";
  WriteText(largest, ":01000000C33C\r\n:00000001FF\r\n");
  fs::resize_file(largest, kMaxHexFileBytes);
  const std::vector<std::pair<fs::path, std::string>> refused = {
      {fifo, "Not a regular file"},
      {"/dev/zero", "Not a regular file"},
      {dir, "Is a directory"},
      {large, "File too large"},
  };
  for (const auto& [path, reason] : refused) {
    SCOPED_TRACE(path.string());
    prompt.ClearRecords();
    EXPECT_EQ(ReadHexFile(*image, path.string(), prompt), 0);
    const auto records = prompt.Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].text, "Cannot read \"" + path.string() + "\": " + reason);
    EXPECT_EQ(records[0].caption, "Programmer Error!");
  }
  // At the limit a file is still read (what follows its end-of-file record is not looked at).
  prompt.ClearRecords();
  EXPECT_EQ(ReadHexFile(*image, largest.string(), prompt), 1);
  EXPECT_EQ(image->GetCell(0), 0xC3);
  EXPECT_TRUE(prompt.Records().empty());
}

// ---------------------------------------------------------------------------------------------
// Writing

constexpr const char* kEnd = ":00000001FF\r\n";

struct WriteCase {
  const char* name;
  std::function<void(CMCUMemoryArchitecture&)> fill;
  int includeErased;
  std::string expected;
};

const std::vector<WriteCase>& WriteCases() {
  static const std::vector<WriteCase> cases = {
      {"blank image gives only the end record", [](CMCUMemoryArchitecture&) {}, 0, kEnd},
      {"0xFF cells count as blank unless erased cells are included",
       [](CMCUMemoryArchitecture& m) {
         m.programSize = 0x100;
         for (uint32_t a = 0; a < 0x100; ++a) m.SetCell(a, 0xFF);
         m.SetCell(0x300000, 0xFF);
       },
       0, kEnd},
      {"configuration chunk is written once one cell holds a value",
       [](CMCUMemoryArchitecture& m) {
         for (uint32_t a = 0x300000; a < 0x30000E; ++a) m.SetCell(a, 0xFF);
         m.SetCell(0x300005, 0x81);
       },
       0, std::string(":020000040030CA\r\n:0E000000FFFFFFFFFF81FFFFFFFFFFFFFFFF7E\r\n") + kEnd},
      {"one programmed byte writes its whole chunk, blank cells as FF",
       [](CMCUMemoryArchitecture& m) {
         m.programSize = 0x100;
         m.SetCell(0x12, 0xAB);
       },
       0, std::string(":020000040000FA\r\n:10001000FFFFABFFFFFFFFFFFFFFFFFFFFFFFFFF44\r\n") + kEnd},
      {"erased chunk is written when erased cells are included",
       [](CMCUMemoryArchitecture& m) {
         m.programSize = 0x100;
         m.SetCell(0x12, 0xFF);
       },
       1, std::string(":020000040000FA\r\n:10001000FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF0\r\n") + kEnd},
      {"ID locations are one chunk of eight bytes",
       [](CMCUMemoryArchitecture& m) {
         m.SetCell(0x200000, 1);
         m.SetCell(0x200001, 2);
         m.SetCell(0x200002, 3);
         m.SetCell(0x200007, 0x0A);
       },
       0, std::string(":020000040020DA\r\n:08000000010203FFFFFFFF0AEC\r\n") + kEnd},
      {"program memory ends at programSize",
       [](CMCUMemoryArchitecture& m) {
         m.programSize = 0x10;
         m.SetCell(0x10, 0x01);
       },
       0, kEnd},
      {"EEPROM ends at eepromSize",
       [](CMCUMemoryArchitecture& m) {
         m.eepromSize = 0x20;
         m.SetCell(0xF00020, 0x01);
       },
       0, kEnd},
      {"dsPIC30 EEPROM covers the top 2 x eepromSize cells",
       [](CMCUMemoryArchitecture& m) {
         m.eepromSize = 0x400;
         m.SetCell(0xFFF7FF, 0x01);  // just below the range
         m.SetCell(0xFFF800, 0x5A);
       },
       0, std::string(":0200000400FFFB\r\n:10F800005AFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFAD\r\n") + kEnd},
  };
  return cases;
}

TEST_F(IntelHexTest, WriterProducesTheRecordFormat) {
  for (const WriteCase& c : WriteCases()) {
    SCOPED_TRACE(c.name);
    image->Clear();
    image->programSize = 0;
    image->eepromSize = 0;
    c.fill(*image);
    const fs::path path = dir / "out.hex";
    ASSERT_EQ(WriteHexFile(path.string(), *image, c.includeErased, prompt), 1);
    EXPECT_EQ(ReadText(path), c.expected);
  }
  EXPECT_TRUE(prompt.Records().empty());
}

TEST_F(IntelHexTest, WriterAddsLinearAddressOnlyWhenUpperBitsChange) {
  image->programSize = 0x20000;
  image->SetCell(0x0000, 0x01);
  image->SetCell(0xFFF0, 0x02);
  image->SetCell(0x10000, 0x03);
  image->SetCell(0x10010, 0x04);
  const std::string text = FormatHexText(*image, false);
  std::vector<std::string> prefixes;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) prefixes.push_back(line.substr(0, 9));
  const std::vector<std::string> expected = {":02000004", ":10000000", ":10FFF000", ":02000004",
                                             ":10000000", ":10001000", ":00000001"};
  EXPECT_EQ(prefixes, expected);
  EXPECT_NE(text.find(":020000040001F9\r\n"), std::string::npos);
}

// Fills every window chunk by chunk: each 16-cell chunk (and the ID and configuration chunks)
// is either blank or full of random bytes, 0xFF included, as a writer with erased cells
// included keeps such an image exactly.
void FillChunks(CMCUMemoryArchitecture& image, std::mt19937& random) {
  for (const MemoryWindow& w : window::kAll) {
    const uint32_t chunk = std::min<uint32_t>(16, w.cellCount);
    for (uint32_t offset = 0; offset < w.cellCount; offset += chunk) {
      const bool filled = random() % 4 == 0 || offset == 0 || offset + chunk == w.cellCount;
      for (uint32_t i = 0; i < chunk && offset + i < w.cellCount; ++i) {
        const int32_t value = random() % 8 == 0 ? 0xFF : static_cast<int32_t>(random() % 256);
        image.SetCell(w.firstAddress + offset + i, filled ? value : kBlankCell);
      }
    }
  }
}

TEST_F(IntelHexTest, RoundTripKeepsEveryCellOfEveryWindow) {
  std::mt19937 random(20240601);
  FillChunks(*image, random);
  image->programSize = static_cast<int32_t>(window::kProgramMemory.cellCount);
  image->eepromSize = static_cast<int32_t>(window::kEeprom.cellCount);
  const fs::path path = dir / "round.hex";
  ASSERT_EQ(WriteHexFile(path.string(), *image, 1, prompt), 1);

  auto again = std::make_unique<CMCUMemoryArchitecture>();
  ASSERT_EQ(ReadHexFile(*again, path.string(), prompt), 1);
  for (const MemoryWindow& w : window::kAll) {
    const int32_t* before = image->CellPointer(w.firstAddress);
    const int32_t* after = again->CellPointer(w.firstAddress);
    uint32_t mismatches = 0;
    for (uint32_t i = 0; i < w.cellCount; ++i) mismatches += before[i] != after[i];
    EXPECT_EQ(mismatches, 0u) << "window at 0x" << std::hex << w.firstAddress;
  }
  EXPECT_TRUE(prompt.Records().empty());
}

TEST_F(IntelHexTest, ReplacingAFileKeepsItsPermissionsAndLeavesNoTemporaryFile) {
  const fs::path path = dir / "keep.hex";
  WriteText(path, "old contents");
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  image->programSize = 16;
  image->SetCell(0, 0x55);
  ASSERT_EQ(WriteHexFile(path.string(), *image, 0, prompt), 1);
  EXPECT_EQ(ReadText(path).substr(0, 17), ":020000040000FA\r\n");
  EXPECT_EQ(fs::status(path).permissions() & fs::perms::mask,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

TEST_F(IntelHexTest, FileThatCannotBeCreatedShowsTheSystemError) {
  const fs::path path = dir / "no-such-folder" / "out.hex";
  EXPECT_EQ(WriteHexFile(path.string(), *image, 0, prompt), 0);
  const auto records = prompt.Records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].text, "Cannot write \"" + path.string() + "\": No such file or directory");
  EXPECT_EQ(records[0].caption, "Programmer Error!");
  EXPECT_EQ(records[0].style, mb::kOk | mb::kInfoAlert);
}

// A write that fails half-way (here: the file size limit, as a full disk would) leaves the
// existing file as it was and no temporary file beside it.
TEST_F(IntelHexTest, FailedWriteLeavesTheExistingFileIntact) {
  const fs::path path = dir / "target.hex";
  WriteText(path, "previous program\r\n");
  image->programSize = 0x10000;
  for (uint32_t a = 0; a < 0x10000; ++a) image->SetCell(a, a & 0x7F);

  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit oldLimit{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &oldLimit), 0);
  rlimit small = oldLimit;
  small.rlim_cur = 4096;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const int result = WriteHexFile(path.string(), *image, 0, prompt);
  ::setrlimit(RLIMIT_FSIZE, &oldLimit);
  std::signal(SIGXFSZ, oldHandler);

  EXPECT_EQ(result, 0);
  EXPECT_EQ(ReadText(path), "previous program\r\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
  const auto records = prompt.Records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].text, "Cannot write \"" + path.string() + "\": File too large");
  EXPECT_EQ(records[0].caption, "Programmer Error!");
}

}  // namespace
}  // namespace velmora
