#include "base/plugin_log.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "base/game_dir.h"
#include "platform/platform.h"

namespace {

constexpr size_t kMessageSize = 512;
constexpr size_t kLineSize = 1024;
constexpr size_t kPathSize = 512;
constexpr size_t kCriticalMessageSize = 1024;

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

}  // namespace

void WriteLog(bool echo, int level, const char *format, ...) {
  char szMessage[kMessageSize];
  va_list args;
  va_start(args, format);
  if (std::vsnprintf(szMessage, sizeof(szMessage), format, args) < 0) szMessage[0] = '\0';
  va_end(args);

  char szPath[kPathSize];
  if (!BuildAddonPath(szPath, sizeof(szPath), "logs", "qrv_vemtark.log", "")) return;

  platform::TimeOfDay now = platform::LocalTimeOfDay();
  char szLine[kLineSize];
  std::snprintf(szLine, sizeof(szLine), "[%02d:%02d:%02d] %s%s", now.hour, now.minute, now.second,
                LevelPrefix(level), szMessage);
  char szRecord[kLineSize + 1];
  std::snprintf(szRecord, sizeof(szRecord), "%s\n", szLine);
  // Appended without a stream, which would allocate: hooks log too, a hitch warning among them.
  if (!platform::AppendToFile(szPath, szRecord)) return;
  if (echo) ConsolePrint("%s", szLine);

  if (level == LOG_LEVEL_FATAL) CriticalError("%s", szMessage);
}

void CriticalError(const char *format, ...) {
  char szMessage[kCriticalMessageSize];
  va_list args;
  va_start(args, format);
  if (std::vsnprintf(szMessage, sizeof(szMessage), format, args) < 0) szMessage[0] = '\0';
  va_end(args);

  WriteLog(true, LOG_LEVEL_ERROR, "%s", szMessage);
  platform::ShowMessageBox(szMessage, "QRV Vemtark Critical Error",
                           platform::kMessageBoxIconHand | platform::kMessageBoxOk);
  std::exit(1);
}
