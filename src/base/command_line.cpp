#include "base/command_line.h"

#include <cstdio>
#include <cstring>

#include "base/ascii_text.h"
#include "base/globals.h"
#include "base/plugin_log.h"
#include "platform/platform.h"

namespace {

// Values come from outside; the longest the plug-in's variables sensibly hold.
constexpr size_t kLongestValue = 127;

const char *OwnName(const char *const names[], int count, const char *given) {
  for (int index = 0; index < count; ++index) {
    if (names[index] != nullptr && EqualsIgnoringCase(given, names[index])) return names[index];
  }
  return nullptr;
}

// The engine starts a new command at every argument that begins with + or -, so such an argument
// is never the value of the one before.
bool IsValue(const char *argument) {
  return argument[0] != '\0' && argument[0] != '+' && argument[0] != '-';
}

// The arguments are each ended by a zero byte, the list by an empty one.
const char *NextArgument(const char *argument) { return argument + std::strlen(argument) + 1; }

void Apply(const char *name, const char *given) {
  if (g_engfuncs.pfnCVarGetPointer == nullptr || g_engfuncs.pfnCvar_DirectSet == nullptr) return;
  cvar_t *variable = g_engfuncs.pfnCVarGetPointer(name);
  if (variable == nullptr) return;
  char value[kLongestValue + 1];
  std::snprintf(value, sizeof(value), "%s", given);
  if (variable->string != nullptr && std::strcmp(variable->string, value) == 0) return;
  g_engfuncs.pfnCvar_DirectSet(variable, value);
  WriteLog(true, LOG_LEVEL_LOG, "Command line: %s set to %s.", name, value);
}

}  // namespace

void ApplyCommandLineValues(const char *const names[], int count) {
  for (const char *argument = platform::ProcessArguments(); *argument != '\0';
       argument = NextArgument(argument)) {
    if (argument[0] != '+') continue;
    const char *name = OwnName(names, count, argument + 1);
    if (name != nullptr && IsValue(NextArgument(argument))) Apply(name, NextArgument(argument));
  }
}

const char *CommandLineValueOf(const char *option) {
  for (const char *argument = platform::ProcessArguments(); *argument != '\0';
       argument = NextArgument(argument)) {
    if (std::strcmp(argument, option) == 0) return NextArgument(argument);
  }
  return nullptr;
}
