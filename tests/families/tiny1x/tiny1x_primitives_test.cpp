// The ATtiny11/12 primitives' bytes on the wire: the chip erase, a flash word written and read
// back, each with its ready waits, in FT_Write calls of at most 256 bytes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "tiny1x_fixture.h"

namespace velmora::testing {
namespace {

using ::testing::ElementsAre;

// The firmware commands as the transcript shows them.
std::vector<std::string> AsText(const std::vector<std::vector<uint8_t>>& commands) {
  std::vector<std::string> texts;
  for (const auto& command : commands) texts.push_back(HexText(command));
  return texts;
}

TEST_F(Tiny1xDocumentTest, ProgramSendsTheEraseAndTheWordWithTheirWaits) {
  StartTiny("ATtiny12");
  CMCUMemoryArchitecture image;
  image.Clear();
  image.programMemory[0x3FE] = 0x34;  // word 0x1FF
  image.programMemory[0x3FF] = 0x12;
  doc_->hexFileName = SaveImage(image, "word.hex", 1024, 0);
  doc_->enableEepromUpdate = 0;
  doc_->enableConfigurationUpdate = 0;
  doc_->fastVerify = 1;
  ASSERT_EQ(RunTiny(Tiny1xCommand::kProgram), OperationOutcome::kSuccess)
      << ::testing::PrintToString(Log());
  std::vector<std::string> commands = AsText(Commands());
  const auto erase = std::find(commands.begin(), commands.end(), "3E 80 4C");
  ASSERT_NE(erase, commands.end());
  EXPECT_THAT(std::vector<std::string>(erase, erase + 23),
              ElementsAre("3E 80 4C", "3E 00 64", "3E 00 6C", "3E 00 4C", "3F",  // chip erase
                          "3E 10 4C", "3E 01 1C", "3E FF 0C", "3E 34 2C", "3E 00 64", "3E 00 6C",
                          "3F", "3E 12 3C", "3E 00 74", "3E 00 7C", "3F",  // the word
                          "3E 02 4C", "3E 01 1C", "3E F8 0C", "3E 00 68", "3E 00 6C", "3E 00 78",
                          "3E 00 7C"));  // read back from the file's line, word 0x1F8
  // Fast verify reads the eight words of the file's last line only.
  EXPECT_EQ(std::count(erase, commands.end(), "3E 02 4C"), 8);
  EXPECT_EQ(Chip().flash[0x3FE], 0x34);
  EXPECT_EQ(Chip().flash[0x3FF], 0x12);
}

TEST_F(Tiny1xDocumentTest, FlashStreamGoesOutInWritesOfAtMost256Bytes) {
  StartTiny("ATtiny12");
  Ops().state.SetFuse(1, 0x52);
  ASSERT_EQ(RunProgram(Tiny1xCommand::kProgram, false), OperationOutcome::kSuccess);
  std::vector<size_t> flashWrites;
  for (const auto& event : Events("write")) {
    if (event.value("bytes", std::string()).find("3E 10 4C") != std::string::npos) {
      flashWrites.push_back(event["written"].get<size_t>());
    }
  }
  // 13 words of 29 bytes (nine instructions, two waits): 377 bytes.
  EXPECT_THAT(flashWrites, ElementsAre(256u, 121u));
}

}  // namespace
}  // namespace velmora::testing
