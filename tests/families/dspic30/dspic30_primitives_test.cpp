// The dsPIC30 primitives on the simulated programmer with a simulated dsPIC30F: the bytes they
// put on the wire, and what the chip holds afterwards. The chip model executes every instruction
// from its encoding, so a wrong instruction, unlock or address shows up as a chip error.
#include <gmock/gmock.h>

#include "dspic30_fixture.h"
#include "support/scratch_directory.h"

namespace velmora::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// A recognisable 24-bit word per instruction address.
uint32_t Pattern(uint32_t word) {
  return (word * 0x010307 + 0x0A0B0C) & 0xFFFFFF;
}

void PutInstruction(CMCUMemoryArchitecture& image, uint32_t word, uint32_t value) {
  for (uint32_t k = 0; k < 3; ++k) image.programMemory[4 * word + k] = (value >> (8 * k)) & 0xFF;
  image.programMemory[4 * word + 3] = 0;
}

TEST_F(DsPic30DeviceTest, IdentifiesFromDevidAndDevrev) {
  Configure("dsPIC30F4013", {{"revision", "0x1040"}});
  ASSERT_EQ(Link().Open(kProgrammerDescription, 0), 1);
  Link().EnterProgrammingMode(0);
  MarkTranscript();
  EXPECT_EQ(Device().IdentifyDsPic(), 13);
  // Start; TBLPAG = 0xFF; W6 = 0; W7 = VISI; two table reads through VISI.
  EXPECT_THAT(Bytes("write"),
              ElementsAre("4C 4C 4A 00 01 04 4C 4A F0 0F 20 4A 90 01 88 4A 06 00 20 4A 47 78 20 "
                          "4A B6 0B BA 4C 4C 4B 4A B6 0B BA 4C 4C 4B"));
  const CMCUMemoryArchitecture& file = Link().fileImage;
  EXPECT_THAT(std::vector<int>(file.deviceId, file.deviceId + 4),
              ElementsAre(0x41, 0x01, 0x40, 0x10));
  EXPECT_STREQ(file.deviceName, "dsPIC30F4013");
  EXPECT_EQ(file.family, Family::kDsPic30);
  CloseLink();
}

TEST_F(DsPic30DeviceTest, AnAbsentChipIsUnknownAndReadsAreRefused) {
  Configure("dsPIC30F4013", {{"absent", "low"}});
  EXPECT_EQ(OpenAndIdentify(), 0);
  EXPECT_EQ(Link().fileImage.blockSize, 0);
  EXPECT_EQ(Device().ReadConfigurationDsPic(), 0);
  EXPECT_EQ(Device().ReadProgramRangeDsPic(-1, -1), 0);
  ASSERT_EQ(prompt.Records().size(), 2u);
  EXPECT_EQ(prompt.Records()[0].text, "No dsPIC device detected.\nCannot continue...");
  EXPECT_EQ(prompt.Records()[0].caption, "Programmer Error");
  CloseLink();
}

// The configuration read asks for seven words at 0xF80000: TBLPAG 0xF8, W6 0 and a count of 7
// (negated), so exactly the 14 bytes the caller reads come back.
TEST_F(DsPic30DeviceTest, DataWordReadsUseProgramSpaceAddresses) {
  Configure("dsPIC30F6014");
  ASSERT_EQ(OpenAndIdentify(), 26);
  MarkTranscript();
  ASSERT_EQ(Device().ReadConfigurationDsPic(), 1);
  EXPECT_THAT(Bytes("write"), ElementsAre("4C 4C 4A 00 01 04 4C 4A 80 0F 20 4A 90 01 88 4A 06 00 "
                                          "20 4A 47 78 20 50 F9 FF"));
  const int32_t* config = Link().chipImage.dsPICConfiguration;
  // FOSC of the 6014 (mask 0xC30F) reads back with its unimplemented bits as 1; the zero cells
  // of the HEX layout stay 0.
  EXPECT_THAT(std::vector<int>(config, config + 8),
              ElementsAre(0xFF, 0xFF, 0, 0, 0xFF, 0xFF, 0, 0));

  // A range across a TBLPAG boundary is one 0x50 per page.
  MarkTranscript();
  ASSERT_EQ(Device().ReadDataWords(0x00FFFC, 0x010004), 1);
  const uint8_t* words = Link().ReadReply(8);
  ASSERT_NE(words, nullptr);
  std::vector<std::vector<uint8_t>> reads;
  for (const auto& c : Commands()) {
    if (c[0] == 0x50) reads.push_back(c);
  }
  EXPECT_THAT(reads, ElementsAre(std::vector<uint8_t>{0x50, 0xFE, 0xFF},
                                 std::vector<uint8_t>{0x50, 0xFE, 0xFF}));
  EXPECT_THAT(std::vector<int>(words, words + 8), ::testing::Each(0xFF));
  EXPECT_THAT(ChipErrors(Events("note")), IsEmpty());
  CloseLink();
}

// Rows in both TBLPAG pages of a multi-panel part, written after a bulk erase, read back in two
// page parts; an unchanged image then sends nothing but the start, a changed word its row.
TEST_F(DsPic30DeviceTest, ProgramRowsRoundTripOverThePageBoundary) {
  Configure("dsPIC30F6014");
  ASSERT_EQ(OpenAndIdentify(), 26);
  CMCUMemoryArchitecture& file = Link().fileImage;
  std::vector<uint32_t> words;
  for (uint32_t w = 0; w < 64; ++w) words.push_back(w);              // first rows
  for (uint32_t w = 0x7FC0; w < 0x8040; ++w) words.push_back(w);     // around the page change
  for (uint32_t w = 49152 - 32; w < 49152; ++w) words.push_back(w);  // the last row
  for (uint32_t w : words) PutInstruction(file, w, Pattern(w));
  file.programMemory[4 * 5 + 1] = kBlankCell;  // a blank byte inside a row writes 0xFF

  ASSERT_EQ(Device().BulkEraseDsPic(), 1);
  MarkTranscript();
  ASSERT_EQ(Device().WriteProgramRows(0, 0), 1);
  const DsPic30Memory chip = Chip();
  for (uint32_t w : words) {
    const uint32_t expected = w == 5 ? (Pattern(w) | 0x00FF00) : Pattern(w);
    ASSERT_EQ(chip.program[w], expected) << w;
  }
  EXPECT_EQ(chip.program[64], 0xFFFFFFu);
  EXPECT_EQ(chip.program[0x7FBF], 0xFFFFFFu);

  ASSERT_EQ(Device().ReadProgramRangeDsPic(0x7FF0, 0x8010), 1);
  for (uint32_t w = 0x7FF0; w < 0x8010; ++w) {
    ASSERT_EQ(Link().chipImage.programMemory[4 * w], int32_t(Pattern(w) & 0xFF)) << w;
    ASSERT_EQ(Link().chipImage.programMemory[4 * w + 3], 0) << w;
  }
  ASSERT_EQ(Device().ReadProgramRangeDsPic(-1, -1), 1);
  EXPECT_EQ(Device().FindProgramMismatchDsPic(), -1);  // the blank byte compares as 0xFF
  file.programMemory[4 * 0x8000 + 2] ^= 1;
  EXPECT_EQ(Device().FindProgramMismatchDsPic(), 4 * 0x8000 + 2);
  file.programMemory[4 * 0x8000 + 2] ^= 1;
  EXPECT_THAT(ChipErrors(Events("note")), IsEmpty());

  MarkTranscript();
  ASSERT_EQ(Device().WriteProgramRows(0, 1), 1);
  EXPECT_THAT(Bytes("write"), ElementsAre("4C 4C 4A 00 01 04 4C"));
  PutInstruction(file, 0x8001, 0x123456);
  ASSERT_EQ(Device().WriteProgramRows(0, 1), 1);
  EXPECT_EQ(Chip().program[0x8001], 0x123456u);
  EXPECT_EQ(Chip().program[0x8000], Pattern(0x8000));
  EXPECT_THAT(ChipErrors(Events("note")), IsEmpty());
  CloseLink();
}

// The configuration in the HEX layout (register i in cells 4i, 4i + 1), written FGS last, read
// back with the catalogue's masks; a stuck bit is found at its cell.
TEST_F(DsPic30DeviceTest, ConfigurationRoundTripsInTheHexLayoutFgsLast) {
  Configure("dsPIC30F4013",
            {{"stuckBits", {{{"address", "0x1F00008"}, {"bit", 0}, {"level", 0}}}}});
  ASSERT_EQ(OpenAndIdentify(), 13);
  const uint16_t values[7] = {0xC307, 0x801F, 0x8733, 0x0000, 0x0000, 0x0003, 0xC002};
  int32_t* cells = Link().fileImage.dsPICConfiguration;
  for (int i = 0; i < 7; ++i) {
    cells[4 * i] = values[i] & 0xFF;
    cells[4 * i + 1] = values[i] >> 8;
    cells[4 * i + 2] = cells[4 * i + 3] = 0;
  }
  MarkTranscript();
  ASSERT_EQ(Device().WriteConfigurationDsPic(), 1);
  std::vector<int> order;
  for (const auto& c : Commands()) {
    // MOV #o, W7: 0x4A, (o << 4 | 7), o >> 4, 0x20
    if (c.size() == 4 && c[0] == 0x4A && (c[1] & 0x0F) == 7 && c[3] == 0x20) {
      order.push_back((c[2] << 4) | (c[1] >> 4));
    }
  }
  EXPECT_THAT(order, ElementsAre(0, 2, 4, 6, 8, 12, 10));
  const DsPic30Memory chip = Chip();
  EXPECT_THAT(chip.configuration,
              ElementsAre(0xC307, 0x801F, 0x8733, 0x0000, 0x0000, 0x0003, 0xC002));
  ASSERT_EQ(Device().ReadConfigurationDsPic(), 1);
  // FBORPOR bit 0 reads 0 on the chip (stuck), 1 in the file: cell 8.
  EXPECT_EQ(Device().FindConfigMismatchDsPic(), 8);
  cells[8] = 0x32;
  EXPECT_EQ(Device().FindConfigMismatchDsPic(), -1);
  EXPECT_THAT(ChipErrors(Events("note")), IsEmpty());
  CloseLink();
}

// The EEPROM rows with data: erased first when the chip was not bulk-erased (a write only clears
// bits), written through the write latches; the erase-all leaves every word 0xFFFF.
TEST_F(DsPic30DeviceTest, EepromRowsAreErasedWrittenAndErasedAgain) {
  DsPic30HexFile old;
  for (uint32_t i = 0; i < 512; ++i) old.EepromWord(1024, i, 0x0000);
  const std::string path = (ScratchDirectory("velmora-dspic30-") / "old-eeprom.hex").string();
  old.Save(path);
  ConfigureSimulator({{"device", "dsPIC30F4013"}, {"memory", path}});
  ASSERT_EQ(OpenAndIdentify(), 13);
  CMCUMemoryArchitecture& file = Link().fileImage;
  const int first = Device().EepromFirstCell();
  EXPECT_EQ(first, 65536 - 2048);
  for (int word = 16; word < 40; ++word) {  // rows 1 and 2 (part)
    file.dsPICEeprom[first + 4 * word] = word;
    file.dsPICEeprom[first + 4 * word + 1] = 0xA5;
  }
  ASSERT_EQ(Device().WriteEepromDsPic(1), 1);
  DsPic30Memory chip = Chip();
  EXPECT_EQ(chip.eeprom[0], 0xFFFF);  // row 0: no data in the file, erased
  EXPECT_EQ(chip.eeprom[16], 0xA510);
  EXPECT_EQ(chip.eeprom[39], 0xA527);
  EXPECT_EQ(chip.eeprom[40], 0xFFFF);  // rest of row 2: erased, written as blank
  ASSERT_EQ(Device().ReadEepromDsPic(), 1);
  EXPECT_EQ(Device().FindChangedEepromDsPic(), -1);
  EXPECT_EQ(Device().FindEepromMismatchDsPic(), -1);

  ASSERT_EQ(Device().EraseEepromDsPic(), 1);
  chip = Chip();
  EXPECT_THAT(chip.eeprom, ::testing::Each(0xFFFF));
  EXPECT_THAT(ChipErrors(Events("note")), IsEmpty());
  CloseLink();
}

TEST_F(DsPic30DeviceTest, PartsWithoutEepromHaveNothingToReadOrWrite) {
  Configure("dsPIC30F2011 V1");
  ASSERT_EQ(OpenAndIdentify(), 2);
  MarkTranscript();
  EXPECT_EQ(Device().ReadEepromDsPic(), 0);
  EXPECT_EQ(Device().WriteEepromDsPic(1), 0);
  EXPECT_THAT(Bytes("write"), IsEmpty());
  CloseLink();
}

TEST_F(DsPic30DeviceTest, ReadsRamFromItsFirstAddress) {
  Configure("dsPIC30F2011 V1", {{"ram", "01 02 03 04"}});
  ASSERT_EQ(OpenAndIdentify(), 2);
  ASSERT_EQ(Device().ReadRamDsPic(), 1);
  const int32_t* ram = Link().chipImage.dataMemory;
  EXPECT_THAT(std::vector<int>(ram, ram + 6), ElementsAre(1, 2, 3, 4, 0, 0));
  EXPECT_EQ(ram[1023], 0);
  EXPECT_THAT(ChipErrors(Events("note")), IsEmpty());
  CloseLink();
}

}  // namespace
}  // namespace velmora::testing
