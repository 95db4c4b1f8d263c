#include "cli/stored_settings.h"

#include <dlfcn.h>

#include <filesystem>
#include <string>
#include <system_error>

#include "cli/cli_common.h"
#include "engine/settings_module.h"
#include "link/dynamic_library.h"

namespace velmora::cli {
namespace {

constexpr char kLibraryName[] = "libvelmora-settings.so";

// Forwards to the store the library made, and keeps the library loaded while the store lives.
class LibrarySettingsStore final : public ISettingsStore {
 public:
  LibrarySettingsStore(DynamicLibrary library, ISettingsStore* store, VelmoraSettings_Close_t close)
      : library_(std::move(library)), store_(store), close_(close) {}
  ~LibrarySettingsStore() override {
    close_(store_);  // before the library is unloaded with the code that made the store
  }
  LibrarySettingsStore(const LibrarySettingsStore&) = delete;
  LibrarySettingsStore& operator=(const LibrarySettingsStore&) = delete;

  bool KeyExists() const override { return store_->KeyExists(); }
  std::optional<std::string> ReadString(std::string_view name) const override {
    return store_->ReadString(name);
  }
  std::optional<uint32_t> ReadDword(std::string_view name) const override {
    return store_->ReadDword(name);
  }
  std::optional<std::vector<uint8_t>> ReadBinary(std::string_view name) const override {
    return store_->ReadBinary(name);
  }
  void WriteString(std::string_view name, const std::string& value) override {
    store_->WriteString(name, value);
  }
  void WriteDword(std::string_view name, uint32_t value) override {
    store_->WriteDword(name, value);
  }
  void WriteBinary(std::string_view name, std::span<const uint8_t> value) override {
    store_->WriteBinary(name, value);
  }

 private:
  DynamicLibrary library_;
  ISettingsStore* store_;
  VelmoraSettings_Close_t close_;
};

std::string LibraryPath() {
  const std::string beside = ExecutableDirectory() + "/" + kLibraryName;
  std::error_code error;
  return std::filesystem::exists(beside, error) ? beside : kLibraryName;
}

}  // namespace

std::unique_ptr<ISettingsStore> OpenStoredSettings() {
  const std::string path = LibraryPath();
  DynamicLibrary library = DynamicLibrary::Load(path);
  if (!library) {
    const char* reason = dlerror();
    ReportError(path, std::string("the settings library does not load (") +
                          (reason ? reason : "unknown reason") + ")");
    return nullptr;
  }
  auto open = reinterpret_cast<VelmoraSettings_OpenUserStore_t>(
      library.Symbol("VelmoraSettings_OpenUserStore"));
  auto close = reinterpret_cast<VelmoraSettings_Close_t>(library.Symbol("VelmoraSettings_Close"));
  ISettingsStore* store = open && close ? open() : nullptr;
  if (!store) {
    ReportError(path, "the settings library does not open the stored settings");
    return nullptr;
  }
  return std::make_unique<LibrarySettingsStore>(std::move(library), store, close);
}

}  // namespace velmora::cli
