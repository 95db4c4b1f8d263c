#include "engine/settings_store_qt.h"

#include <QByteArray>
#include <QSettings>
#include <QString>
#include <QVariant>

namespace velmora {

namespace {
QString Key(std::string_view name) {
  return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
}

std::unique_ptr<QSettings> UserSettings() {
#ifdef Q_OS_WIN
  return std::make_unique<QSettings>(QString::fromStdString(QtSettingsStore::UserRegistryKey()),
                                     QSettings::NativeFormat);
#else
  return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                     QString::fromUtf8(kSettingsOrganisation), QString());
#endif
}
}  // namespace

std::string QtSettingsStore::UserRegistryKey() {
  return std::string("HKEY_CURRENT_USER\\Software\\") + kSettingsOrganisation;
}

QtSettingsStore::QtSettingsStore() : settings_(UserSettings()) {}

QtSettingsStore::QtSettingsStore(const std::string& iniPath)
    : settings_(
          std::make_unique<QSettings>(QString::fromStdString(iniPath), QSettings::IniFormat)) {}

QtSettingsStore::~QtSettingsStore() = default;

bool QtSettingsStore::KeyExists() const {
  return !settings_->childKeys().isEmpty();
}

std::optional<std::string> QtSettingsStore::ReadString(std::string_view name) const {
  const QVariant value = settings_->value(Key(name));
  if (!value.isValid() || !value.canConvert<QString>()) return std::nullopt;
  return value.toString().toStdString();
}

std::optional<uint32_t> QtSettingsStore::ReadDword(std::string_view name) const {
  const QVariant value = settings_->value(Key(name));
  if (!value.isValid()) return std::nullopt;
  bool ok = false;
  // The registry hands DWORDs back as int, an INI file as text; both fit in 64 bits.
  const qlonglong number = value.toLongLong(&ok);
  if (!ok) return std::nullopt;
  return static_cast<uint32_t>(number);
}

std::optional<std::vector<uint8_t>> QtSettingsStore::ReadBinary(std::string_view name) const {
  const QVariant value = settings_->value(Key(name));
  if (!value.isValid() || value.typeId() != QMetaType::QByteArray) return std::nullopt;
  const QByteArray bytes = value.toByteArray();
  return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

void QtSettingsStore::WriteString(std::string_view name, const std::string& value) {
  settings_->setValue(Key(name), QString::fromStdString(value));
}

void QtSettingsStore::WriteDword(std::string_view name, uint32_t value) {
  settings_->setValue(Key(name), static_cast<uint>(value));
}

void QtSettingsStore::WriteBinary(std::string_view name, std::span<const uint8_t> value) {
  settings_->setValue(Key(name), QByteArray(reinterpret_cast<const char*>(value.data()),
                                            static_cast<qsizetype>(value.size())));
}

void QtSettingsStore::Sync() {
  settings_->sync();
}

std::string QtSettingsStore::Location() const {
  return settings_->fileName().toStdString();
}

}  // namespace velmora
