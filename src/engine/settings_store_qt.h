#pragma once
// The settings store of both front ends, on QSettings (QtCore only). On Windows it is the
// registry key HKEY_CURRENT_USER\Software\Velmora USB-Programmer; elsewhere an INI file
// "Velmora USB-Programmer.conf" in the user's configuration directory.
#include <memory>
#include <string>

#include "engine/settings_store.h"

class QSettings;

namespace velmora {

inline constexpr const char* kSettingsOrganisation = "Velmora USB-Programmer";

class QtSettingsStore final : public ISettingsStore {
 public:
  // The user's own settings.
  QtSettingsStore();
  // An INI file at `iniPath` (tests, portable installs).
  explicit QtSettingsStore(const std::string& iniPath);
  ~QtSettingsStore() override;

  bool KeyExists() const override;
  std::optional<std::string> ReadString(std::string_view name) const override;
  std::optional<uint32_t> ReadDword(std::string_view name) const override;
  std::optional<std::vector<uint8_t>> ReadBinary(std::string_view name) const override;
  void WriteString(std::string_view name, const std::string& value) override;
  void WriteDword(std::string_view name, uint32_t value) override;
  void WriteBinary(std::string_view name, std::span<const uint8_t> value) override;

  // Writes pending changes to the backing file or registry now.
  void Sync();
  std::string Location() const;

  // The registry key of the user's settings on Windows, opened by its full path: QSettings'
  // organisation-and-application form would write to a sub-key "OrganizationDefaults" when the
  // application name is empty.
  static std::string UserRegistryKey();

 private:
  std::unique_ptr<QSettings> settings_;
};

}  // namespace velmora
