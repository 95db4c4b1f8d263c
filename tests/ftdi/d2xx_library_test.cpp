// The driver library as the programmer link sees it: loaded with dlopen, entry points resolved
// by name. No FT232 is needed. (An FT232 attached without access rights makes FT_OpenEx answer
// FT_DEVICE_NOT_OPENED instead of FT_DEVICE_NOT_FOUND: libftdi1 must open it to read its
// description.)
#include <dlfcn.h>
#include <elf.h>
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "ftdi/d2xx_abi.h"

namespace velmora {
namespace {

const std::set<std::string> kEntryPoints = {"FT_Close",
                                            "FT_GetStatus",
                                            "FT_OpenEx",
                                            "FT_Purge",
                                            "FT_Read",
                                            "FT_ResetDevice",
                                            "FT_SetBaudRate",
                                            "FT_SetBitMode",
                                            "FT_SetDataCharacteristics",
                                            "FT_SetFlowControl",
                                            "FT_SetLatencyTimer",
                                            "FT_SetRts",
                                            "FT_SetTimeouts",
                                            "FT_SetUSBParameters",
                                            "FT_Write"};

// Names of the symbols the shared object defines in its dynamic symbol table.
std::set<std::string> DefinedDynamicSymbols(const char* path) {
  std::ifstream file(path, std::ios::binary);
  const std::vector<char> image{std::istreambuf_iterator<char>(file), {}};
  if (image.size() < sizeof(Elf64_Ehdr)) return {};
  Elf64_Ehdr header;
  std::memcpy(&header, image.data(), sizeof header);
  std::vector<Elf64_Shdr> sections(header.e_shnum);
  std::memcpy(sections.data(), image.data() + header.e_shoff, sections.size() * sizeof(Elf64_Shdr));
  std::set<std::string> names;
  for (const Elf64_Shdr& section : sections) {
    if (section.sh_type != SHT_DYNSYM) continue;
    const char* strings = image.data() + sections[section.sh_link].sh_offset;
    for (size_t offset = 0; offset < section.sh_size; offset += sizeof(Elf64_Sym)) {
      Elf64_Sym symbol;
      std::memcpy(&symbol, image.data() + section.sh_offset + offset, sizeof symbol);
      const int binding = ELF64_ST_BIND(symbol.st_info);
      if (symbol.st_shndx != SHN_UNDEF && (binding == STB_GLOBAL || binding == STB_WEAK)) {
        names.insert(strings + symbol.st_name);
      }
    }
  }
  return names;
}

class DriverLibrary : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { library_ = dlopen(VELMORA_D2XX_LIBRARY, RTLD_NOW | RTLD_LOCAL); }
  static void TearDownTestSuite() {
    if (library_) dlclose(library_);
  }
  void SetUp() override { ASSERT_NE(library_, nullptr) << dlerror(); }
  static inline void* library_ = nullptr;
};

// An entry point by name, typed after its declaration in d2xx_abi.h.
#define RESOLVE(name) reinterpret_cast<decltype(&name)>(dlsym(library_, #name))

TEST_F(DriverLibrary, ExportsExactlyTheFifteenEntryPoints) {
  EXPECT_EQ(DefinedDynamicSymbols(VELMORA_D2XX_LIBRARY), kEntryPoints);
  for (const std::string& name : kEntryPoints) {
    EXPECT_NE(dlsym(library_, name.c_str()), nullptr) << name;
  }
}

TEST_F(DriverLibrary, OpenWithoutSuchDeviceReportsNotFoundAndNullHandle) {
  const auto openEx = RESOLVE(FT_OpenEx);
  char description[] = "Velmora test: no such programmer";
  FT_HANDLE handle = reinterpret_cast<FT_HANDLE>(0x1234);
  EXPECT_EQ(openEx(description, FT_OPEN_BY_DESCRIPTION, &handle), FT_DEVICE_NOT_FOUND);
  EXPECT_EQ(handle, nullptr);

  handle = reinterpret_cast<FT_HANDLE>(0x1234);
  EXPECT_EQ(openEx(description, FT_OPEN_BY_SERIAL_NUMBER, &handle), FT_DEVICE_NOT_FOUND);
  EXPECT_EQ(handle, nullptr);
}

TEST_F(DriverLibrary, OpenRejectsMissingArgumentsAndUnknownFlags) {
  const auto openEx = RESOLVE(FT_OpenEx);
  char description[] = "Velmora USB-Programmer";
  FT_HANDLE handle = reinterpret_cast<FT_HANDLE>(0x1234);
  EXPECT_EQ(openEx(nullptr, FT_OPEN_BY_DESCRIPTION, &handle), FT_INVALID_PARAMETER);
  EXPECT_EQ(handle, nullptr);
  EXPECT_EQ(openEx(description, 4, &handle), FT_INVALID_PARAMETER);  // by location
  EXPECT_EQ(openEx(description, FT_OPEN_BY_DESCRIPTION, nullptr), FT_INVALID_PARAMETER);
}

TEST_F(DriverLibrary, EveryCallOnANullOrUnknownHandleIsInvalidHandle) {
  int notAHandle = 0;
  const FT_HANDLE handles[] = {nullptr, reinterpret_cast<FT_HANDLE>(1),
                               reinterpret_cast<FT_HANDLE>(0xDEADBEEF), &notAHandle};
  uint8_t buffer[16] = {};
  uint32_t a = 0xAAAA, b = 0xBBBB, c = 0xCCCC;
  for (const FT_HANDLE h : handles) {
    SCOPED_TRACE(reinterpret_cast<uintptr_t>(h));
    EXPECT_EQ(RESOLVE(FT_Close)(h), FT_INVALID_HANDLE);
    EXPECT_EQ(RESOLVE(FT_GetStatus)(h, &a, &b, &c), FT_INVALID_HANDLE);
    EXPECT_EQ(RESOLVE(FT_Purge)(h, FT_PURGE_RX | FT_PURGE_TX), FT_INVALID_HANDLE);
    EXPECT_EQ(RESOLVE(FT_Read)(h, buffer, sizeof buffer, &a), FT_INVALID_HANDLE);
    EXPECT_EQ(RESOLVE(FT_ResetDevice)(h), FT_INVALID_HANDLE);
    EXPECT_EQ(RESOLVE(FT_SetBaudRate)(h, 1'250'000), FT_INVALID_HANDLE);
    EXPECT_EQ(RESOLVE(FT_SetBitMode)(h, 0xFC, FT_BITMODE_ASYNC_BITBANG), FT_INVALID_HANDLE);
    EXPECT_EQ(RESOLVE(FT_SetDataCharacteristics)(h, FT_BITS_8, FT_STOP_BITS_2, FT_PARITY_NONE),
              FT_INVALID_HANDLE);
    EXPECT_EQ(RESOLVE(FT_SetFlowControl)(h, FT_FLOW_RTS_CTS, 0, 0), FT_INVALID_HANDLE);
    EXPECT_EQ(RESOLVE(FT_SetLatencyTimer)(h, 1), FT_INVALID_HANDLE);
    EXPECT_EQ(RESOLVE(FT_SetRts)(h), FT_INVALID_HANDLE);
    EXPECT_EQ(RESOLVE(FT_SetTimeouts)(h, 1000, 0), FT_INVALID_HANDLE);
    EXPECT_EQ(RESOLVE(FT_SetUSBParameters)(h, 65536, 0), FT_INVALID_HANDLE);
    EXPECT_EQ(RESOLVE(FT_Write)(h, buffer, sizeof buffer, &a), FT_INVALID_HANDLE);
  }
  // Out-parameters of rejected calls stay untouched.
  EXPECT_EQ(a, 0xAAAAu);
  EXPECT_EQ(b, 0xBBBBu);
  EXPECT_EQ(c, 0xCCCCu);
  EXPECT_EQ(notAHandle, 0);
}

}  // namespace
}  // namespace velmora
