#include "metamod_host.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "command_text.h"
#include "text_format.h"

namespace emu {

namespace {

MetamodHost *g_currentHost = nullptr;

// ---- Metamod's replacements in the plug-in's engine table

void MetaCvarRegister(cvar_t *variable) { MetamodHost::Current().RegisterPluginCvar(variable); }

void MetaAddServerCommand(char *name, void (*handler)()) {
  MetamodHost::Current().AddPluginCommand(name, handler);
}

// The engine calls this for every command a plug-in registered through Metamod.
void MetaCommandTrampoline() {
  if (g_currentHost == nullptr) {
    Engine::Current().Print("Command " + std::string(Engine::Current().Argv(0)) +
                            " belongs to a plug-in that is no longer loaded\n");
    return;
  }
  g_currentHost->RunPluginCommand();
}

// ---- The utility table

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

// "5:13" -> {5, 13}; false for anything else.
bool ParseInterfaceVersion(const char *text, int *major, int *minor) {
  return text != nullptr && std::sscanf(text, "%d:%d", major, minor) == 2;
}

}  // namespace

MetamodHost::MetamodHost(Engine &engine) : previous_(g_currentHost), engine_(engine) {
  g_currentHost = this;
  utilFunctions_.pfnLogConsole = &LogConsole;
  utilFunctions_.pfnLogMessage = &LogMessage;
  utilFunctions_.pfnLogError = &LogError;
  utilFunctions_.pfnLogDeveloper = &LogDeveloper;
  utilFunctions_.pfnCenterSay = &CenterSay;
  utilFunctions_.pfnCenterSayParms = &CenterSayParms;
  utilFunctions_.pfnCenterSayVarargs = &CenterSayVarargs;
  utilFunctions_.pfnCallGameEntity = &CallGameEntity;
  utilFunctions_.pfnGetUserMsgID = &GetUserMsgID;
  utilFunctions_.pfnGetUserMsgName = &GetUserMsgName;
  utilFunctions_.pfnGetPluginPath = &GetPluginPath;
  utilFunctions_.pfnGetGameInfo = &GetGameInfo;
  utilFunctions_.pfnLoadPlugin = &LoadPlugin;
  utilFunctions_.pfnUnloadPlugin = &UnloadPlugin;
  utilFunctions_.pfnUnloadPluginByHandle = &UnloadPluginByHandle;
  utilFunctions_.pfnIsQueryingClientCvar = &IsQueryingClientCvar;
  utilFunctions_.pfnMakeRequestID = &MakeRequestID;
  utilFunctions_.pfnGetHookTables = &GetHookTables;
  ResetTables();
}

MetamodHost::~MetamodHost() {
  Unload();
  for (const std::unique_ptr<PluginCvar> &copy : pluginCvars_) engine_.ForgetCvar(&copy->record);
  g_currentHost = previous_;
}

MetamodHost &MetamodHost::Current() {
  if (g_currentHost == nullptr) {
    std::fputs("emulator: a Metamod entry was called with no Metamod host alive\n", stderr);
    std::abort();
  }
  return *g_currentHost;
}

// ---- Loading

bool MetamodHost::Load(const std::string &path) {
  Unload();
  error_.clear();
  if (!library_.Open(path)) {
    error_ = library_.Error();
    return false;
  }
  exports_.giveFnptrsToDll = library_.Export<GIVEFNPTRSTODLL_FN>("GiveFnptrsToDll");
  exports_.getEntityApi2 = library_.Export<GETENTITYAPI2_FN>("GetEntityAPI2");
  exports_.getEntityApi2Post = library_.Export<GETENTITYAPI2_FN>("GetEntityAPI2_Post");
  exports_.getNewDllFunctions = library_.Export<GETNEWDLLFUNCTIONS_FN>("GetNewDLLFunctions");
  exports_.serverGetBlendingInterface =
      library_.Export<GETBLENDAPI_FN>("Server_GetBlendingInterface");
  exports_.metaInit = library_.Export<META_INIT_FN>("Meta_Init");
  exports_.metaQuery = library_.Export<META_QUERY_FN>("Meta_Query");
  exports_.metaAttach = library_.Export<META_ATTACH_FN>("Meta_Attach");
  exports_.metaDetach = library_.Export<META_DETACH_FN>("Meta_Detach");
  std::string missing;
  if (exports_.metaQuery == nullptr) missing += " Meta_Query";
  if (exports_.giveFnptrsToDll == nullptr) missing += " GiveFnptrsToDll";
  if (exports_.metaAttach == nullptr) missing += " Meta_Attach";
  if (!missing.empty()) {
    error_ = path + " is not a Metamod plug-in; missing exports:" + missing;
    Unload();
    return false;
  }
  return true;
}

void MetamodHost::ResetTables() {
  pluginInfo_ = nullptr;
  metaFunctions_ = META_FUNCTIONS{};
  preHooks_ = std::make_unique<DLL_FUNCTIONS>();
  postHooks_ = std::make_unique<DLL_FUNCTIONS>();
  newPreHooks_ = std::make_unique<NEW_DLL_FUNCTIONS>();
  newPostHooks_ = std::make_unique<NEW_DLL_FUNCTIONS>();
  engineHooks_ = std::make_unique<EngineHookTable>();
  engineHooksPost_ = std::make_unique<EngineHookTable>();
}

void MetamodHost::Unload() {
  ResetTables();
  for (PluginCommand &command : pluginCommands_) command.handler = nullptr;
  exports_ = PluginExports{};
  attached_ = false;
  library_.Close();
}

// ---- The handshake

void MetamodHost::CallMetaInit() {
  if (exports_.metaInit != nullptr) exports_.metaInit();
}

void MetamodHost::CallGiveFnptrs() {
  if (exports_.giveFnptrsToDll == nullptr) return;
  pluginEngine_ = *engine_.Functions();
  pluginEngine_.pfnCVarRegister = &MetaCvarRegister;
  pluginEngine_.pfnCvar_RegisterVariable = &MetaCvarRegister;
  pluginEngine_.pfnAddServerCommand = &MetaAddServerCommand;
  exports_.giveFnptrsToDll(&pluginEngine_, engine_.Globals());
}

int MetamodHost::CallMetaQuery(const char *metaVersion, bool passUtilTable) {
  if (exports_.metaQuery == nullptr) return 0;
  // Metamod hands the plug-in its own writable copy of the version text.
  std::string version = metaVersion != nullptr ? metaVersion : "";
  plugin_info_t *info = nullptr;
  const int answer =
      exports_.metaQuery(version.data(), &info, passUtilTable ? &utilFunctions_ : nullptr);
  pluginInfo_ = info;
  return answer;
}

int MetamodHost::CallMetaAttach(PLUG_LOADTIME now) {
  if (exports_.metaAttach == nullptr) return 0;
  // Each plug-in gets its own copy of the game's tables.
  gameCopy_ = *game_.Functions();
  newGameCopy_ = *game_.NewFunctions();
  gameFunctions_.dllapi_table = &gameCopy_;
  gameFunctions_.newapi_table = &newGameCopy_;
  metaFunctions_ = META_FUNCTIONS{};
  return exports_.metaAttach(now, &metaFunctions_, &metaGlobals_, &gameFunctions_);
}

int MetamodHost::CallMetaDetach(PLUG_LOADTIME now, PL_UNLOAD_REASON reason) {
  if (exports_.metaDetach == nullptr) {
    engine_.RecordFault("Meta_Detach is not exported");
    return 0;
  }
  const int answer = exports_.metaDetach(now, reason);
  if (answer == 1) attached_ = false;
  return answer;
}

bool MetamodHost::RequestTables() {
  bool allGood = true;
  auto request = [&](auto getter, auto &table, int version, const char *name) {
    using Table = typename std::remove_reference_t<decltype(table)>::element_type;
    table = std::make_unique<Table>();
    if (getter == nullptr) return false;
    int answeredVersion = version;
    if (getter(table.get(), &answeredVersion) != 1) {
      engine_.RecordFault(std::string(name) + " answered failure (version " +
                          std::to_string(answeredVersion) + ")");
      table = std::make_unique<Table>();
      allGood = false;
      return false;
    }
    return true;
  };
  request(metaFunctions_.pfnGetNewDLLFunctions, newPreHooks_, NEW_DLL_FUNCTIONS_VERSION,
          "GetNewDLLFunctions");
  request(metaFunctions_.pfnGetNewDLLFunctions_Post, newPostHooks_, NEW_DLL_FUNCTIONS_VERSION,
          "GetNewDLLFunctions_Post");
  const bool gotPre =
      request(metaFunctions_.pfnGetEntityAPI2, preHooks_, INTERFACE_VERSION, "GetEntityAPI2");
  const bool gotPost = request(metaFunctions_.pfnGetEntityAPI2_Post, postHooks_, INTERFACE_VERSION,
                               "GetEntityAPI2_Post");
  if (!gotPre && !gotPost) {
    // The old getters take the version by value and cannot report their own.
    auto requestOld = [&](GETENTITYAPI_FN getter, std::unique_ptr<DLL_FUNCTIONS> &table,
                          const char *name) {
      table = std::make_unique<DLL_FUNCTIONS>();
      if (getter == nullptr) return;
      if (getter(table.get(), INTERFACE_VERSION) != 1) {
        engine_.RecordFault(std::string(name) + " answered failure");
        table = std::make_unique<DLL_FUNCTIONS>();
        allGood = false;
      }
    };
    requestOld(metaFunctions_.pfnGetEntityAPI, preHooks_, "GetEntityAPI");
    requestOld(metaFunctions_.pfnGetEntityAPI_Post, postHooks_, "GetEntityAPI_Post");
  }
  constexpr int kMetamodEngineInterfaceVersion = 138;
  auto requestEngine = [&](GET_ENGINE_FUNCTIONS_FN getter, std::unique_ptr<EngineHookTable> &table,
                           const char *name) {
    table = std::make_unique<EngineHookTable>();
    if (getter == nullptr) return;
    int version = kMetamodEngineInterfaceVersion;
    if (getter(&table->table, &version) != 1) {
      engine_.RecordFault(std::string(name) + " answered failure (version " +
                          std::to_string(version) + ")");
      table = std::make_unique<EngineHookTable>();
      allGood = false;
    }
  };
  requestEngine(metaFunctions_.pfnGetEngineFunctions, engineHooks_, "GetEngineFunctions");
  requestEngine(metaFunctions_.pfnGetEngineFunctions_Post, engineHooksPost_,
                "GetEngineFunctions_Post");
  return allGood;
}

bool MetamodHost::Attach() {
  if (!IsLoaded()) {
    engine_.RecordFault("Attach: no plug-in loaded" + (error_.empty() ? "" : " (" + error_ + ")"));
    return false;
  }
  CallMetaInit();
  CallGiveFnptrs();
  const int queried = CallMetaQuery(META_INTERFACE_VERSION, true);
  if (queried != 1) {
    engine_.RecordFault("Meta_Query answered " + std::to_string(queried) + " instead of 1");
    return false;
  }
  if (pluginInfo_ == nullptr) {
    engine_.RecordFault("Meta_Query left the plug-in info null");
    return false;
  }
  int ourMajor = 0, ourMinor = 0, theirMajor = 0, theirMinor = 0;
  ParseInterfaceVersion(META_INTERFACE_VERSION, &ourMajor, &ourMinor);
  if (!ParseInterfaceVersion(pluginInfo_->ifvers, &theirMajor, &theirMinor)) {
    engine_.RecordFault("plug-in interface version is not \"major:minor\"");
    return false;
  }
  // Metamod refuses any other major version and a newer minor one.
  if (theirMajor != ourMajor || theirMinor > ourMinor) {
    engine_.RecordFault(std::string("plug-in interface version ") + pluginInfo_->ifvers +
                        " does not fit Metamod's " + META_INTERFACE_VERSION);
    return false;
  }
  if (pluginInfo_->loadable < PT_STARTUP) {
    engine_.RecordFault("plug-in cannot be loaded at start-up (loadable is PT_NEVER)");
    return false;
  }
  const int attached = CallMetaAttach(PT_STARTUP);
  if (attached != 1) {
    engine_.RecordFault("Meta_Attach answered " + std::to_string(attached) + " instead of 1");
    return false;
  }
  attached_ = true;
  return RequestTables();
}

// ---- Dispatch

META_RES MetamodHost::TakeHookResult(const char *entryName, bool post) {
  // Read as a plain int: a plug-in may have stored a number outside the enumeration.
  int result = 0;
  std::memcpy(&result, &metaGlobals_.mres, sizeof result);
  if (result > MRES_UNSET && result <= MRES_SUPERCEDE) return static_cast<META_RES>(result);
  const std::string hook = std::string(entryName) + (post ? "_Post" : "");
  if (result == MRES_UNSET) {
    engine_.RecordFault(hook + ": plug-in left mres unset");
    return MRES_UNSET;
  }
  engine_.RecordFault(hook + ": plug-in set mres to " + std::to_string(result) +
                      ", which is no META_RES");
  return MRES_UNSET;
}

// ---- Reached from the plug-in

void MetamodHost::RegisterPluginCvar(cvar_t *variable) {
  if (variable == nullptr || variable->name == nullptr) {
    engine_.RecordFault("cvar registration through Metamod without a record or a name");
    return;
  }
  for (const std::unique_ptr<PluginCvar> &existing : pluginCvars_) {
    if (SameName(existing->name, variable->name)) return;  // a reload keeps the existing copy
  }
  auto copy = std::make_unique<PluginCvar>();
  copy->name = variable->name;
  copy->string = variable->string != nullptr ? variable->string : "";
  copy->record.name = copy->name.c_str();
  copy->record.string = copy->string.c_str();
  copy->record.flags = variable->flags;
  copy->record.value = variable->value;
  cvar_t *record = &copy->record;
  pluginCvars_.push_back(std::move(copy));
  engine_.RegisterCvar(record);
}

void MetamodHost::AddPluginCommand(const char *name, void (*handler)()) {
  if (name == nullptr || handler == nullptr) {
    engine_.RecordFault("command registration through Metamod without a name or a handler");
    return;
  }
  for (PluginCommand &command : pluginCommands_) {
    if (SameName(command.name, name)) {
      command.handler = handler;  // the same plug-in loaded again
      return;
    }
  }
  pluginCommands_.push_back(PluginCommand{name, handler});
  engine_.AddCommand(name, &MetaCommandTrampoline);
}

void MetamodHost::RunPluginCommand() {
  const std::string name = engine_.Argv(0);
  for (const PluginCommand &command : pluginCommands_) {
    if (!SameName(command.name, name)) continue;
    if (command.handler == nullptr) {
      engine_.Print("Command " + name + " belongs to a plug-in that is no longer loaded\n");
    } else {
      command.handler();
    }
    return;
  }
}

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
