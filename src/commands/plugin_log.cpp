#include "commands/plugin_log.h"

#include <cstdarg>
#include <cstdio>

#include "config/reader.h"
#include "frame/file_handle.h"
#include "frame/game_dir.h"
#include "platform/platform.h"

namespace {

constexpr size_t kMessageSize = 512;
constexpr size_t kLineSize = 1024;
constexpr size_t kPathSize = 512;

const char *LevelPrefix(int level) {
  static const char *const kPrefixes[] = {
      "[QRV] LOG: ",
      "[QRV] WARNING: ",
      "[QRV] ERROR: ",
      "[QRV] FATAL ERROR: ",
  };
  if (level < LOG_LEVEL_LOG || level > LOG_LEVEL_FATAL) return "[QRV] ";
  return kPrefixes[level - LOG_LEVEL_LOG];
}

// The log follows the detected game directory, so a czero server logs under czero.
bool BuildLogPath(char *path, size_t size) {
  const char *gameDir = GameDirectoryName();
  if (gameDir[0] == '\0') return false;
  const char s = platform::kPathSeparator;
  int length = std::snprintf(path, size, "%s%caddons%cqrv_vemtark%clogs%cqrv_vemtark.log", gameDir,
                             s, s, s, s);
  return length > 0 && static_cast<size_t>(length) < size;
}

}  // namespace

void WriteLog(bool echo, int level, const char *format, ...) {
  char szMessage[kMessageSize];
  va_list args;
  va_start(args, format);
  if (std::vsnprintf(szMessage, sizeof(szMessage), format, args) < 0) szMessage[0] = '\0';
  va_end(args);

  char szPath[kPathSize];
  if (!BuildLogPath(szPath, sizeof(szPath))) return;
  FileHandle log(szPath, "at");
  if (!log.IsOpen()) return;

  platform::TimeOfDay now = platform::LocalTimeOfDay();
  char szLine[kLineSize];
  std::snprintf(szLine, sizeof(szLine), "[%02d:%02d:%02d] %s%s", now.hour, now.minute, now.second,
                LevelPrefix(level), szMessage);
  if (echo) ConsolePrint("%s", szLine);
  log.Printf("%s\n", szLine);
  log.Close();

  if (level == LOG_LEVEL_FATAL) CriticalError("%s", szMessage);
}
