#pragma once
// The entry points of libvelmora-settings.so, the QSettings store as a library loaded at run
// time: the command line opens it only for the commands that read the stored settings, so the
// others do not load Qt at all.
#include "engine/settings_store.h"

extern "C" {
// The user's own settings (as QtSettingsStore()); nullptr when the store cannot be created.
velmora::ISettingsStore* VelmoraSettings_OpenUserStore();
// Destroys a store made by VelmoraSettings_OpenUserStore, inside the library that made it.
void VelmoraSettings_Close(velmora::ISettingsStore* store);
}

using VelmoraSettings_OpenUserStore_t = decltype(&VelmoraSettings_OpenUserStore);
using VelmoraSettings_Close_t = decltype(&VelmoraSettings_Close);
