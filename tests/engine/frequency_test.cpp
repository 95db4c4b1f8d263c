// Frequency measurement: the count of the firmware's counter bytes, the judgement against the
// common crystals, and the measurement end to end on the simulated programmer.
#include "engine/frequency.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <thread>

#include "engine/file_changed.h"
#include "support/document_fixture.h"

namespace velmora::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

TEST(Frequency, CounterBytesAndTheirCount) {
  EXPECT_EQ(FrequencyCount(0, 0, 0, 230), 0u);
  EXPECT_EQ(FrequencyCount(179, 60, 15, 230), 5000500u);
  EXPECT_EQ(FrequencyCount(1, 1, 1, 231), 5u + 1279u + 328191u + 84017663u);
  // Below 230 the top byte counts down, modulo 2^32.
  EXPECT_EQ(FrequencyCount(0, 0, 0, 229), 0u - 84017663u);
}

struct JudgementCase {
  double megahertz;
  const char* text;
  std::vector<std::string> lines;
};

TEST(Frequency, TextAndJudgement) {
  const JudgementCase cases[] = {
      // Just above 100 ppm from 4 MHz: no ppm line, the fallback in percent.
      {3.9996, "Frequency: 3.999600MHz", {"Failure: 0.01% of 4.000 MHz"}},
      {0.03277, "Frequency: 32.770kHz", {"Failure: 61ppm of 0.033 MHz"}},
      {8.0, "Frequency: 8.000000MHz", {"Failure: 0ppm of 8.000 MHz"}},
      // Within 11 % of several crystals: each gets its line.
      {1.95,
       "Frequency: 1.950000MHz",
       {"Failure: 3.85% of 1.875 MHz", "Failure: 2.56% of 2.000 MHz"}},
      {0.9, "Frequency: 900.000kHz", {}},  // 11.1 % from 1 MHz: outside
      {30.0, "Frequency: 30.000000MHz", {}},
      {0.0, "Frequency: 0.000kHz", {}},
  };
  for (const JudgementCase& c : cases) {
    EXPECT_EQ(FrequencyText(c.megahertz), c.text) << c.megahertz;
    EXPECT_EQ(FrequencyJudgement(c.megahertz), c.lines) << c.megahertz;
  }
}

TEST(Frequency, ACountOfZeroIsNoMeasurement) {
  EXPECT_EQ(FrequencyFromCount(0), 0.0);
  EXPECT_EQ(FrequencyFromCount(5000000), 4.0);
}

class FrequencySimTest : public DocumentSimTest {
 protected:
  std::vector<std::string> Measure(const nlohmann::json& frequency) {
    nlohmann::json extra = nlohmann::json::object();
    if (!frequency.is_null()) extra["frequency"] = frequency;
    Start("PIC18F4550", false, extra);
    ResetRecords();
    EXPECT_TRUE(doc_->StartMeasureFrequency());
    doc_->WaitForOperation();
    return Log();
  }
};

TEST_F(FrequencySimTest, AWatchCrystalThroughTheProgrammer) {
  EXPECT_THAT(Measure({{"mhz", 0.03277}}),
              ElementsAre("", "Frequency: 32.770kHz", "Failure: 61ppm of 0.033 MHz"));
  EXPECT_EQ(doc_->lastOutcome, OperationOutcome::kSuccess);
  // The bar: yellow while measuring, the result as its caption, cyan at the end.
  EXPECT_THAT(captions_, ::testing::IsSupersetOf(
                             {"Measuring MCU Frequency, please wait...", "Frequency: 32.770kHz"}));
  const ProgressBarState bar = doc_->progressBar.State();
  EXPECT_EQ(bar.barColour, 0xFFFF00);
  EXPECT_EQ(bar.position, 1000);
  EXPECT_EQ(bar.maximum, 1000);
  // One measurement command, answered with 4 and the counter bytes.
  const std::vector<std::string> reads = Bytes("read");
  EXPECT_EQ(reads[reads.size() - 2], "04");
  EXPECT_THAT(Commands(), ::testing::Contains(std::vector<uint8_t>{0x5A}));
}

TEST_F(FrequencySimTest, FourMegahertzAtTheEdgeOfTheTolerance) {
  // The counter resolves 3.9996 MHz as 5000500 counts: exactly 100 ppm from 4 MHz, which
  // floating point puts just inside.
  EXPECT_THAT(Measure({{"mhz", 3.9996}}),
              ElementsAre("", "Frequency: 3.999600MHz", "Failure: 100ppm of 4.000 MHz"));
  // One step of the counter (5 counts) more is just outside: the fallback in percent.
  EXPECT_THAT(Measure({{"count", 5000505}}),
              ElementsAre("", "Frequency: 3.999596MHz", "Failure: 0.01% of 4.000 MHz"));
}

TEST_F(FrequencySimTest, NoMeasurement) {
  const std::vector<std::string> none = {"", "Frequency: 0.000kHz"};
  // A count of 0 (no division by it), a firmware that saw no clock, a target without one.
  EXPECT_EQ(Measure({{"count", 0}}), none);
  EXPECT_EQ(doc_->lastOutcome, OperationOutcome::kFailed);
  EXPECT_EQ(Measure("none"), none);
  EXPECT_EQ(Measure(nullptr), none);
  EXPECT_EQ(Bytes("read").back(), "00");
}

TEST_F(FrequencySimTest, NoAnswerAtAllIsALostLink) {
  EXPECT_THAT(Measure(nullptr), ElementsAre("", "Frequency: 0.000kHz"));
  Start("PIC18F4550", false, {{"faults", {{"replyNeverComes", {"0x5A"}}}}});
  ResetRecords();
  ASSERT_TRUE(doc_->StartMeasureFrequency());
  doc_->WaitForOperation();
  EXPECT_THAT(Log(),
              ElementsAre("", "Frequency: 0.000kHz", "+++ Connection to the programmer lost +++"));
  EXPECT_EQ(doc_->programmer->ftHandle.load(), nullptr);
}

TEST(FileChangedSince, ComparesAndRemembersTheModificationTime) {
  const std::filesystem::path dir = ScratchDirectory("velmora-file-changed-");
  const std::string path = (dir / "watched.tdf").string();
  std::filesystem::file_time_type remembered = std::filesystem::file_time_type::min();
  EXPECT_EQ(FileChangedSince(path, remembered), 0);  // no such file
  EXPECT_EQ(remembered, std::filesystem::file_time_type::min());
  std::ofstream(path) << "L=01:C=01:S=xx:M=a\n";
  EXPECT_EQ(FileChangedSince(path, remembered), 1);
  EXPECT_EQ(FileChangedSince(path, remembered), 0);
  std::filesystem::last_write_time(path, remembered + std::chrono::seconds(5));
  EXPECT_EQ(FileChangedSince(path, remembered), 1);
  std::filesystem::last_write_time(path, remembered - std::chrono::seconds(60));
  EXPECT_EQ(FileChangedSince(path, remembered), -1);
  EXPECT_EQ(FileChangedSince(dir.string(), remembered), 0);  // a folder is no file
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace velmora::testing
