// The plug-in's own log: one time-stamped, levelled line per call, appended to
// <gamedir>/addons/qrv_vemtark/logs/qrv_vemtark.log and, on request, echoed to the console.
#pragma once

#include "base/console.h"

enum LogLevel {
  LOG_LEVEL_LOG = 1,
  LOG_LEVEL_WARNING = 2,
  LOG_LEVEL_ERROR = 3,
  LOG_LEVEL_FATAL = 4,  // the server cannot go on: the line is followed by the critical error
};

// Nothing is written or echoed when the log file cannot be opened (for example when the logs
// folder is missing); a fatal call then returns as well.
void WriteLog(bool echo, int level, const char *format, ...) QRV_PRINTF(3, 4);

// Logs the message at ERROR, shows it in a modal box and ends the server process with code 1.
[[noreturn]] void CriticalError(const char *format, ...) QRV_PRINTF(1, 2);
