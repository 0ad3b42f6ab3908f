#include "perf/server_log.h"

#include <cstdio>

#include "base/globals.h"
#include "perf/startup.h"

namespace {

// A log line's message (512 bytes) with the prefix and the line break.
constexpr size_t kServerLogLineSize = 520;

}  // namespace

void CopyToServerLog(const char *text) {
  if (g_engfuncs.pfnAlertMessage == nullptr || text == nullptr) return;
  // Without its variable the copies stay on, as the variable's default has them.
  const cvar_t *setting = g_Bindings.serverLog;
  if (setting != nullptr && setting->value == 0.0f) return;
  char line[kServerLogLineSize];
  std::snprintf(line, sizeof(line), "[QRV] %s\n", text);
  static char format[] = "%s";
  g_engfuncs.pfnAlertMessage(at_logged, format, line);
}
