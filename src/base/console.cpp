#include "base/console.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "base/ascii_text.h"
#include "base/globals.h"

namespace {

constexpr size_t kScratchSize = 3072;
constexpr size_t kCommandSize = 1024;
constexpr size_t kConsoleSize = 3072;

char g_szScratch[kScratchSize];
char g_szCommand[kCommandSize];

__attribute__((format(printf, 3, 0))) void FormatInto(char *buffer, size_t size, const char *format,
                                                      va_list args) {
  if (std::vsnprintf(buffer, size, format, args) < 0) buffer[0] = '\0';
}

void ServerPrint(const char *text) {
  if (g_engfuncs.pfnServerPrint != nullptr) g_engfuncs.pfnServerPrint(text);
}

// A text too long for the scratch buffer is cut before its line break, never the break itself:
// otherwise the next output would run on in the same line.
int LineRoom(size_t prefixLength) {
  return static_cast<int>(sizeof(g_szScratch) - 2 - prefixLength);
}

void PrintLine(const char *text) {
  std::snprintf(g_szScratch, sizeof(g_szScratch), "%.*s\n", LineRoom(0), text);
  ServerPrint(g_szScratch);
}

void PrintPrefixedLine(const char *text) {
  const size_t prefixLength = std::strlen(kPluginName) + 3;  // "[" name "] "
  std::snprintf(g_szScratch, sizeof(g_szScratch), "[%s] %.*s\n", kPluginName,
                LineRoom(prefixLength), text);
  ServerPrint(g_szScratch);
}

}  // namespace

void IssueServerCommand(const char *format, ...) {
  va_list args;
  va_start(args, format);
  FormatInto(g_szCommand, sizeof(g_szCommand), format, args);
  va_end(args);
  std::snprintf(g_szScratch, sizeof(g_szScratch), "%s\n", g_szCommand);
  if (g_engfuncs.pfnServerCommand != nullptr) g_engfuncs.pfnServerCommand(g_szScratch);
}

void ConsolePrint(const char *format, ...) {
  char szStr[kConsoleSize];
  va_list args;
  va_start(args, format);
  FormatInto(szStr, sizeof(szStr), format, args);
  va_end(args);
  PrintLine(szStr);
}

void PrefixedConsolePrint(const char *format, ...) {
  char szStr[kConsoleSize];
  va_list args;
  va_start(args, format);
  FormatInto(szStr, sizeof(szStr), format, args);
  va_end(args);
  PrintPrefixedLine(szStr);
}

void TrimInPlace(char *text) {
  if (text == nullptr) return;
  size_t length = std::strlen(text);
  while (length > 0 && IsBlank(text[length - 1])) text[--length] = '\0';
  size_t start = 0;
  while (start < length && IsBlank(text[start])) ++start;
  if (start > 0) std::memmove(text, text + start, length - start + 1);
}
