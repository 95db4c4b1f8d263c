#include "engine/file_changed.h"

#include <fstream>

namespace velmora {

int FileChangedSince(const std::string& path, std::filesystem::file_time_type& remembered) {
  // Only a file that can be opened for reading counts; a folder or a missing file does not.
  std::error_code error;
  if (path.empty() || !std::filesystem::is_regular_file(path, error)) return 0;
  if (!std::ifstream(path, std::ios::binary)) return 0;
  const std::filesystem::file_time_type now = std::filesystem::last_write_time(path, error);
  if (error) return 0;
  const int result = now > remembered ? 1 : (now < remembered ? -1 : 0);
  remembered = now;
  return result;
}

}  // namespace velmora
