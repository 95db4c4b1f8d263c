#pragma once
// Whole-file reads and writes: a file is read with one pass into memory, and written by putting
// the whole text into a temporary file beside the target and renaming it over the target, so
// that a failed write never leaves a half-written file in place of an existing one.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace velmora {

struct FileBytes {
  std::unique_ptr<char[]> data;
  size_t size = 0;
  std::string_view View() const { return {data.get(), size}; }
};

// Errors of ReadWholeFile beyond the errno values.
constexpr int kNotRegularFile = -1;  // a FIFO, a device, a socket: they may block or never end
constexpr int kFileTooLarge = -2;    // larger than the caller's limit

// Reads the whole of a regular file of at most `maxSize` bytes. Returns 0, one of the errors
// above, or the errno value of the call that failed.
int ReadWholeFile(const std::string& path, FileBytes& out, size_t maxSize = SIZE_MAX);

// The text of an error of the two functions here: the system's text for errno values.
std::string FileErrorText(int error);

// Replaces the file's contents with `text` (creating it when missing; a symbolic link is
// written through to the file it names). Only a regular file is replaced: a directory gives
// EISDIR, a device node, FIFO or socket kNotRegularFile. Returns 0, or the error; the file is
// then unchanged and no temporary file is left.
int ReplaceWholeFile(const std::string& path, std::string_view text);

// Removes the temporary file of a ReplaceWholeFile in progress, if any. Async-signal-safe: for
// a signal handler that ends the program at once.
void RemoveTemporaryFileNow() noexcept;

}  // namespace velmora
