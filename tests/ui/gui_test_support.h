#pragma once
// What every GUI test starts the program with: the simulated programmer with a PIC18F4550,
// scripted answers instead of message boxes, a virtual clock (nothing really waits) and
// settings in a temporary file instead of the user's.
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

#include "engine/cqel_doc.h"
#include "engine/settings_store_qt.h"
#include "platform/clock.h"
#include "platform/user_prompt.h"
#include "ui/cqel_app.h"

namespace velmora {

struct GuiTestEnvironment {
  StartOptions Start(const QString& device = QStringLiteral("PIC18F4550")) {
    StartOptions options;
    options.simulatedDevice = device;
    options.prompt = &prompt;
    options.clock = &clock;
    options.settingsStore = &store;
    return options;
  }

  ScriptedPrompt prompt;
  VirtualClock clock;
  QTemporaryDir directory;
  QtSettingsStore store{directory.filePath(QStringLiteral("settings.ini")).toStdString()};
};

inline QStringList LogLines(CqelDoc& doc) {
  QStringList lines;
  for (const std::string& line : doc.operationLog.Lines()) lines << QString::fromStdString(line);
  return lines;
}

}  // namespace velmora
