#include "base/reader.h"

#include <cstring>

#include "base/game_dir.h"
#include "base/plugin_log.h"

namespace {

constexpr size_t kTokenSize = 256;
constexpr size_t kConfigPathSize = 512;

char g_szToken[kTokenSize];

bool IsTokenSeparator(char c) { return c == ' ' || c == '\t'; }

}  // namespace

bool OpenConfigFile(const char *fileName, const char *missingMessage, FileHandle &file) {
  if (file.IsOpen()) file.Close();
  char szPath[kConfigPathSize];
  if (BuildAddonPath(szPath, sizeof(szPath), "configs", fileName, "")) file.Open(szPath, "rt");
  if (file.IsOpen()) return true;
  WriteLog(true, LOG_LEVEL_ERROR, "%s", missingMessage);
  return false;
}

bool IsSkippedWord(const char *word) {
  switch (word[0]) {
    case '/':
    case '\r':
    case '\n':
    case '\0':
    case ' ':
    case '\t':
      return true;
    default:
      return false;
  }
}

bool RunCommandFile(const char *fileName, const char *missingMessage) {
  FileHandle file;
  if (!OpenConfigFile(fileName, missingMessage, file)) return false;
  char szWord[kWordBufferSize];
  while (file.ReadWord(szWord, kWordCapacity)) {
    if (IsSkippedWord(szWord)) continue;
    TrimInPlace(szWord);
    IssueServerCommand("%s", szWord);
  }
  file.Close();
  return true;
}

const char *GetToken(const char *text, int index) {
  std::memset(g_szToken, 0, sizeof(g_szToken));
  if (text == nullptr || index < 0) return g_szToken;

  const char *cursor = text;
  for (int number = 0; *cursor != '\0'; ++number) {
    while (IsTokenSeparator(*cursor)) ++cursor;
    if (*cursor == '\0') break;

    const char *start;
    const char *end;
    if (*cursor == '"') {
      start = ++cursor;
      while (*cursor != '\0' && *cursor != '"') ++cursor;
      end = cursor;
      if (*cursor == '"') ++cursor;
    } else {
      start = cursor;
      while (*cursor != '\0' && !IsTokenSeparator(*cursor)) ++cursor;
      end = cursor;
    }

    if (number == index) {
      size_t length = static_cast<size_t>(end - start);
      if (length > sizeof(g_szToken) - 1) length = sizeof(g_szToken) - 1;
      std::memcpy(g_szToken, start, length);
      g_szToken[length] = '\0';
      break;
    }
  }
  TrimInPlace(g_szToken);
  return g_szToken;
}
