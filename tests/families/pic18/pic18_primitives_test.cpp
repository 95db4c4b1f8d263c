// PIC18 primitives on the simulated programmer: the full programmer's bytes on the wire, what
// each primitive leaves in the target, and the edge cases of identification, loads, reads,
// configuration masks, updates and faults, for both programmer kinds where they differ.
#include <gmock/gmock.h>

#include <algorithm>
#include <bit>
#include <functional>

#include "families/pic18/pic18_fixture.h"

namespace velmora::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

using Primitive = std::function<int(CPic18Device&)>;

// Records progressPerMille at every progress callback.
struct ProgressRecorder {
  static void Record(void* argument) {
    auto* self = static_cast<ProgressRecorder*>(argument);
    self->values.push_back(self->link->progressPerMille);
  }
  void Install(CPICVortang& l) {
    link = &l;
    l.progressCallback = Record;
    l.progressArgument = this;
  }
  CPICVortang* link = nullptr;
  std::vector<int32_t> values;
};

// ---- Identification ---------------------------------------------------------------------------

TEST_F(Pic18Test, IdentifyMasksRevisionBitsAndSendsTheDeviceParameters) {
  struct Case {
    const char* device;
    int row;
    const char* parameters;
  };
  for (const Case& c :
       {Case{"PIC18F452", 7, "1F 01 40 08"}, Case{"PIC18F8722", 76, "1F 02 40 40"}}) {
    SCOPED_TRACE(c.device);
    Start(Kind::kFull, c.device, {{"revision", 0x1F}});
    MarkTranscript();
    EXPECT_EQ(Device().IdentifyPic18(), c.row);
    const int32_t id = kPic18Devices[c.row].deviceId | 0x1F;
    EXPECT_THAT(Writes(), ElementsAre("21 08 FE FF 3F 00 02 00 00 00 22", c.parameters));
    EXPECT_EQ(Link().fileImage.deviceId[0], id & 0xFF);
    EXPECT_EQ(Link().fileImage.deviceId[1], id >> 8);
    EXPECT_STREQ(Link().fileImage.deviceName, c.device);
    EXPECT_EQ(Link().fileImage.blockSize,
              kPic18Devices[c.row].programSize / kPic18Devices[c.row].panels);
    Finish();
  }
  Start(Kind::kMini, "PIC18F8720", {{"revision", 0x13}});
  EXPECT_EQ(Device().IdentifyPic18(), 64);
  EXPECT_EQ(Link().fileImage.deviceId[0], 0x13);
  EXPECT_EQ(Link().fileImage.writeBufferSize, 8);
}

class Pic18UnknownTarget : public Pic18Test,
                           public ::testing::WithParamInterface<std::tuple<Kind, const char*>> {};

// An absent target reads 0x0000 or 0xFFFF: no device, and every primitive that needs one
// refuses with the message and sends nothing.
TEST_P(Pic18UnknownTarget, RefusesEveryDevicePrimitiveWithTheMessage) {
  const auto [kind, level] = GetParam();
  Start(kind, "PIC18F452", {{"absent", level}});
  MarkTranscript();
  EXPECT_EQ(Device().IdentifyPic18(), 0);
  EXPECT_STREQ(Link().fileImage.deviceName, "Unknown Device");
  EXPECT_EQ(Link().fileImage.blockSize, 0);
  const size_t identificationWrites = Writes().size();
  if (kind == Kind::kFull) {
    EXPECT_EQ(identificationWrites, 1u);  // no 0x1F
  }

  const std::pair<const char*, Primitive> primitives[] = {
      {"WriteProgramMemory", [](CPic18Device& l) { return l.WriteProgramMemory(); }},
      {"WriteBlock", [](CPic18Device& l) { return l.WriteBlock(0); }},
      {"UpdateChangedBlocks", [](CPic18Device& l) { return l.UpdateChangedBlocks(); }},
      {"WriteIdLocations", [](CPic18Device& l) { return l.WriteIdLocations(); }},
      {"WriteEeprom", [](CPic18Device& l) { return l.WriteEeprom(); }},
      {"ReadProgramRange", [](CPic18Device& l) { return l.ReadProgramRange(-1, -1); }},
      {"ReadProgramMemory", [](CPic18Device& l) { return l.ReadProgramMemory(); }},
      {"ReadIdLocations", [](CPic18Device& l) { return l.ReadIdLocations(); }},
      {"ReadConfiguration", [](CPic18Device& l) { return l.ReadConfiguration(); }},
      {"ReadEeprom", [](CPic18Device& l) { return l.ReadEeprom(); }},
      {"ReadRam", [](CPic18Device& l) { return l.ReadRam(); }},
      {"ReadRamHeld", [](CPic18Device& l) { return l.ReadRamHeld(); }},
  };
  for (const auto& [name, primitive] : primitives) {
    prompt.ClearRecords();
    EXPECT_EQ(primitive(Device()), 0) << name;
    const auto records = prompt.Records();
    ASSERT_EQ(records.size(), 1u) << name;
    EXPECT_EQ(records[0].text, "No PIC device detected.\nCannot continue...");
    EXPECT_EQ(records[0].caption, "Programmer Error");
    EXPECT_EQ(records[0].style, mb::kErrorAlert);
  }
  EXPECT_EQ(Writes().size(), identificationWrites);
}

INSTANTIATE_TEST_SUITE_P(AbsentTargets, Pic18UnknownTarget,
                         ::testing::Combine(::testing::Values(Kind::kFull, Kind::kMini),
                                            ::testing::Values("low", "high")));

// An image that another family's catalogue row filled describes no PIC18, whatever its sizes:
// the primitives refuse it as they refuse an unknown device, before anything reaches the wire.
TEST_F(Pic18Test, RefusesAnImageAnotherFamilyIdentified) {
  StartIdentified(Kind::kFull, "PIC18F452");
  ASSERT_TRUE(FillDescriptorByName(Link().fileImage, "ATmega8"));
  ASSERT_NE(Link().fileImage.blockSize, 0);
  EXPECT_EQ(Device().WriteProgramMemory(), 0);
  EXPECT_EQ(Device().ReadEeprom(), 0);
  ASSERT_EQ(prompt.Records().size(), 2u);
  EXPECT_EQ(prompt.Records()[0].text, "No PIC device detected.\nCannot continue...");
  EXPECT_TRUE(Writes().empty());
  Finish();
}

// ---- Full programmer: bytes on the wire -------------------------------------------------------

TEST_F(Pic18Test, FullProgrammerCommandBytes) {
  struct Case {
    const char* name;
    Primitive run;
    std::vector<std::string> writes;
  };
  const std::string id = "A0 A1 A2 A3 A4 A5 A6 A7";
  std::vector<uint8_t> config;
  for (int i = 0; i < 14; ++i) config.push_back(PatternByte(0x300000 + i));
  const Case cases[] = {
      {"BulkErase", [](CPic18Device& l) { return l.BulkErase(); }, {"25"}},
      {"EraseEeprom", [](CPic18Device& l) { return l.EraseEeprom(); }, {"26"}},
      {"EraseFlashPanels", [](CPic18Device& l) { return l.EraseFlashPanels(); }, {"28"}},
      {"EraseIdRow",
       [](CPic18Device& l) { return l.EraseIdRow(); },
       {"21 08 00 00 20 00 00 00 00 00 27"}},
      {"WriteIdLocations", [](CPic18Device& l) { return l.WriteIdLocations(); }, {"2B", id}},
      {"WriteConfiguration",
       [](CPic18Device& l) { return l.WriteConfiguration(); },
       {"2C", HexText(config)}},
      {"ReadIdLocations",
       [](CPic18Device& l) { return l.ReadIdLocations(); },
       {"21 08 00 00 20 00 08 00 00 00", "22"}},
      {"ReadConfiguration",
       [](CPic18Device& l) { return l.ReadConfiguration(); },
       {"21 08 00 00 30 00 0E 00 00 00", "22"}},
      {"ReadEeprom",
       [](CPic18Device& l) { return l.ReadEeprom(); },
       {"21 08 00 00 00 00 00 01 00 00", "23"}},
      {"ReadRam",
       [](CPic18Device& l) { return l.ReadRam(); },
       {"21 08 00 00 00 00 00 06 00 00", "24"}},
      {"ReadRamHeld",
       [](CPic18Device& l) { return l.ReadRamHeld() == 0 ? 1 : 0; },
       {"80", "21 08 00 00 00 00 00 06 00 00", "24", "8C"}},
      {"ReadProgramRange",
       [](CPic18Device& l) { return l.ReadProgramRange(0x100, 0x300); },
       {"21 08 00 01 00 00 00 02 00 00", "22"}},
  };
  StartIdentified(Kind::kFull, "PIC18F452");
  FillFileImage();
  for (const Case& c : cases) {
    MarkTranscript();
    EXPECT_EQ(c.run(Device()), 1) << c.name;
    EXPECT_THAT(Writes(), ElementsAreArray(c.writes)) << c.name;
  }
  EXPECT_NE(Link().chipImage.dataMemory[1535], kBlankCell);  // the whole RAM came back
}

TEST_F(Pic18Test, FullProgrammerProgramImageIsPanelInterleavedIn4096BytePieces) {
  StartIdentified(Kind::kFull, "PIC18F452");
  FillFileImage();
  ProgressRecorder progress;
  progress.Install(Link());
  ASSERT_EQ(Device().WriteProgramMemory(), 1);
  const auto writes = Writes();
  ASSERT_EQ(writes.size(), 2u + 8u);
  EXPECT_EQ(writes[0], "21 0B 00 00 00 00 00 04 00 00 04 20 20");  // 1024 loads, 4 x 8 bytes
  EXPECT_EQ(writes[1], "29");
  // Load 0: panel 0's bytes 0..7, then panel 1's from 0x2000, ...
  std::vector<uint8_t> expected;
  for (uint32_t from : {0x0000u, 0x2000u}) {
    for (uint32_t k = 0; k < 8; ++k) expected.push_back(PatternByte(from + k));
  }
  EXPECT_EQ(writes[2].substr(0, 3 * 16 - 1), HexText(expected));
  for (size_t i = 2; i < writes.size(); ++i) EXPECT_EQ(writes[i].size(), 4096u * 3 - 1);
  EXPECT_THAT(progress.values, ElementsAre(125, 250, 375, 500, 625, 750, 875, 1000));
}

TEST_F(Pic18Test, FullProgrammerEepromWritesAndBlockWrites) {
  StartIdentified(Kind::kFull, "PIC18F452");
  FillFileImage();
  ProgressRecorder progress;
  progress.Install(Link());
  ASSERT_EQ(Device().WriteEeprom(), 1);
  auto writes = Writes();
  ASSERT_EQ(writes.size(), 2u + 256u / 8);
  EXPECT_EQ(writes[0], "21 06 00 00 00 00 00 01");
  EXPECT_EQ(writes[1], "2A");
  EXPECT_EQ(writes[2],
            HexText({PatternByte(7), PatternByte(8), PatternByte(9), PatternByte(10),
                     PatternByte(11), PatternByte(12), PatternByte(13), PatternByte(14)}));
  ASSERT_EQ(progress.values.size(), 31u);  // every write but the first
  EXPECT_EQ(progress.values.front(), 62);
  EXPECT_EQ(progress.values.back(), 1000);

  MarkTranscript();
  progress.values.clear();
  ASSERT_EQ(Device().WriteBlock(0x1C5), 1);
  writes = Writes();
  ASSERT_EQ(writes.size(), 1u);
  std::vector<uint8_t> block{0x21, 0x04, 0xC0, 0x01, 0x00, 0x00, 0x2D};
  for (uint32_t a = 0x1C0; a < 0x200; ++a) block.push_back(PatternByte(a));
  EXPECT_EQ(writes[0], HexText(block));
  EXPECT_THAT(progress.values, ElementsAre(0x1C0 * 1000 / 32768));
  EXPECT_EQ(Target().program[0x1C0], PatternByte(0x1C0));

  MarkTranscript();
  ASSERT_EQ(Device().EraseAllRows(), 1);
  writes = Writes();
  ASSERT_EQ(writes.size(), 1u);  // all 512 rows at once
  EXPECT_EQ(writes[0].substr(0, 35), "21 03 00 00 00 27 21 03 40 00 00 27");
  EXPECT_EQ(writes[0].size(), 512u * 6 * 3 - 1);
}

// ---- What each erase leaves, both programmer kinds --------------------------------------------

class Pic18Erase : public Pic18Test, public ::testing::WithParamInterface<Kind> {
 protected:
  // A little of everything, so that the erases have something to remove.
  void WriteSomething() {
    CMCUMemoryArchitecture& file = Link().fileImage;
    for (uint32_t a : {0x10u, 0x2010u, 0x7FF0u}) {
      for (uint32_t k = 0; k < 8; ++k) file.programMemory[a + k] = 0x00;
    }
    file.eeprom[3] = 0x00;
    file.idLocations[2] = 0x00;
    file.configuration[1] = 0x00;
    ASSERT_EQ(Device().WriteProgramMemory(), 1);
    ASSERT_EQ(Device().WriteEeprom(), 1);
    ASSERT_EQ(Device().WriteIdLocations(), 1);
    ASSERT_EQ(Device().WriteConfiguration(), 1);
  }
};

TEST_P(Pic18Erase, EachEraseClearsItsAreaOnly) {
  struct Case {
    const char* name;
    Primitive run;
    bool program, eeprom, id, config;
  };
  const Case cases[] = {
      {"BulkErase", [](CPic18Device& l) { return l.BulkErase(); }, true, true, true, true},
      {"EraseEeprom", [](CPic18Device& l) { return l.EraseEeprom(); }, false, true, false, false},
      {"EraseFlashPanels", [](CPic18Device& l) { return l.EraseFlashPanels(); }, true, false, false,
       false},
      {"EraseIdRow", [](CPic18Device& l) { return l.EraseIdRow(); }, false, false, true, false},
      {"EraseAllRows", [](CPic18Device& l) { return l.EraseAllRows(); }, true, false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StartIdentified(GetParam(), "PIC18F452");
    WriteSomething();
    Link().chipImage.programMemory[0] = 0x12;
    EXPECT_EQ(c.run(Device()), 1);
    Finish();
    const TargetMemory target = Target();
    for (uint32_t a : {0x10u, 0x2017u, 0x7FF7u}) {
      EXPECT_EQ(target.program[a] == 0xFF, c.program) << std::hex << a;
    }
    EXPECT_EQ(target.eeprom[3] == 0xFF, c.eeprom);
    EXPECT_EQ(target.idLocations[2] == 0xFF, c.id);
    EXPECT_EQ(target.configuration[1] == 0x27, c.config);
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, Pic18Erase, ::testing::Values(Kind::kFull, Kind::kMini));

// ---- Mini programmer loads ----------------------------------------------------------------------

TEST_F(Pic18Test, MiniProgrammerSkipsLoadsThatAreBlankOrErasedInEveryPanel) {
  StartIdentified(Kind::kMini, "PIC18F452");
  CMCUMemoryArchitecture& file = Link().fileImage;
  file.programMemory[0x0003] = 0x11;                                 // load 0, panel 0
  file.programMemory[3 * 0x2000 + 5 * 8 + 7] = 0x55;                 // load 5, panel 3
  for (int k = 0; k < 8; ++k) file.programMemory[6 * 8 + k] = 0xFF;  // load 6: erased bytes
  file.programMemory[0x2000 - 1] = 0x77;                             // load 1023, panel 0
  ProgressRecorder progress;
  progress.Install(Link());
  ASSERT_EQ(Device().WriteProgramMemory(), 1);
  EXPECT_THAT(progress.values, ElementsAre(5 * 1000 / 1024, 1023 * 1000 / 1024, 1000));
  Finish();
  const TargetMemory target = Target();
  EXPECT_EQ(target.program[0x0003], 0x11);
  EXPECT_EQ(target.program[3 * 0x2000 + 47], 0x55);
  EXPECT_EQ(target.program[0x1FFF], 0x77);
  EXPECT_EQ(std::count(target.program.begin(), target.program.end(), 0xFF), 32768 - 3);
}

// ---- Reads --------------------------------------------------------------------------------------

class Pic18Reads : public Pic18Test, public ::testing::WithParamInterface<Kind> {};

TEST_P(Pic18Reads, WholeProgramMemoryWhenRangeIsMinusOne) {
  StartIdentified(GetParam(), "PIC18F4550");
  FillFileImage();
  ASSERT_EQ(Device().WriteProgramMemory(), 1);
  ProgressRecorder progress;
  progress.Install(Link());
  Link().chipImage.Clear();
  MarkTranscript();
  ASSERT_EQ(Device().ReadProgramRange(-1, -1), 1);
  if (GetParam() == Kind::kFull) {
    EXPECT_EQ(Writes().front(), "21 08 00 00 00 00 00 80 00 00");
  }
  ASSERT_EQ(progress.values.size(), 64u);  // one per 512 bytes
  EXPECT_EQ(progress.values.back(), 1000);
  EXPECT_EQ(Device().FindProgramMismatch(), -1);
  EXPECT_NE(Link().chipImage.programMemory[32767], kBlankCell);
  EXPECT_EQ(Link().chipImage.programMemory[32768], kBlankCell);
}

TEST_P(Pic18Reads, ProgramMemoryReadsOnlyWhereTheFileHoldsData) {
  StartIdentified(GetParam(), "PIC18F452");
  FillFileImage();
  ASSERT_EQ(Device().WriteProgramMemory(), 1);
  Link().chipImage.Clear();
  ASSERT_EQ(Device().ReadProgramMemory(), 1);
  EXPECT_EQ(Device().FindProgramMismatch(), -1);
  EXPECT_EQ(Link().chipImage.programMemory[1024], kBlankCell);  // blank in the file: not read
  EXPECT_EQ(Link().chipImage.programMemory[1152], 0xFF);
}

TEST_P(Pic18Reads, ConfigurationReadSetsUnimplementedBits) {
  StartIdentified(GetParam(), "PIC18F4550");
  for (int i = 0; i < 14; ++i) Link().fileImage.configuration[i] = 0x0F;
  ASSERT_EQ(Device().WriteConfiguration(), 1);
  ASSERT_EQ(Device().ReadConfiguration(), 1);
  EXPECT_EQ(Link().chipImage.configuration[0], 0xCF);  // mask 0x3F
  EXPECT_EQ(Link().chipImage.configuration[4], 0xFF);  // mask 0x00
  EXPECT_EQ(Link().chipImage.configuration[1], 0x3F);  // mask 0xCF
  EXPECT_EQ(Device().FindConfigMismatch(), -1);
}

TEST_P(Pic18Reads, RamComesBackByteForByte) {
  std::vector<uint8_t> ram(1536);
  for (size_t i = 0; i < ram.size(); ++i) ram[i] = PatternByte(static_cast<uint32_t>(i) + 99);
  StartIdentified(GetParam(), "PIC18F452", {{"ram", HexText(ram)}});
  EXPECT_EQ(Device().ReadRamHeld(), 0);
  for (size_t i = 0; i < ram.size(); ++i) {
    ASSERT_EQ(Link().chipImage.dataMemory[i], ram[i]) << i;
  }
  EXPECT_EQ(Link().chipImage.dataMemory[1536], kBlankCell);
}

INSTANTIATE_TEST_SUITE_P(Kinds, Pic18Reads, ::testing::Values(Kind::kFull, Kind::kMini));

// ---- Update and faults --------------------------------------------------------------------------

class Pic18Update : public Pic18Test, public ::testing::WithParamInterface<Kind> {};

TEST_P(Pic18Update, WritesChangedBlocksAndBlanksTheOthersInTheFile) {
  StartIdentified(GetParam(), "PIC18F452");
  FillFileImage();
  ASSERT_EQ(Device().BulkErase(), 1);
  ASSERT_EQ(Device().WriteProgramMemory(), 1);
  ASSERT_EQ(Device().ReadProgramRange(-1, -1), 1);
  CMCUMemoryArchitecture& file = Link().fileImage;
  file.programMemory[0x1234] = 0x5A;  // block 0x1200
  file.programMemory[0x7FC1] = 0xA5;  // block 0x7FC0
  ASSERT_EQ(Device().UpdateChangedBlocks(), 1);
  for (int32_t a = 0; a < 32768; ++a) {
    const bool written = (a >= 0x1200 && a < 0x1240) || a >= 0x7FC0;
    ASSERT_EQ(file.programMemory[a] != kBlankCell, written) << a;
  }
  Finish();
  const TargetMemory target = Target();
  EXPECT_EQ(target.program[0x1234], 0x5A);
  EXPECT_EQ(target.program[0x7FC1], 0xA5);
  EXPECT_EQ(target.program[0x1235], PatternByte(0x1235));  // rewritten after the row erase
  EXPECT_EQ(target.program[0x7FFF], PatternByte(0x7FFF));
}

TEST_P(Pic18Update, StuckFlashBitIsFoundAtItsAddress) {
  const uint32_t address = 0x5A5B;
  const uint8_t value = PatternByte(address);
  const int bit = std::countr_zero(static_cast<unsigned>(value));  // a bit that is set
  StartIdentified(
      GetParam(), "PIC18F452",
      {{"stuckBits", nlohmann::json::array({{{"address", address}, {"bit", bit}, {"level", 0}}})}});
  FillFileImage();
  ASSERT_EQ(Device().WriteProgramMemory(), 1);
  ASSERT_EQ(Device().ReadProgramRange(-1, -1), 1);
  EXPECT_EQ(Device().FindProgramMismatch(), static_cast<int>(address));
  EXPECT_EQ(Link().chipImage.programMemory[address], value & ~(1 << bit));
}

TEST_P(Pic18Update, LostConfigurationWriteShowsUntilWrittenAgain) {
  StartIdentified(GetParam(), "PIC18F452", {{"failConfigWriteOnce", nlohmann::json::array({6})}});
  for (int i = 0; i < 14; ++i) Link().fileImage.configuration[i] = 0xFF;
  Link().fileImage.configuration[6] = 0x81;
  ASSERT_EQ(Device().WriteConfiguration(), 1);
  ASSERT_EQ(Device().ReadConfiguration(), 1);
  EXPECT_EQ(Device().FindConfigMismatch(), 6);
  ASSERT_EQ(Device().WriteConfiguration(), 1);
  ASSERT_EQ(Device().ReadConfiguration(), 1);
  EXPECT_EQ(Device().FindConfigMismatch(), -1);
}

INSTANTIATE_TEST_SUITE_P(Kinds, Pic18Update, ::testing::Values(Kind::kFull, Kind::kMini));

TEST_F(Pic18Test, CompareHelpersTreatBlankFileCellsAsErased) {
  StartIdentified(Kind::kFull, "PIC18F452");
  CPICVortang& link = Link();
  CPic18Device& device = Device();
  link.chipImage.programMemory[10] = 0xFF;  // blank in the file, erased in the chip
  link.chipImage.programMemory[11] = 0x00;
  EXPECT_EQ(device.FindProgramMismatch(), 11);
  link.fileImage.eeprom[255] = 0x12;
  EXPECT_EQ(device.FindEepromMismatch(), 255);
  link.fileImage.configuration[0] = 0x55;  // CONFIG1L: nothing implemented
  link.chipImage.configuration[2] = 0xF0;  // CONFIG2L mask 0x0F: the difference is masked away
  link.fileImage.configuration[2] = 0x00;
  EXPECT_EQ(device.FindConfigMismatch(), -1);
  link.fileImage.configuration[3] = 0x01;
  EXPECT_EQ(device.FindConfigMismatch(), 3);
}

}  // namespace
}  // namespace velmora::testing
