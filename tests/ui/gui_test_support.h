#pragma once
// Start options of the GUI tests: the simulated programmer with a PIC18F4550, and scripted
// answers instead of message boxes, so no test ever waits for a dialog.
#include "platform/user_prompt.h"
#include "ui/cqel_app.h"

namespace velmora {

inline StartOptions SimulatedStart(IUserPrompt& prompt,
                                   const QString& device = QStringLiteral("PIC18F4550")) {
  StartOptions options;
  options.simulatedDevice = device;
  options.prompt = &prompt;
  return options;
}

}  // namespace velmora
