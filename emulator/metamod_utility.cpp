// Metamod's utility table (mutil_funcs_t) and what its entries ask of the host: the plug-in's
// log and the description of the game.
#include <cstdarg>
#include <cstring>
#include <filesystem>
#include <string>

#include "metamod_host.h"
#include "metamod_internal.h"
#include "text_format.h"

namespace emu {

namespace {

#define QRV_EMU_LOG_ENTRY(function, tag)                    \
  void function(plid_t, const char *format, ...) {          \
    va_list arguments;                                      \
    va_start(arguments, format);                            \
    const std::string text = FormatList(format, arguments); \
    va_end(arguments);                                      \
    MetamodHost::Current().Log(tag, text);                  \
  }
QRV_EMU_LOG_ENTRY(LogConsole, "console")
QRV_EMU_LOG_ENTRY(LogMessage, "message")
QRV_EMU_LOG_ENTRY(LogError, "error")
QRV_EMU_LOG_ENTRY(LogDeveloper, "developer")
#undef QRV_EMU_LOG_ENTRY

void NotImplemented(const char *name) {
  Engine::Current().RecordUnimplemented(std::string("mutil:") + name);
}

void CenterSay(plid_t, const char *, ...) { NotImplemented("pfnCenterSay"); }
void CenterSayParms(plid_t, hudtextparms_t, const char *, ...) {
  NotImplemented("pfnCenterSayParms");
}
void CenterSayVarargs(plid_t, hudtextparms_t, const char *, va_list) {
  NotImplemented("pfnCenterSayVarargs");
}
qboolean CallGameEntity(plid_t, const char *, entvars_t *) {
  NotImplemented("pfnCallGameEntity");
  return 0;
}
int GetUserMsgID(plid_t, const char *, int *) {
  NotImplemented("pfnGetUserMsgID");
  return 0;
}
const char *GetUserMsgName(plid_t, int, int *) {
  NotImplemented("pfnGetUserMsgName");
  return nullptr;
}
const char *GetPluginPath(plid_t) { return MetamodHost::Current().PluginPath(); }
const char *GetGameInfo(plid_t, ginfo_t tag) { return MetamodHost::Current().GameInfo(tag); }
int LoadPlugin(plid_t, const char *, PLUG_LOADTIME, void **) {
  NotImplemented("pfnLoadPlugin");
  return 1;
}
int UnloadPlugin(plid_t, const char *, PLUG_LOADTIME, PL_UNLOAD_REASON) {
  NotImplemented("pfnUnloadPlugin");
  return 1;
}
int UnloadPluginByHandle(plid_t, void *, PLUG_LOADTIME, PL_UNLOAD_REASON) {
  NotImplemented("pfnUnloadPluginByHandle");
  return 1;
}
const char *IsQueryingClientCvar(plid_t, const edict_t *) { return nullptr; }
int MakeRequestID(plid_t) { return MetamodHost::Current().NextRequestId(); }
void GetHookTables(plid_t, enginefuncs_t **engine, DLL_FUNCTIONS **game,
                   NEW_DLL_FUNCTIONS **newGame) {
  MetamodHost &host = MetamodHost::Current();
  if (engine != nullptr) *engine = host.engine().Functions();
  if (game != nullptr) *game = host.Game().Functions();
  if (newGame != nullptr) *newGame = host.Game().NewFunctions();
}

}  // namespace

void FillUtilityFunctions(mutil_funcs_t *table) {
  table->pfnLogConsole = &LogConsole;
  table->pfnLogMessage = &LogMessage;
  table->pfnLogError = &LogError;
  table->pfnLogDeveloper = &LogDeveloper;
  table->pfnCenterSay = &CenterSay;
  table->pfnCenterSayParms = &CenterSayParms;
  table->pfnCenterSayVarargs = &CenterSayVarargs;
  table->pfnCallGameEntity = &CallGameEntity;
  table->pfnGetUserMsgID = &GetUserMsgID;
  table->pfnGetUserMsgName = &GetUserMsgName;
  table->pfnGetPluginPath = &GetPluginPath;
  table->pfnGetGameInfo = &GetGameInfo;
  table->pfnLoadPlugin = &LoadPlugin;
  table->pfnUnloadPlugin = &UnloadPlugin;
  table->pfnUnloadPluginByHandle = &UnloadPluginByHandle;
  table->pfnIsQueryingClientCvar = &IsQueryingClientCvar;
  table->pfnMakeRequestID = &MakeRequestID;
  table->pfnGetHookTables = &GetHookTables;
}

// ---- Reached from the plug-in

void MetamodHost::Log(const char *tag, const std::string &text) {
  metaLog_.push_back(std::string(tag) + ": " + text);
  if (std::strcmp(tag, "console") == 0) engine_.Print(text + "\n");
}

const char *MetamodHost::GameInfo(ginfo_t tag) {
  const int index = static_cast<int>(tag);
  if (index < 0 || index >= 6) return nullptr;
  namespace fs = std::filesystem;
#if defined(_WIN32)
  const std::string gameLibrary = "mp.dll";
#else
  const std::string gameLibrary = "cs.so";
#endif
  const fs::path gameDir = fs::current_path() / engine_.GameDir();
  switch (tag) {
    case GINFO_NAME:
      gameInfo_[index] = engine_.GameDir();
      break;
    case GINFO_DESC:
      gameInfo_[index] = "Counter-Strike";
      break;
    case GINFO_GAMEDIR:
      gameInfo_[index] = gameDir.string();
      break;
    case GINFO_DLL_FULLPATH:
    case GINFO_REALDLL_FULLPATH:
      gameInfo_[index] = (gameDir / "dlls" / gameLibrary).string();
      break;
    case GINFO_DLL_FILENAME:
      gameInfo_[index] = gameLibrary;
      break;
  }
  return gameInfo_[index].c_str();
}

}  // namespace emu
