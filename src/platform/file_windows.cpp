#include <windows.h>

#include "platform/platform.h"

namespace platform {

namespace {

bool WriteAll(HANDLE file, const char *bytes, DWORD count) {
  DWORD written = 0;
  return count == 0 || (WriteFile(file, bytes, count, &written, nullptr) && written == count);
}

}  // namespace

// The system's own calls: a stream would allocate its buffer and bookkeeping on every open, and
// the plug-in appends from inside server frames. Line breaks are written as a text-mode stream
// writes them, "\r\n", in pieces of a fixed buffer.
bool AppendToFile(const char *path, const char *text) {
  HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  char piece[512];
  DWORD used = 0;
  bool written = true;
  for (const char *next = text; *next != '\0' && written; ++next) {
    if (used + 2 > sizeof(piece)) {
      written = WriteAll(file, piece, used);
      used = 0;
    }
    if (*next == '\n') piece[used++] = '\r';
    piece[used++] = *next;
  }
  if (written) WriteAll(file, piece, used);
  CloseHandle(file);
  return true;
}

}  // namespace platform
