// Metamod, emulated in-process: loads a Metamod plug-in by path, runs the handshake Metamod runs,
// gives the plug-in Metamod's utility table and globals, and dispatches the game library's entries
// through the plug-in's hooks the way Metamod does. The game library underneath is a StubGame.
#pragma once

#include <memory>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "engine.h"
#include "game_entry.h"
#include "game_stub.h"
#include "library.h"
#include "sdk/exports.h"

namespace emu {

// The exports a Metamod plug-in may have, resolved by name at Load; null where missing.
struct PluginExports {
  GIVEFNPTRSTODLL_FN giveFnptrsToDll;
  GETENTITYAPI2_FN getEntityApi2;
  GETENTITYAPI2_FN getEntityApi2Post;
  GETNEWDLLFUNCTIONS_FN getNewDllFunctions;
  GETBLENDAPI_FN serverGetBlendingInterface;
  META_INIT_FN metaInit;
  META_QUERY_FN metaQuery;
  META_ATTACH_FN metaAttach;
  META_DETACH_FN metaDetach;
};

// Like the engine, reached by its entry points (utility table, cvar and command registration)
// through a process-wide pointer: constructing one makes it current until it is destroyed.
class MetamodHost {
 public:
  explicit MetamodHost(Engine &engine);
  ~MetamodHost();
  MetamodHost(const MetamodHost &) = delete;
  MetamodHost &operator=(const MetamodHost &) = delete;

  static MetamodHost &Current();

  // ---- Loading
  // Loads a private copy of the file and resolves its exports by name (GiveFnptrsToDll,
  // GetEntityAPI2, GetEntityAPI2_Post, GetNewDLLFunctions, Server_GetBlendingInterface,
  // Meta_Init, Meta_Query, Meta_Attach, Meta_Detach). False, with Error(), when the file does not
  // load or lacks one of the exports Metamod requires (Meta_Query, GiveFnptrsToDll, Meta_Attach).
  bool Load(const std::string &path);
  // Unloads the library and forgets everything that pointed into it (tables, plug-in info,
  // command handlers). No Meta_Detach: a test calls CallMetaDetach itself when it wants one.
  // The hook tables are emptied where they are, so a dispatch already under way when a command
  // unloads the plug-in finds no hooks left rather than a table that is gone.
  void Unload();
  bool IsLoaded() const { return library_.IsOpen(); }
  const std::string &Error() const { return error_; }
  // The loaded module, for exports beyond Metamod's (the test build's fake-platform controls).
  const Library &library() const { return library_; }
  const PluginExports &Exports() const { return exports_; }
  bool HasExport(const char *name) const { return library_.Symbol(name) != nullptr; }

  // ---- The handshake, one step at a time
  // Each answers what the plug-in returned and judges nothing; Attach() judges.
  void CallMetaInit();  // nothing when Meta_Init is not exported
  // Hands the plug-in Metamod's copy of the engine table (see PluginEngineFunctions) and the
  // engine's globals.
  void CallGiveFnptrs();
  // Meta_Query(metaVersion, &info, util table or null). Keeps the plug-in's plugin_info_t.
  int CallMetaQuery(const char *metaVersion = META_INTERFACE_VERSION, bool passUtilTable = true);
  // Meta_Attach(now, &META_FUNCTIONS, &meta globals, &game tables).
  int CallMetaAttach(PLUG_LOADTIME now = PT_STARTUP);
  int CallMetaDetach(PLUG_LOADTIME now, PL_UNLOAD_REASON reason);
  // Calls the getters the plug-in put in META_FUNCTIONS, as Metamod does after an attach:
  // GetNewDLLFunctions, _Post (version 1), GetEntityAPI2, _Post (version 140), GetEntityAPI and
  // _Post only when neither API2 table came, then GetEngineFunctions, _Post (version 138). Each
  // gets a freshly zeroed table; a getter that answers 0 is a fault. True when none failed.
  bool RequestTables();
  // The whole start-up: Meta_Init, GiveFnptrsToDll, Meta_Query("5:13"), Meta_Attach(PT_STARTUP),
  // RequestTables. A step that fails Metamod's checks (query must answer 1 with a compatible
  // interface version and a loadable time; attach must answer 1) is recorded as a fault and
  // ends the sequence.
  bool Attach();
  bool IsAttached() const { return attached_; }

  // ---- What the plug-in handed over
  const plugin_info_t *PluginInfo() const { return pluginInfo_; }
  const META_FUNCTIONS &MetaFunctions() const { return metaFunctions_; }
  // The hook tables; all-null until RequestTables obtained them.
  const DLL_FUNCTIONS &PreHooks() const { return *preHooks_; }
  const DLL_FUNCTIONS &PostHooks() const { return *postHooks_; }
  const NEW_DLL_FUNCTIONS &NewPreHooks() const { return *newPreHooks_; }
  const NEW_DLL_FUNCTIONS &NewPostHooks() const { return *newPostHooks_; }
  const enginefuncs_t &EngineHooks() const { return engineHooks_->table; }
  const enginefuncs_t &EngineHooksPost() const { return engineHooksPost_->table; }

  // ---- What Metamod handed over
  // The engine table the plug-in received: a copy of the engine's in which cvar registration is
  // Metamod's (the engine gets a host-owned copy of the plug-in's cvar_t, so the plug-in must
  // reach its live variables through pfnCVarGetPointer; a name registered again keeps the
  // existing copy) and pfnAddServerCommand goes through Metamod (a command of an unloaded
  // plug-in no longer calls into it).
  enginefuncs_t *PluginEngineFunctions() { return &pluginEngine_; }
  meta_globals_t *MetaGlobals() { return &metaGlobals_; }
  mutil_funcs_t *UtilFunctions() { return &utilFunctions_; }
  // Every line the plug-in logged through the utility table: "console: <text>",
  // "message: <text>", "error: <text>" or "developer: <text>".
  const std::vector<std::string> &MetaLog() const { return metaLog_; }

  // ---- The game library underneath
  StubGame &Game() { return game_; }
  const std::vector<std::string> &GameCalls() const { return game_.Calls(); }

  // ---- Dispatch
  // Calls one entry of DLL_FUNCTIONS or NEW_DLL_FUNCTIONS as Metamod does:
  //   Call<&DLL_FUNCTIONS::pfnClientConnect>(edict, "Alice", "127.0.0.1", reason)
  // mres is reset to MRES_UNSET, the pre hook runs (if the plug-in has one) and must leave mres
  // set (a fault otherwise), the game runs unless mres is MRES_SUPERCEDE, then the post hook the
  // same way, with orig_ret pointing at the game's answer. The answer is the post hook's if it
  // overrode, else the pre hook's if it overrode or superseded, else the game's.
  template <auto Entry, typename... Arguments>
  EntryResult<Entry> Call(Arguments &&...arguments);
  // What the pre (post) hook of the last Call left in mres; MRES_UNSET when it has none.
  META_RES LastPreResult() const { return lastPreResult_; }
  META_RES LastPostResult() const { return lastPostResult_; }

  // Faults seen by the engine or by Metamod (shared list); tests expect it empty.
  const std::vector<std::string> &Faults() const { return engine_.Faults(); }
  Engine &engine() { return engine_; }

  // ---- Metamod's console command
  // `meta`, which the host adds to the engine when it first loads a plug-in (one of the host's
  // own engine commands, see Engine::AddHostCommand, so it never takes the name from a plug-in
  // that registers its own standalone) and takes away when the host goes:
  //   meta unload <name>        Meta_Detach(PT_ANYTIME, PNL_COMMAND); when it answers 1 the
  //                             library is unloaded at once (Unload)
  //   meta force_unload <name>  the same with PNL_CMD_FORCED, as Metamod-R does
  // The host holds one plug-in, so any name means it. An unload inside a call that came from the
  // plug-in leaves that call to return into a library that is gone, as on a real server.
  void RunMetaCommand();

  // ---- Reached from the plug-in through the tables (public for the entry points)
  void RegisterPluginCvar(cvar_t *variable);
  void AddPluginCommand(const char *name, void (*handler)());
  void RunPluginCommand();
  void Log(const char *tag, const std::string &text);
  const char *GameInfo(ginfo_t tag);
  const char *PluginPath() const { return library_.Path().c_str(); }
  int NextRequestId() { return ++requestIds_; }

 private:
  template <auto Entry, typename Function = EntryFunction<Entry>>
  struct Dispatcher;
  template <typename Table>
  std::pair<const Table *, const Table *> HookTables() const;
  META_RES TakeHookResult(const char *entryName, bool post);
  void ResetTables();

  struct EngineHookTable {
    enginefuncs_t table;
    void *laterEntry;  // Metamod's buffer holds one entry more than the classic table
  };
  struct PluginCvar {
    cvar_t record;
    std::string name;
    std::string string;
  };
  struct PluginCommand {
    std::string name;
    void (*handler)();
  };

  MetamodHost *previous_ = nullptr;
  Engine &engine_;
  StubGame game_;
  Library library_;
  std::string error_;
  bool attached_ = false;

  PluginExports exports_{};

  enginefuncs_t pluginEngine_{};
  meta_globals_t metaGlobals_{};
  mutil_funcs_t utilFunctions_{};
  DLL_FUNCTIONS gameCopy_{};
  NEW_DLL_FUNCTIONS newGameCopy_{};
  gamedll_funcs_t gameFunctions_{};
  plugin_info_t *pluginInfo_ = nullptr;
  META_FUNCTIONS metaFunctions_{};
  std::unique_ptr<DLL_FUNCTIONS> preHooks_;
  std::unique_ptr<DLL_FUNCTIONS> postHooks_;
  std::unique_ptr<NEW_DLL_FUNCTIONS> newPreHooks_;
  std::unique_ptr<NEW_DLL_FUNCTIONS> newPostHooks_;
  std::unique_ptr<EngineHookTable> engineHooks_;
  std::unique_ptr<EngineHookTable> engineHooksPost_;
  META_RES lastPreResult_ = MRES_UNSET;
  META_RES lastPostResult_ = MRES_UNSET;

  std::vector<std::unique_ptr<PluginCvar>> pluginCvars_;
  std::vector<PluginCommand> pluginCommands_;
  std::vector<std::string> metaLog_;
  std::string gameInfo_[6];
  int requestIds_ = 0;
  bool metaCommandAdded_ = false;
};

// ---- Template definitions

template <typename Table>
std::pair<const Table *, const Table *> MetamodHost::HookTables() const {
  if constexpr (std::is_same_v<Table, DLL_FUNCTIONS>) {
    return {preHooks_.get(), postHooks_.get()};
  } else {
    return {newPreHooks_.get(), newPostHooks_.get()};
  }
}

template <auto Entry, typename Result, typename... Parameters>
struct MetamodHost::Dispatcher<Entry, Result (*)(Parameters...)> {
  static Result Run(MetamodHost &host, Parameters... parameters) {
    using Table = EntryTable<Entry>;
    const auto [pre, post] = host.HookTables<Table>();
    const Table *game = nullptr;
    if constexpr (std::is_same_v<Table, DLL_FUNCTIONS>) {
      game = host.game_.Functions();
    } else {
      game = host.game_.NewFunctions();
    }
    meta_globals_t &globals = host.metaGlobals_;
    ReturnSlot<Result> preAnswer;
    ReturnSlot<Result> gameAnswer;
    ReturnSlot<Result> postAnswer;

    host.lastPreResult_ = MRES_UNSET;
    host.lastPostResult_ = MRES_UNSET;
    if (pre->*Entry != nullptr) {
      globals = meta_globals_t{};
      preAnswer.Run(pre->*Entry, parameters...);
      host.lastPreResult_ = host.TakeHookResult(GameEntry<Entry>::Name(), false);
    }
    const bool superseded = host.lastPreResult_ == MRES_SUPERCEDE;
    const bool preOverrode = host.lastPreResult_ >= MRES_OVERRIDE;
    // A superseded game answers what the plug-in answered, as far as post hooks can tell.
    ReturnSlot<Result> &original = superseded ? preAnswer : gameAnswer;
    if (!superseded && game->*Entry != nullptr) gameAnswer.Run(game->*Entry, parameters...);
    if (post->*Entry != nullptr) {
      globals = meta_globals_t{};
      globals.orig_ret = original.Address();
      globals.override_ret = preOverrode ? preAnswer.Address() : nullptr;
      postAnswer.Run(post->*Entry, parameters...);
      host.lastPostResult_ = host.TakeHookResult(GameEntry<Entry>::Name(), true);
    }
    if constexpr (!std::is_void_v<Result>) {
      if (host.lastPostResult_ >= MRES_OVERRIDE) return postAnswer.value;
      if (preOverrode) return preAnswer.value;
      return gameAnswer.value;
    }
  }
};

template <auto Entry, typename... Arguments>
EntryResult<Entry> MetamodHost::Call(Arguments &&...arguments) {
  return Dispatcher<Entry>::Run(*this, std::forward<Arguments>(arguments)...);
}

}  // namespace emu
