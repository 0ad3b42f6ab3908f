// The handshake Metamod runs with a plug-in, one step at a time or whole, and its requests for
// the plug-in's hook tables.
#include <cstdio>
#include <memory>
#include <string>
#include <type_traits>

#include "metamod_host.h"
#include "metamod_internal.h"

namespace emu {

namespace {

// "5:13" -> {5, 13}; false for anything else.
bool ParseInterfaceVersion(const char *text, int *major, int *minor) {
  return text != nullptr && std::sscanf(text, "%d:%d", major, minor) == 2;
}

}  // namespace

void MetamodHost::CallMetaInit() {
  if (exports_.metaInit != nullptr) exports_.metaInit();
}

void MetamodHost::CallGiveFnptrs() {
  if (exports_.giveFnptrsToDll == nullptr) return;
  pluginEngine_ = *engine_.Functions();
  RouteRegistrationThroughHost(&pluginEngine_);
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

}  // namespace emu
