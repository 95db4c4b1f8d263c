#include "link/dynamic_library.h"

#include <utility>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#endif

namespace velmora {

DynamicLibrary::~DynamicLibrary() {
  Unload();
}

DynamicLibrary::DynamicLibrary(DynamicLibrary&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)) {}

DynamicLibrary& DynamicLibrary::operator=(DynamicLibrary&& other) noexcept {
  if (this != &other) {
    Unload();
    handle_ = std::exchange(other.handle_, nullptr);
  }
  return *this;
}

#ifdef _WIN32

DynamicLibrary DynamicLibrary::Load(const std::string& nameOrPath) {
  DynamicLibrary library;
  library.handle_ = reinterpret_cast<void*>(LoadLibraryA(nameOrPath.c_str()));
  return library;
}

void* DynamicLibrary::Symbol(const char* name) const {
  if (!handle_) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}

void DynamicLibrary::Unload() {
  if (handle_) FreeLibrary(static_cast<HMODULE>(std::exchange(handle_, nullptr)));
}

std::string ExecutableDirectory() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string full(path, length);
  const auto slash = full.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : full.substr(0, slash);
}

std::vector<std::string> DriverLibraryCandidates(const std::string& userPath,
                                                 const char* environmentPath, const std::string&) {
  std::vector<std::string> names;
  if (!userPath.empty()) names.push_back(userPath);
  if (environmentPath && *environmentPath) names.emplace_back(environmentPath);
  names.emplace_back("FTD2xx.dll");
  return names;
}

#else

DynamicLibrary DynamicLibrary::Load(const std::string& nameOrPath) {
  DynamicLibrary library;
  library.handle_ = dlopen(nameOrPath.c_str(), RTLD_NOW | RTLD_LOCAL);
  return library;
}

void* DynamicLibrary::Symbol(const char* name) const {
  return handle_ ? dlsym(handle_, name) : nullptr;
}

void DynamicLibrary::Unload() {
  if (handle_) dlclose(std::exchange(handle_, nullptr));
}

std::string ExecutableDirectory() {
  char path[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path);
  if (length <= 0) return {};
  std::string full(path, static_cast<size_t>(length));
  const auto slash = full.rfind('/');
  return slash == std::string::npos ? std::string() : full.substr(0, slash);
}

std::vector<std::string> DriverLibraryCandidates(const std::string& userPath,
                                                 const char* environmentPath,
                                                 const std::string& executableDirectory) {
  std::vector<std::string> names;
  if (!userPath.empty()) names.push_back(userPath);
  if (environmentPath && *environmentPath) names.emplace_back(environmentPath);
  names.emplace_back("libftd2xx.so");
  if (!executableDirectory.empty()) names.push_back(executableDirectory + "/libvelmora-d2xx.so");
  names.emplace_back("libvelmora-d2xx.so");
  return names;
}

#endif

}  // namespace velmora
