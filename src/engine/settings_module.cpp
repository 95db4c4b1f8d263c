#include "engine/settings_module.h"

#include <new>

#include "engine/settings_store_qt.h"

#define VELMORA_SETTINGS_EXPORT __attribute__((visibility("default")))

extern "C" VELMORA_SETTINGS_EXPORT velmora::ISettingsStore* VelmoraSettings_OpenUserStore() {
  return new (std::nothrow) velmora::QtSettingsStore();
}

extern "C" VELMORA_SETTINGS_EXPORT void VelmoraSettings_Close(velmora::ISettingsStore* store) {
  delete store;
}
