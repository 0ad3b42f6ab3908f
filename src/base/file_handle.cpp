#include "base/file_handle.h"

#include <cstdarg>

#include "base/ascii_text.h"

namespace {

// Consumes white space so that the end-of-file indicator is set once only blanks remain.
int SkipWhiteSpace(FILE *stream) {
  int c = std::fgetc(stream);
  while (c != EOF && IsBlank(c)) c = std::fgetc(stream);
  return c;
}

}  // namespace

bool FileHandle::Open(const char *path, const char *mode) {
  Close();
  if (path == nullptr || mode == nullptr) return false;
  m_pHandle = std::fopen(path, mode);
  if (m_pHandle == nullptr) return false;
  long size = -1;
  if (std::fseek(m_pHandle, 0, SEEK_END) == 0) size = std::ftell(m_pHandle);
  std::fseek(m_pHandle, 0, SEEK_SET);
  if (size < 0) size = 0;
  m_iSize = size > INT32_MAX ? INT32_MAX : static_cast<int32_t>(size);
  return true;
}

void FileHandle::Close() {
  if (m_pHandle != nullptr) {
    std::fclose(m_pHandle);
    m_pHandle = nullptr;
  }
  m_iSize = 0;
}

bool FileHandle::ReadWord(char *buffer, int capacity) {
  if (m_pHandle == nullptr || buffer == nullptr || capacity < 1) return false;
  buffer[0] = '\0';
  if (std::feof(m_pHandle)) return false;

  int c = SkipWhiteSpace(m_pHandle);
  if (c == EOF) return false;
  int length = 0;
  while (c != EOF && !IsBlank(c) && length < capacity) {
    buffer[length++] = static_cast<char>(c);
    c = std::fgetc(m_pHandle);
  }
  buffer[length] = '\0';
  if (c != EOF && !IsBlank(c)) {
    // The word is longer than the buffer: leave the rest for the next call.
    std::ungetc(c, m_pHandle);
    return true;
  }
  if (c != EOF) {
    c = SkipWhiteSpace(m_pHandle);
    if (c != EOF) std::ungetc(c, m_pHandle);
  }
  return true;
}

int FileHandle::Printf(const char *format, ...) {
  if (m_pHandle == nullptr) return 0;
  va_list args;
  va_start(args, format);
  int written = std::vfprintf(m_pHandle, format, args);
  va_end(args);
  return written < 0 ? 0 : written;
}
