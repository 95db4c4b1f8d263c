#pragma once
// Run-time loading of a shared library and lookup of its symbols by name.
#include <string>
#include <vector>

namespace velmora {

class DynamicLibrary {
 public:
  DynamicLibrary() = default;
  ~DynamicLibrary();
  DynamicLibrary(DynamicLibrary&& other) noexcept;
  DynamicLibrary& operator=(DynamicLibrary&& other) noexcept;
  DynamicLibrary(const DynamicLibrary&) = delete;
  DynamicLibrary& operator=(const DynamicLibrary&) = delete;

  // Loads by path or by name (the loader's search applies to bare names); an empty object
  // when the library cannot be loaded.
  static DynamicLibrary Load(const std::string& nameOrPath);

  explicit operator bool() const { return handle_ != nullptr; }
  // nullptr when the symbol is missing or no library is loaded.
  void* Symbol(const char* name) const;
  void Unload();

 private:
  void* handle_ = nullptr;
};

// Directory of the running executable ("" when it cannot be determined).
std::string ExecutableDirectory();

// The driver library names to try, in order: the path the user gave, the one in the
// VELMORA_D2XX environment variable, the vendor's library, then the project's own
// libftdi1-based library beside the executable and through the loader's search.
std::vector<std::string> DriverLibraryCandidates(const std::string& userPath,
                                                 const char* environmentPath,
                                                 const std::string& executableDirectory);

}  // namespace velmora
