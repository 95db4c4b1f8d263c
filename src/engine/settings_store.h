#pragma once
// Key-value store behind the document's settings: one key ("Software\Velmora USB-Programmer"
// of the current user) holding named string, DWORD and binary values. The value names are the
// contract between program versions and platforms; how a store keeps them is its own business.
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace velmora {

class ISettingsStore {
 public:
  virtual ~ISettingsStore() = default;
  // Whether the key exists at all (it does after the first save).
  virtual bool KeyExists() const = 0;
  // nullopt when the value is missing or cannot be read as the asked type.
  virtual std::optional<std::string> ReadString(std::string_view name) const = 0;
  virtual std::optional<uint32_t> ReadDword(std::string_view name) const = 0;
  virtual std::optional<std::vector<uint8_t>> ReadBinary(std::string_view name) const = 0;
  // Writing creates the key when it is missing.
  virtual void WriteString(std::string_view name, const std::string& value) = 0;
  virtual void WriteDword(std::string_view name, uint32_t value) = 0;
  virtual void WriteBinary(std::string_view name, std::span<const uint8_t> value) = 0;
};

// Values held in memory; records the order of writes. Used by tests and by front ends that
// must not touch the user's stored settings.
class MemorySettingsStore final : public ISettingsStore {
 public:
  using Value = std::variant<std::string, uint32_t, std::vector<uint8_t>>;

  bool KeyExists() const override { return keyExists_; }
  std::optional<std::string> ReadString(std::string_view name) const override;
  std::optional<uint32_t> ReadDword(std::string_view name) const override;
  std::optional<std::vector<uint8_t>> ReadBinary(std::string_view name) const override;
  void WriteString(std::string_view name, const std::string& value) override;
  void WriteDword(std::string_view name, uint32_t value) override;
  void WriteBinary(std::string_view name, std::span<const uint8_t> value) override;

  // Creates the key without any value in it.
  void CreateKey() { keyExists_ = true; }
  const std::map<std::string, Value, std::less<>>& Values() const { return values_; }
  // Every write in order, one entry per write (a value written twice appears twice).
  const std::vector<std::string>& WriteOrder() const { return writeOrder_; }

 private:
  void Store(std::string_view name, Value value);

  bool keyExists_ = false;
  std::map<std::string, Value, std::less<>> values_;
  std::vector<std::string> writeOrder_;
};

}  // namespace velmora
