#pragma once
// printf-style formatting into a std::string, for the log texts that are fixed as formats.
#include <cstdarg>
#include <cstdio>
#include <string>

namespace velmora {

#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
inline std::string
Printf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  const int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string text(length > 0 ? static_cast<size_t>(length) : 0, '\0');
  if (length > 0) std::vsnprintf(text.data(), text.size() + 1, format, args);
  va_end(args);
  return text;
}

}  // namespace velmora
