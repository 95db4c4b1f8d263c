#include "engine/settings_store.h"

namespace velmora {

namespace {
template <class T>
std::optional<T> Get(const std::map<std::string, MemorySettingsStore::Value, std::less<>>& values,
                     std::string_view name) {
  const auto it = values.find(name);
  if (it == values.end()) return std::nullopt;
  if (const T* value = std::get_if<T>(&it->second)) return *value;
  return std::nullopt;
}
}  // namespace

std::optional<std::string> MemorySettingsStore::ReadString(std::string_view name) const {
  return Get<std::string>(values_, name);
}

std::optional<uint32_t> MemorySettingsStore::ReadDword(std::string_view name) const {
  return Get<uint32_t>(values_, name);
}

std::optional<std::vector<uint8_t>> MemorySettingsStore::ReadBinary(std::string_view name) const {
  return Get<std::vector<uint8_t>>(values_, name);
}

void MemorySettingsStore::WriteString(std::string_view name, const std::string& value) {
  Store(name, value);
}

void MemorySettingsStore::WriteDword(std::string_view name, uint32_t value) {
  Store(name, value);
}

void MemorySettingsStore::WriteBinary(std::string_view name, std::span<const uint8_t> value) {
  Store(name, std::vector<uint8_t>(value.begin(), value.end()));
}

void MemorySettingsStore::Store(std::string_view name, Value value) {
  keyExists_ = true;
  values_.insert_or_assign(std::string(name), std::move(value));
  writeOrder_.emplace_back(name);
}

}  // namespace velmora
