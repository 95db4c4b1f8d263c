// The script link of the simulated full programmer, through the real link code: the state
// request, the upload of code blocks into the algorithm area, and the call command running the
// uploaded code on the programmer's processor, whose pins drive the simulated target.
#include <gmock/gmock.h>

#include <fstream>
#include <map>

#include "link/link_fixture.h"
#include "sim/pic18/pic18_geometry.h"
#include "sim/pic18/pic18_memory.h"
#include "support/scratch_directory.h"

namespace velmora::testing {
namespace {

constexpr uint32_t kAreaStart = 0x4000;
constexpr uint32_t kAreaEnd = 0x8000;
constexpr uint32_t kBlock = 64;
// Entries of script_link.asm.
constexpr uint16_t kReadDeviceId = 0x4002;
constexpr uint16_t kEchoPlusOne = 0x4100;
constexpr uint16_t kWait10000 = 0x4200;

std::string ProgramPath() {
  return std::string(VELMORA_TEST_DATA_DIR) + "/pic18core/script_link.hex";
}

// The algorithm-area bytes of an Intel HEX file (type 00 records below 64 KB).
std::map<uint32_t, uint8_t> AreaBytes(const std::string& path) {
  std::ifstream in(path);
  std::map<uint32_t, uint8_t> bytes;
  std::string line;
  while (std::getline(in, line)) {
    if (line.size() < 11 || line[0] != ':' || line.substr(7, 2) != "00") continue;
    const auto count = std::stoul(line.substr(1, 2), nullptr, 16);
    const auto offset = std::stoul(line.substr(3, 4), nullptr, 16);
    for (uint32_t i = 0; i < count; ++i) {
      const uint32_t address = offset + i;
      if (address >= kAreaStart && address < kAreaEnd) {
        bytes[address] = uint8_t(std::stoul(line.substr(9 + 2 * i, 2), nullptr, 16));
      }
    }
  }
  return bytes;
}

class ScriptLinkTest : public LinkTest {
 protected:
  void SetUp() override {
    LinkTest::SetUp();
    Configure({{"device", "PIC18F4550"}, {"firmware", "FW 3"}, {"target", {{"revision", 3}}}});
    ASSERT_EQ(OpenFull(), 1);
  }
  void TearDown() override { Link().Close(); }

  std::vector<uint8_t> Read(size_t count) {
    Link().ResetCursors();
    const uint8_t* bytes = Link().ReadReply(count);
    return bytes ? std::vector<uint8_t>(bytes, bytes + count) : std::vector<uint8_t>{};
  }
  std::vector<uint8_t> State() {
    EXPECT_TRUE(Link().WriteCommandByte(0x18));
    return Read(4 + (kAreaEnd - kAreaStart) + 6);
  }
  // Uploads every block of the program that holds code; returns the blocks that read back
  // differently.
  int Upload() {
    std::map<uint32_t, std::vector<uint8_t>> blocks;
    for (const auto& [address, value] : AreaBytes(ProgramPath())) {
      auto& block = blocks[address - address % kBlock];
      block.resize(kBlock, 0xFF);
      block[address % kBlock] = value;
    }
    int wrong = 0;
    for (const auto& [offset, block] : blocks) {
      std::vector<uint8_t> command = {0x1A, uint8_t(offset), uint8_t(offset >> 8)};
      command.insert(command.end(), block.begin(), block.end());
      EXPECT_TRUE(Link().WriteCommandBytes(command));
      if (Read(kBlock) != block) ++wrong;
    }
    return wrong;
  }
  void CallCode(uint16_t offset, std::vector<uint8_t> after = {}) {
    std::vector<uint8_t> bytes = {0x19, uint8_t(offset >> 8), uint8_t(offset)};
    bytes.insert(bytes.end(), after.begin(), after.end());
    ASSERT_TRUE(Link().WriteCommandBytes(bytes));
  }
};

TEST_F(ScriptLinkTest, StateGivesAnErasedAreaAndTheFirmwareEntries) {
  const std::vector<uint8_t> state = State();
  ASSERT_EQ(state.size(), 4 + (kAreaEnd - kAreaStart) + 6);
  EXPECT_EQ(state[0] | state[1] << 8, int(kAreaStart));
  EXPECT_EQ(state[2] | state[3] << 8, int(kAreaEnd));
  EXPECT_TRUE(std::all_of(state.begin() + 4, state.end() - 6, [](uint8_t b) { return b == 0xFF; }));
  const size_t tail = state.size() - 6;
  EXPECT_EQ(state[tail] | state[tail + 1] << 8, 0x1000);      // delay base
  EXPECT_EQ(state[tail + 4] | state[tail + 5] << 8, 0x1440);  // receive routine
  EXPECT_THAT(Events("command").back()["name"].get<std::string>(), "script state");
}

TEST_F(ScriptLinkTest, UploadedBlocksReadBackAndShowInTheState) {
  EXPECT_EQ(Upload(), 0);
  const std::vector<uint8_t> state = State();
  for (const auto& [address, value] : AreaBytes(ProgramPath())) {
    ASSERT_EQ(state[4 + address - kAreaStart], value) << address;
  }
  // A block outside the area is refused and reads back the firmware's flash.
  std::vector<uint8_t> outside = {0x1A, 0xC0, 0x0F};
  outside.resize(3 + kBlock, 0x00);
  ASSERT_TRUE(Link().WriteCommandBytes(outside));
  EXPECT_NE(Read(kBlock), std::vector<uint8_t>(kBlock, 0x00));
  EXPECT_THAT(Events("command").back()["name"].get<std::string>(),
              ::testing::HasSubstr("outside the algorithm area"));
}

TEST_F(ScriptLinkTest, UploadedCodeReadsTheTargetsDeviceIdThroughThePins) {
  ASSERT_EQ(Upload(), 0);
  CallCode(kReadDeviceId);
  const uint16_t id =
      sim::Pic18Memory(*sim::Pic18GeometryByName("PIC18F4550"), 3).DeviceIdWithRevision();
  EXPECT_EQ(Read(2), (std::vector<uint8_t>{uint8_t(id), uint8_t(id >> 8)}));
  EXPECT_THAT(Events("command").back()["name"].get<std::string>(), "script call 0x4002");
  // Back in the firmware: commands work again.
  ASSERT_TRUE(Link().WriteCommandByte(0x20));
  EXPECT_EQ(Read(1).size(), 1u);
}

TEST_F(ScriptLinkTest, BytesAfterTheCallGoToTheCodeUntilItReturns) {
  ASSERT_EQ(Upload(), 0);
  // Count 3, three bytes for the code, then the presence probe for the firmware.
  CallCode(kEchoPlusOne, {3, 0x10, 0x20, 0x30, 0x20});
  EXPECT_EQ(Read(4), (std::vector<uint8_t>{0x11, 0x21, 0x31, 4}));  // "FW 3"
  // Bytes the code waits for may come in later writes.
  CallCode(kEchoPlusOne, {2, 0x40});
  EXPECT_EQ(Read(1), std::vector<uint8_t>{0x41});
  ASSERT_TRUE(Link().WriteCommandBytes({0x50}));
  EXPECT_EQ(Read(1), std::vector<uint8_t>{0x51});
}

TEST_F(ScriptLinkTest, ProcessorCyclesAddToTheLinkTime) {
  ASSERT_EQ(Upload(), 0);
  const double before = Transcript()["processorMicros"].get<double>();
  CallCode(kWait10000);
  ASSERT_TRUE(Link().WriteCommandByte(0x20));  // the firmware answers once the code returned
  ASSERT_EQ(Read(1).size(), 1u);
  // The delay routine with its CALL, and the RETURN to the firmware: 12 cycles a microsecond.
  EXPECT_DOUBLE_EQ(Transcript()["processorMicros"].get<double>() - before, 10002 / 12.0);
}

TEST_F(ScriptLinkTest, TheAlgorithmAreaKeepsItsCodeBetweenProcesses) {
  const auto state = ScratchDirectory("script-link-") / "state.json";
  Link().Close();
  Configure({{"device", "PIC18F4550"}, {"stateFile", state.string()}});
  ASSERT_EQ(OpenFull(), 1);
  ASSERT_EQ(Upload(), 0);
  Link().Close();  // the simulator saves its state
  Configure({{"device", "PIC18F2550"}, {"stateFile", state.string()}});  // another target
  ASSERT_EQ(OpenFull(), 1);
  const std::vector<uint8_t> area = State();
  for (const auto& [address, value] : AreaBytes(ProgramPath())) {
    ASSERT_EQ(area[4 + address - kAreaStart], value) << address;
  }
}

}  // namespace
}  // namespace velmora::testing
