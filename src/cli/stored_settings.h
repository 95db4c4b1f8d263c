#pragma once
// The user's stored settings, which the command line reads as defaults and never writes. The
// store (QSettings) lives in libvelmora-settings.so, loaded only by the commands that read it:
// the others start without loading Qt.
#include <memory>

#include "engine/settings_store.h"

namespace velmora::cli {

// The stored settings, from the library beside the program or else through the loader's
// search; nullptr after reporting why the library does not load.
std::unique_ptr<ISettingsStore> OpenStoredSettings();

}  // namespace velmora::cli
