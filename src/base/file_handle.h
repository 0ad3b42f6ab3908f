// One standard-library stream with the size it had when opened. Always a local object of one
// call: the stream is closed when the handle goes out of scope.
#pragma once

#include <cstdint>
#include <cstdio>

#include "base/console.h"

class FileHandle {
 public:
  FileHandle() = default;
  FileHandle(const char *path, const char *mode) { Open(path, mode); }
  ~FileHandle() { Close(); }
  FileHandle(const FileHandle &) = delete;
  FileHandle &operator=(const FileHandle &) = delete;

  // fopen with a standard mode ("rt", "rb", "at"); measures the size on success.
  bool Open(const char *path, const char *mode);
  bool IsOpen() const { return m_pHandle != nullptr; }
  void Close();

  // The next white-space-delimited word, at most capacity characters (the rest of a longer
  // word comes as the next word). False at the end of the file or on a closed handle.
  bool ReadWord(char *buffer, int capacity);

  // Characters written, or 0 when the stream reports an error or the handle is closed.
  int Printf(const char *format, ...) QRV_PRINTF(2, 3);

  int32_t GetSize() const { return m_iSize; }

 private:
  FILE *m_pHandle = nullptr;
  int32_t m_iSize = 0;
};
