#include "base/game_dir.h"

#include <cstdio>
#include <cstring>

#include "base/globals.h"
#include "platform/platform.h"

namespace {

constexpr size_t kNameSize = 256;
// The engine states no size for its answer; leave room for a full path.
constexpr size_t kEngineAnswerSize = 4096;

char g_szGameDir[kNameSize];

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

}  // namespace

const char *GameDirectoryName() {
  g_szGameDir[0] = '\0';
  if (g_engfuncs.pfnGetGameDir == nullptr) return g_szGameDir;

  char answer[kEngineAnswerSize] = {};
  g_engfuncs.pfnGetGameDir(answer);
  answer[kEngineAnswerSize - 1] = '\0';
  size_t length = std::strlen(answer);
  if (length == 0) return g_szGameDir;

  size_t last = length - 1;
  while (last > 0 && IsSeparator(answer[last])) --last;
  size_t first = last;
  while (first > 0 && !IsSeparator(answer[first - 1])) --first;

  size_t count = last - first + 1;
  if (count > kNameSize - 1) count = kNameSize - 1;
  std::memcpy(g_szGameDir, answer + first, count);
  g_szGameDir[count] = '\0';
  return g_szGameDir;
}

bool BuildAddonPath(char *path, size_t size, const char *folder, const char *name,
                    const char *extension) {
  const char *gameDir = GameDirectoryName();
  if (gameDir[0] == '\0') return false;
  const char s = platform::kPathSeparator;
  int length = std::snprintf(path, size, "%s%caddons%cqrv_vemtark%c%s%c%s%s", gameDir, s, s, s,
                             folder, s, name, extension);
  return length > 0 && static_cast<size_t>(length) < size;
}
