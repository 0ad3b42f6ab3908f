#include "platform/arguments.h"

#include <cstdio>
#include <cstring>

namespace platform {

bool AppendArgument(char *list, size_t *used, const char *argument, size_t length) {
  if (length == 0) return true;  // an empty argument would end the list
  if (*used + length + 2 > kArgumentsSize) return false;
  std::memcpy(list + *used, argument, length);
  *used += length;
  list[(*used)++] = '\0';
  list[*used] = '\0';
  return true;
}

void SplitCommandLine(const char *line, char *list, size_t *used) {
  list[0] = list[1] = '\0';
  *used = 0;
  char argument[kArgumentsSize];
  size_t length = 0;
  bool quoted = false;
  bool inArgument = false;
  for (const char *cursor = line; *cursor != '\0'; ++cursor) {
    const char c = *cursor;
    if (c == '"') {
      quoted = !quoted;
      inArgument = true;
      continue;
    }
    if (!quoted && (c == ' ' || c == '\t')) {
      if (inArgument && !AppendArgument(list, used, argument, length)) return;
      length = 0;
      inArgument = false;
      continue;
    }
    if (length < sizeof(argument)) argument[length++] = c;
    inArgument = true;
  }
  if (inArgument) AppendArgument(list, used, argument, length);
}

void ReadArgumentFile(const char *path, char *list, size_t *used) {
  list[0] = list[1] = '\0';
  *used = 0;
  FILE *file = std::fopen(path, "rb");
  if (file == nullptr) return;
  char raw[kArgumentsSize];
  size_t size = std::fread(raw, 1, sizeof(raw) - 1, file);
  const bool cut = size == sizeof(raw) - 1 && std::fgetc(file) != EOF;
  std::fclose(file);
  raw[size] = '\0';
  for (size_t start = 0; start < size;) {
    size_t length = std::strlen(raw + start);
    if (cut && start + length >= size) return;  // the file went on past the buffer
    if (!AppendArgument(list, used, raw + start, length)) return;
    start += length + 1;
  }
}

}  // namespace platform
