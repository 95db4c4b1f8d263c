#pragma once
// Intel HEX import and export in the flat address space of the memory image: program memory from
// 0x000000, PIC18 ID locations at 0x200000 and configuration at 0x300000, data EEPROM at
// 0xF00000, dsPIC30 EEPROM at 0xFF0000 and configuration at 0x1F00000, and the flash windows at
// 0x1D000000 and 0x1FC00000.
#include <cstddef>
#include <string>
#include <string_view>

#include "memory/memory_image.h"
#include "platform/user_prompt.h"

namespace velmora {

// No image of any device comes near this as Intel HEX, even at one byte per record; a larger
// file is refused before it is read.
constexpr size_t kMaxHexFileBytes = size_t{64} << 20;

// Clears `image` and loads the file into it. Returns 1 on success; 0 (with a message naming the
// file, and the line where there is one) when the file is not a regular file, is too large or
// cannot be read, when a record is damaged, when it holds no data at all, or when the user
// declines to go on after a checksum error, an unknown record type, a line that is not a record
// or a missing end-of-file record. After a 0 the image holds part of the file at most and must
// not be used.
int ReadHexFile(CMCUMemoryArchitecture& image, const std::string& fileName, IUserPrompt& prompt);

// Writes the populated parts of `image` as a new file, replacing an existing one only once the
// whole text is on disk. `includeErased` 1 treats cells holding 0xFF as data. Program memory
// and EEPROM extents come from the image's `programSize` and `eepromSize`, taken as byte counts.
// Returns 1 after writing, 0 (with the system's error text and the file's name shown) when the
// file cannot be written; an existing file of that name is then left as it was.
int WriteHexFile(const std::string& fileName, const CMCUMemoryArchitecture& image,
                 int includeErased, IUserPrompt& prompt);

// The parsing and formatting halves of the two, on text in memory. ParseHexText does not clear
// the image first; `fileName` is the name its messages give the text.
int ParseHexText(CMCUMemoryArchitecture& image, std::string_view text, IUserPrompt& prompt,
                 std::string_view fileName = "HEX text");
std::string FormatHexText(const CMCUMemoryArchitecture& image, bool includeErased);

}  // namespace velmora
