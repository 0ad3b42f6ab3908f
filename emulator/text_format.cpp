#include "text_format.h"

#include <cstdio>
#include <vector>

namespace emu {

std::string FormatList(const char *format, va_list arguments) {
  if (format == nullptr) return std::string();
  va_list measure;
  va_copy(measure, arguments);
  const int length = std::vsnprintf(nullptr, 0, format, measure);
  va_end(measure);
  if (length <= 0) return std::string();
  std::vector<char> text(static_cast<size_t>(length) + 1);
  std::vsnprintf(text.data(), text.size(), format, arguments);
  return std::string(text.data(), static_cast<size_t>(length));
}

}  // namespace emu
