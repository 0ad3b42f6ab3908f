#include "commands/dispatcher.h"

#include "base/ascii_text.h"
#include "base/console.h"
#include "base/globals.h"
#include "commands/information_texts.h"
#include "config/debug_modules.h"

namespace {

constexpr int kArgumentCount = 5;  // arguments 1 to 5 of the command line

struct InformationAction {
  const char *name;
  void (*run)(const char *const arguments[kArgumentCount]);
};

void About(const char *const[kArgumentCount]) { PrintAboutRecord(); }
void Help(const char *const[kArgumentCount]) { PrintHelpList(); }
void Information(const char *const[kArgumentCount]) { PrintInformationBanner(); }
void System(const char *const[kArgumentCount]) { PrintSystemBanner(); }
void Debug(const char *const arguments[kArgumentCount]) { ShowDebugModule(arguments[0]); }

// Searched in this order; the first row whose name matches runs.
const InformationAction kInformationActions[] = {
    {"qrv_vemtark_about", About}, {"qrv_vemtark_help", Help}, {"qrv_helpme", Help},
    {"qrv_info", Information},    {"qrv_systems", System},    {"qrv_debug", Debug},
};

const char *Argument(int index) {
  if (g_engfuncs.pfnCmd_Argv == nullptr) return "";
  const char *text = g_engfuncs.pfnCmd_Argv(index);
  return text != nullptr ? text : "";
}

// True when the name has an action here (and it ran).
bool RunInformationCommand(const char *name, const char *const arguments[kArgumentCount]) {
  for (const InformationAction &action : kInformationActions) {
    if (EqualsIgnoringCase(name, action.name)) {
      action.run(arguments);
      return true;
    }
  }
  return false;
}

}  // namespace

void CommandDispatcher() {
  const char *name = Argument(0);
  const char *arguments[kArgumentCount];
  for (int index = 0; index < kArgumentCount; ++index) arguments[index] = Argument(index + 1);
  if (!RunInformationCommand(name, arguments)) PrefixedConsolePrint("Unknown command: %s", name);
}
