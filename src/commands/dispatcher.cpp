#include "commands/dispatcher.h"

#include "frame/console.h"
#include "frame/globals.h"

namespace {

const char *Argument(int index) {
  if (g_engfuncs.pfnCmd_Argv == nullptr) return "";
  const char *text = g_engfuncs.pfnCmd_Argv(index);
  return text != nullptr ? text : "";
}

// The actions are filled in as the information commands arrive; a name without one is unknown.
bool RunInformationAction(const char *) { return false; }

}  // namespace

void CommandDispatcher() {
  const char *name = Argument(0);
  if (!RunInformationAction(name)) PrefixedConsolePrint("Unknown command: %s", name);
}
