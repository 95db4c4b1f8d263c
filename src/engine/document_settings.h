#pragma once
// The user's settings of every device family: loaded once when the document is built and
// written back when it goes away. Combo boxes store their list index, check boxes 0/1.
#include <array>
#include <cstdint>
#include <string>

#include "engine/option_ids.h"
#include "engine/settings_store.h"
#include "link/power_modes.h"

namespace velmora {

// The twelve ints of the script view, in their stored order.
enum ZeqOption : int {
  kZeqFunctionSelection,
  kZeqEraseAlways,
  kZeqProgramMemory,
  kZeqProgramEeprom,
  kZeqProgramIdLocation,
  kZeqProgramConfiguration,
  kZeqFastVerify,
  kZeqNoVerify,
  kZeqIgnoreConfigFromHex,
  kZeqLvp,
  kZeqChipSelection,
  kZeqAutoProgram,
  kZeqOptionCount
};

// CONFIG1L..CONFIG7H in address order.
inline constexpr std::array<uint8_t, 14> kDefaultPic18Configuration = {
    0xFF, 0xF9, 0xFD, 0xFE, 0xFF, 0xFF, 0xFB, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

// "ATMEGASPEED" values from this one on are never restored at start.
inline constexpr uint32_t kFirstUnrestoredAtmegaSpeed = 4;
// Longest string value that is read back (a 1024-byte buffer with its terminating zero).
inline constexpr size_t kMaxStoredStringLength = 1023;

struct DocumentSettings {
  DocumentSettings();

  // General programming flags (PIC18, ATmega and ATtiny views).
  int32_t ignoreConfigFromFile = 0;
  int32_t lowVoltageProgramming = 0;
  int32_t enableChipErase = 1;
  int32_t enableFlashUpdate = 1;
  int32_t enableEepromUpdate = 1;
  int32_t enableIdLocationUpdate = 1;
  int32_t enableConfigurationUpdate = 1;
  int32_t powerSwitching = 0;
  int32_t atmegaCopyCalibrationByte = 0;
  int32_t atmegaSpeed = 3;
  int32_t pic10TypeSelection = 0;

  std::array<uint8_t, 14> pic18Configuration = kDefaultPic18Configuration;
  int32_t optionSelections[kOptionCount];  // all 1

  // Tracing.
  int32_t trace = 0;
  int32_t suppressTrace = 0;
  int32_t tracePullUp = 1;
  std::string traceDefinitionFile;

  // Files and script view.
  std::string hexFileName;
  std::string dspic30FlashFileName;
  std::array<std::string, 3> zeqAlgorithmFiles;
  std::array<std::string, 4> zeqFiles;
  std::string zeqRunFunctionName;
  std::array<int32_t, kZeqOptionCount> zeqOptions;  // all 1
  std::string atmegaDefaultSignature;

  bool operator==(const DocumentSettings& other) const = default;
};

// Reads every stored value over the defaults; a missing key or value, and an oversized one,
// keeps the default. Tracing is off afterwards whatever was stored.
void LoadSettings(const ISettingsStore& store, DocumentSettings& settings);
// Writes every value, in the stored order. Store errors are not reported.
void SaveSettings(ISettingsStore& store, const DocumentSettings& settings);

}  // namespace velmora
