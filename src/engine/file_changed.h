#pragma once
// Watching a file for changes by its modification time (the trace definition file, scripts).
#include <filesystem>
#include <string>

namespace velmora {

// Compares the file's modification time with `remembered` and remembers the new one: 1 when
// the file is newer, -1 when older, 0 when the same or when the file cannot be read (then
// `remembered` stays).
int FileChangedSince(const std::string& path, std::filesystem::file_time_type& remembered);

}  // namespace velmora
