// Frequency measurement (the device views' "Meas. Freq." and `velmora-cli freq`).
#include "engine/frequency.h"

#include <cmath>

#include "engine/cqel_doc.h"
#include "engine/text_format.h"
#include "link/pic_vortang.h"

namespace velmora {

namespace {

constexpr uint8_t kMeasureFrequency = 0x5A;
constexpr uint8_t kMeasured = 4;  // the first answer byte when the firmware saw a clock
constexpr double kReferenceCount = 20000000.0;
constexpr double kKilohertzBelow = 0.9;  // MHz

constexpr int32_t kYellow = 0x00FFFF;
constexpr int32_t kCyan = 0xFFFF00;

// The clock the firmware measured, in MHz; 0 when it saw none or the link failed.
double MeasureFrequency(CPICVortang& link) {
  link.ResetCursors();
  if (!link.WriteCommandByte(kMeasureFrequency)) return 0;
  const uint8_t* answer = link.ReadReply(1);
  if (!answer || *answer != kMeasured) return 0;
  const uint8_t* b = link.ReadReply(4);
  if (!b) return 0;
  return FrequencyFromCount(FrequencyCount(b[0], b[1], b[2], b[3]));
}

}  // namespace

uint32_t FrequencyCount(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3) {
  return 5u * b0 + 1279u * b1 + 328191u * b2 +
         static_cast<uint32_t>(static_cast<int32_t>(b3) - 230) * 84017663u;
}

double FrequencyFromCount(uint32_t count) {
  // A count of 0 is no measurement, not an infinite clock.
  return count == 0 ? 0.0 : kReferenceCount / count;
}

std::string FrequencyText(double megahertz) {
  if (megahertz > kKilohertzBelow) return Printf("Frequency: %fMHz", megahertz);
  return Printf("Frequency: %.3fkHz", megahertz * 1000);
}

std::vector<std::string> FrequencyJudgement(double megahertz) {
  std::vector<std::string> lines;
  if (!(megahertz > 0)) return lines;
  for (double reference : kReferenceFrequencies) {
    const double deviation = std::fabs(reference / megahertz - 1);
    if (deviation < kFrequencyTolerance) {
      lines.push_back(Printf("Failure: %.0fppm of %.3f MHz", deviation * 1000000, reference));
    }
  }
  if (!lines.empty()) return lines;
  for (double reference : kReferenceFrequencies) {
    const double deviation = std::fabs(reference / megahertz - 1);
    if (deviation < kFrequencyFallbackTolerance) {
      lines.push_back(Printf("Failure: %.2f%% of %.3f MHz", deviation * 100, reference));
    }
  }
  return lines;
}

void CqelDoc::RunMeasureFrequency() {
  lastOutcome = OperationOutcome::kFailed;
  usesMiniProgrammer = 0;
  if (!OpenOperationLink()) return;
  LogLine("");
  progressBar.Update([](ProgressBarState& s) {
    s.barColour = kYellow;
    s.filledTextColour = colour::kBlack;
    s.emptyTextColour = colour::kBlack;
    s.minimum = 0;
    s.maximum = 1000;
    s.position = 1000;
    s.caption = "Measuring MCU Frequency, please wait...";
  });
  const double megahertz = MeasureFrequency(*programmer);
  const std::string text = FrequencyText(megahertz);
  progressBar.SetCaption(text);
  LogLine(text);
  for (const std::string& line : FrequencyJudgement(megahertz)) LogLine(line);
  if (LinkLost()) LogLine("+++ Connection to the programmer lost +++");
  progressBar.Update([](ProgressBarState& s) {
    s.barColour = kCyan;
    s.filledTextColour = colour::kBlack;
    s.emptyTextColour = colour::kBlack;
    s.minimum = 0;
    s.maximum = 1000;
    s.position = 1000;
  });
  CloseOperationLink();
  lastOutcome = megahertz > 0 ? OperationOutcome::kSuccess : OperationOutcome::kFailed;
}

bool CqelDoc::StartMeasureFrequency() {
  lastOutcome = OperationOutcome::kNotStarted;
  if (IsBusy()) return false;
  return StartOperation([this] { RunMeasureFrequency(); });
}

}  // namespace velmora
