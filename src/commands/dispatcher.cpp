#include "commands/dispatcher.h"

#include "frame/console.h"
#include "frame/globals.h"

namespace {

const char *Argument(int index) {
  if (g_engfuncs.pfnCmd_Argv == nullptr) return "";
  const char *text = g_engfuncs.pfnCmd_Argv(index);
  return text != nullptr ? text : "";
}

// Answers whether the name has an action of its own here; the registered commands have none
// yet, so every one of them is reported as unknown.
bool RunInformationAction(const char *) { return false; }

}  // namespace

void CommandDispatcher() {
  const char *name = Argument(0);
  if (!RunInformationAction(name)) PrefixedConsolePrint("Unknown command: %s", name);
}
