#include "engine/operation_hex_file.h"

#include "memory/intel_hex.h"

namespace velmora {

bool LoadOperationHexFile(CqelDoc& doc, CMCUMemoryArchitecture& image,
                          const std::string& fileName) {
  HexReadReport report;
  if (ReadHexFile(image, fileName, doc.Prompt(), &report)) return true;
  const std::string where =
      report.textLine > 0 ? fileName + ":" + std::to_string(report.textLine) : fileName;
  doc.LogLine("+++ HEX file " + where + " not loaded: " + report.reason + " +++");
  // The last frame of the failure display, without blinking: this runs on the user's thread.
  doc.progressBar.Update([](ProgressBarState& s) {
    s.barColour = colour::kRed;
    s.filledTextColour = colour::kWhite;
    s.emptyTextColour = colour::kWhite;
    s.caption = "Fail";
    s.position = s.maximum;
  });
  doc.lastOperationFailed = 1;
  return false;
}

}  // namespace velmora
