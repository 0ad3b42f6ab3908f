// A tiny Metamod plug-in that is also a game library, for the emulator's own tests. It does just
// enough to show how the emulator treats a binary: registers a variable and a few commands,
// hooks a handful of entries, and answers with whatever mres its variable stub_mres holds
// (0 leaves mres unset, 4 supersedes the game, 9 is no result at all). Standalone, the same hooks
// are the game.
#include <cstdio>
#include <cstring>
#include <string>

#include "sdk/exports.h"

#if defined(_WIN32)
#define STUB_EXPORT extern "C" __declspec(dllexport)
#else
#define STUB_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {

enginefuncs_t g_engine;
globalvars_t *g_globals = nullptr;
mutil_funcs_t *g_util = nullptr;
meta_globals_t *g_metaGlobals = nullptr;
std::string g_events;
int g_gameInits = 0;

plugin_info_t g_info = {
    META_INTERFACE_VERSION,
    "Stub",
    "1.0",
    "2024/01/01",
    "QRV tests",
    "",
    "STUB",
    PT_ANYTIME,
    PT_ANYTIME,
};

// The plug-in's own records; under Metamod the engine holds copies of them.
cvar_t g_value = {"stub_value", "1", FCVAR_SERVER, 0.0f, nullptr};
cvar_t g_mres = {"stub_mres", "1", 0, 0.0f, nullptr};
cvar_t g_refuse = {"stub_refuse", "0", 0, 0.0f, nullptr};
cvar_t g_keep = {"stub_keep", "0", 0, 0.0f, nullptr};
cvar_t g_valueAgain = {"stub_value", "99", 0, 0.0f, nullptr};

void Event(const std::string &text) { g_events += text + "\n"; }

void Print(const std::string &text) { g_engine.pfnServerPrint(text.c_str()); }

void SetResult() {
  if (g_metaGlobals == nullptr) return;
  const int result = static_cast<int>(g_engine.pfnCVarGetFloat("stub_mres"));
  // Stored as a plain int, so that a test can hand the host a number that is no META_RES.
  if (result != MRES_UNSET) std::memcpy(&g_metaGlobals->mres, &result, sizeof result);
}

void CommandArgs() {
  const char *args = g_engine.pfnCmd_Args();
  Print("argc=" + std::to_string(g_engine.pfnCmd_Argc()) + " argv0=" + g_engine.pfnCmd_Argv(0) +
        " argv1=" + g_engine.pfnCmd_Argv(1) + " args=" + (args != nullptr ? args : "(null)") +
        "\n");
}

void CommandQueue() {
  const char *args = g_engine.pfnCmd_Args();
  if (args == nullptr) return;
  std::string text = std::string(args) + "\n";
  g_engine.pfnServerCommand(&text[0]);
}

void CommandReport() {
  const cvar_t *live = g_engine.pfnCVarGetPointer("stub_value");
  Print(std::string("own=") + g_value.string + " live=" + (live != nullptr ? live->string : "-") +
        "\n");
}

void CommandRegisterAgain() { g_engine.pfnCVarRegister(&g_valueAgain); }

void GameInit() {
  Event("GameInit #" + std::to_string(++g_gameInits));
  char args[] = "stub_args";
  char queue[] = "stub_queue";
  char report[] = "stub_report";
  char again[] = "stub_register_again";
  g_engine.pfnAddServerCommand(args, &CommandArgs);
  g_engine.pfnAddServerCommand(queue, &CommandQueue);
  g_engine.pfnAddServerCommand(report, &CommandReport);
  g_engine.pfnAddServerCommand(again, &CommandRegisterAgain);
  SetResult();
}

int Spawn(edict_t *) {
  Event("Spawn");
  SetResult();
  return 7;
}

qboolean ClientConnect(edict_t *, const char *name, const char *, char *rejectReason) {
  Event(std::string("ClientConnect ") + name);
  SetResult();
  if (g_engine.pfnCVarGetFloat("stub_refuse") != 0.0f) {
    std::snprintf(rejectReason, 128, "%s", "stub says no");
    return 0;
  }
  return 1;
}

qboolean ClientConnectPost(edict_t *, const char *, const char *, char *) {
  const int original = g_metaGlobals->orig_ret != nullptr
                           ? *static_cast<const qboolean *>(g_metaGlobals->orig_ret)
                           : -1;
  Event("ClientConnect_Post orig=" + std::to_string(original));
  g_metaGlobals->mres = MRES_IGNORED;
  return 0;
}

void StartFrame() { SetResult(); }

void ClientCommand(edict_t *) {
  Event(std::string("ClientCommand ") + g_engine.pfnCmd_Argv(0));
  SetResult();
}

void GameShutdown() {
  Event("GameShutdown");
  SetResult();
}

DLL_FUNCTIONS MakePreHooks() {
  DLL_FUNCTIONS table{};
  table.pfnGameInit = &GameInit;
  table.pfnSpawn = &Spawn;
  table.pfnClientConnect = &ClientConnect;
  table.pfnStartFrame = &StartFrame;
  table.pfnClientCommand = &ClientCommand;
  return table;
}

int GetPreHooks(DLL_FUNCTIONS *table, int *version) {
  if (*version != INTERFACE_VERSION) {
    *version = INTERFACE_VERSION;
    return 0;
  }
  *table = MakePreHooks();
  return 1;
}

int GetPostHooks(DLL_FUNCTIONS *table, int *version) {
  if (*version != INTERFACE_VERSION) {
    *version = INTERFACE_VERSION;
    return 0;
  }
  std::memset(table, 0, sizeof *table);
  table->pfnClientConnect = &ClientConnectPost;
  return 1;
}

int GetNewHooks(NEW_DLL_FUNCTIONS *table, int *version) {
  if (*version != NEW_DLL_FUNCTIONS_VERSION) {
    *version = NEW_DLL_FUNCTIONS_VERSION;
    return 0;
  }
  std::memset(table, 0, sizeof *table);
  table->pfnGameShutdown = &GameShutdown;
  return 1;
}

}  // namespace

STUB_EXPORT void WINAPI GiveFnptrsToDll(enginefuncs_t *engine, globalvars_t *globals) {
  std::memcpy(&g_engine, engine, sizeof g_engine);
  g_globals = globals;
  Event("GiveFnptrsToDll");
  g_engine.pfnCVarRegister(&g_value);
  g_engine.pfnCVarRegister(&g_mres);
  g_engine.pfnCVarRegister(&g_refuse);
  g_engine.pfnCVarRegister(&g_keep);
}

STUB_EXPORT int GetEntityAPI2(DLL_FUNCTIONS *table, int *version) {
  return GetPreHooks(table, version);
}

STUB_EXPORT int GetNewDLLFunctions(NEW_DLL_FUNCTIONS *table, int *version) {
  return GetNewHooks(table, version);
}

STUB_EXPORT void Meta_Init() { Event("Meta_Init"); }

STUB_EXPORT int Meta_Query(char *, plugin_info_t **info, mutil_funcs_t *util) {
  g_util = util;
  *info = &g_info;
  Event("Meta_Query");
  if (g_util != nullptr) {
    g_util->pfnLogConsole(&g_info, "stub queried (%d)", 1);
    g_util->pfnLogMessage(&g_info, "a message");
    g_util->pfnLogError(&g_info, "an error");
  }
  return 1;
}

STUB_EXPORT int Meta_Attach(PLUG_LOADTIME, META_FUNCTIONS *functions, meta_globals_t *globals,
                            gamedll_funcs_t *) {
  g_metaGlobals = globals;
  functions->pfnGetEntityAPI2 = &GetPreHooks;
  functions->pfnGetEntityAPI2_Post = &GetPostHooks;
  functions->pfnGetNewDLLFunctions = &GetNewHooks;
  Event("Meta_Attach");
  return 1;
}

// Printed too, so that a test still sees it once Metamod has unloaded the library; stub_keep
// nonzero refuses.
STUB_EXPORT int Meta_Detach(PLUG_LOADTIME now, PL_UNLOAD_REASON reason) {
  Event("Meta_Detach");
  const bool keep = g_engine.pfnCVarGetFloat("stub_keep") != 0.0f;
  Print("stub detach now=" + std::to_string(now) + " reason=" + std::to_string(reason) +
        (keep ? " refused\n" : "\n"));
  return keep ? 0 : 1;
}

// Controls for the tests.
STUB_EXPORT const char *StubPlugin_Events() { return g_events.c_str(); }
STUB_EXPORT cvar_t *StubPlugin_OwnValue() { return &g_value; }
