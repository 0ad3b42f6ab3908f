// The host's lifetime and the process-wide pointer its entry points reach it through, loading a
// plug-in, and the judging of what a hook left in mres.
#include "metamod_host.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "command_text.h"
#include "metamod_internal.h"

namespace emu {

namespace {

MetamodHost *g_currentHost = nullptr;

}  // namespace

MetamodHost::MetamodHost(Engine &engine) : previous_(g_currentHost), engine_(engine) {
  g_currentHost = this;
  FillUtilityFunctions(&utilFunctions_);
  ResetTables();
}

MetamodHost::~MetamodHost() {
  Unload();
  if (metaCommandAdded_) engine_.RemoveHostCommand("meta");
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

MetamodHost *LiveMetamodHost() { return g_currentHost; }

namespace {

void MetaCommand() {
  MetamodHost *host = LiveMetamodHost();
  if (host != nullptr) host->RunMetaCommand();
}

}  // namespace

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
  if (!metaCommandAdded_) metaCommandAdded_ = engine_.AddHostCommand("meta", &MetaCommand);
  return true;
}

namespace {

template <typename Table>
void EmptyInPlace(std::unique_ptr<Table> &table) {
  if (table) {
    *table = Table{};
  } else {
    table = std::make_unique<Table>();
  }
}

}  // namespace

void MetamodHost::ResetTables() {
  pluginInfo_ = nullptr;
  metaFunctions_ = META_FUNCTIONS{};
  EmptyInPlace(preHooks_);
  EmptyInPlace(postHooks_);
  EmptyInPlace(newPreHooks_);
  EmptyInPlace(newPostHooks_);
  EmptyInPlace(engineHooks_);
  EmptyInPlace(engineHooksPost_);
}

void MetamodHost::Unload() {
  ResetTables();
  for (PluginCommand &command : pluginCommands_) command.handler = nullptr;
  exports_ = PluginExports{};
  attached_ = false;
  library_.Close();
}

// ---- Metamod's console command

void MetamodHost::RunMetaCommand() {
  const std::string action = engine_.Argv(1);
  const bool forced = SameName(action, "force_unload");
  if (!forced && !SameName(action, "unload")) {
    engine_.Print(action.empty() ? "usage: meta <command> [<arguments>]\n"
                                 : "Unrecognized meta command: " + action + "\n");
    return;
  }
  const std::string name = engine_.Argv(2);
  if (name.empty()) {
    engine_.Print("usage: meta " + action + " <plugin>\n");
    return;
  }
  if (!IsLoaded()) {
    engine_.Print("Couldn't find plugin matching \"" + name + "\"\n");
    return;
  }
  const std::string shown =
      pluginInfo_ != nullptr && pluginInfo_->name != nullptr ? pluginInfo_->name : name;
  if (CallMetaDetach(PT_ANYTIME, forced ? PNL_CMD_FORCED : PNL_COMMAND) != 1) {
    engine_.Print("Plugin \"" + shown + "\" refused to unload\n");
    return;
  }
  Unload();
  engine_.Print("Unloaded plugin \"" + shown + "\"\n");
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

}  // namespace emu
