#pragma once
// Intel HEX import and export in the flat address space of the memory image: program memory from
// 0x000000, PIC18 ID locations at 0x200000 and configuration at 0x300000, data EEPROM at
// 0xF00000, dsPIC30 EEPROM at 0xFF0000 and configuration at 0x1F00000, and the flash windows at
// 0x1D000000 and 0x1FC00000.
#include <string>
#include <string_view>

#include "memory/memory_image.h"
#include "platform/user_prompt.h"

namespace velmora {

// Where and why reading stopped, for front ends that name the place of an error.
struct HexReadReport {
  int records = 0;     // records read, including the one where reading stopped
  int textLine = 0;    // text line (from 1) of the record where reading failed; 0 if it did not
  std::string reason;  // why it failed: "malformed record", "checksum error", ...
};

// Clears `image` and loads the file into it. Returns 1 on success; 0 when the file cannot be
// read (the system's error text is shown), when a record is malformed (no message; the cells
// stored so far stay), or when the user declines to go on after a checksum error or an unknown
// record type.
// `report`, when given, says where and why reading failed (the system's text for a file that
// cannot be read).
int ReadHexFile(CMCUMemoryArchitecture& image, const std::string& fileName, IUserPrompt& prompt,
                HexReadReport* report = nullptr);

// Writes the populated parts of `image` as a new file, replacing an existing one only once the
// whole text is on disk. `includeErased` 1 treats cells holding 0xFF as data. Program memory
// and EEPROM extents come from the image's `programSize` and `eepromSize`, taken as byte counts.
// Returns 1 after writing, 0 (with the system's error text shown) when the file cannot be
// written; an existing file of that name is then left as it was.
int WriteHexFile(const std::string& fileName, const CMCUMemoryArchitecture& image,
                 int includeErased, IUserPrompt& prompt);

// The parsing and formatting halves of the two, on text in memory. ParseHexText does not clear
// the image first; `report`, when given, receives the record count and where reading failed.
int ParseHexText(CMCUMemoryArchitecture& image, std::string_view text, IUserPrompt& prompt,
                 HexReadReport* report = nullptr);
std::string FormatHexText(const CMCUMemoryArchitecture& image, bool includeErased);

}  // namespace velmora
