#include "base/switch_pattern.h"

#include <cstring>

#include "base/console.h"
#include "base/globals.h"

namespace {

enum class SwitchRequest { kOff, kOn, kInvalid };

SwitchRequest ReadSwitchArgument() {
  if (g_engfuncs.pfnCmd_Argv == nullptr) return SwitchRequest::kInvalid;
  const char *argument = g_engfuncs.pfnCmd_Argv(1);
  if (argument == nullptr) return SwitchRequest::kInvalid;
  // A whole, exact comparison: " 1", "01" and "1 " are no switch values. (The Windows string
  // comparison would let some ignorable characters through.)
  if (std::strcmp(argument, "0") == 0) return SwitchRequest::kOff;
  if (std::strcmp(argument, "1") == 0) return SwitchRequest::kOn;
  return SwitchRequest::kInvalid;
}

}  // namespace

void RunSwitchPattern(int32_t state, const SwitchPattern &pattern, const void *context) {
  switch (ReadSwitchArgument()) {
    case SwitchRequest::kOff:
      if (state == 0) {
        PrefixedConsolePrint("%s", pattern.alreadyOffAnswer);
      } else {
        pattern.turnOff(context);
      }
      return;
    case SwitchRequest::kOn:
      if (state == 1) {
        PrefixedConsolePrint("%s", pattern.alreadyOnAnswer);
      } else {
        pattern.turnOn(context);
      }
      return;
    case SwitchRequest::kInvalid:
      PrefixedConsolePrint("%s", "Invalid value!");
      return;
  }
}
