// A game library of our own for standalone tests and the demo: the engine (or our plug-in in its
// place) loads it from <gamedir>/dlls/. It exports the four entry points a game library offers,
// records every call with its arguments, answers like a quiet game (ClientConnect admits, Spawn
// answers 7 and makes func_ entities world brushes), and refuses on request: a connection, the
// entity interface or its new-functions table. Tests reach it through the StubGame_* controls.
#include <cstdio>
#include <cstring>
#include <string>

#include "sdk/exports.h"

#if defined(_WIN32)
#define STUB_EXPORT extern "C" __declspec(dllexport)
// Named in the module definition file, so that it is exported undecorated where it is __stdcall.
#define STUB_DEF_EXPORT extern "C"
#else
#define STUB_EXPORT extern "C" __attribute__((visibility("default")))
#define STUB_DEF_EXPORT STUB_EXPORT
#endif

namespace {

enginefuncs_t g_engine;
enginefuncs_t *g_receivedEngine = nullptr;
globalvars_t *g_receivedGlobals = nullptr;
std::string g_calls;
bool g_refuseConnect = false;
bool g_refuseEntityApi = false;
bool g_refuseNewFunctions = false;
// Stands for the game's blending interface; only its address is handed out.
int g_blendingInterface = 0;
// Told when the library is really let go of: after that, nothing of it can be asked.
void (*g_unloadSink)(const char *event) = nullptr;

struct UnloadReport {
  ~UnloadReport() {
    if (g_unloadSink != nullptr) g_unloadSink("stub game unloaded");
  }
} g_unloadReport;

void Record(const std::string &text) { g_calls += text + "\n"; }

std::string Index(const edict_t *entity) {
  if (entity == nullptr) return "null";
  return std::to_string(g_engine.pfnIndexOfEdict(entity));
}

const char *ClassName(const edict_t *entity) {
  if (g_receivedGlobals == nullptr || entity == nullptr) return "";
  return g_receivedGlobals->pStringBase + entity->v.classname;
}

void GameInit() { Record("GameInit"); }

int Spawn(edict_t *entity) {
  const char *classname = ClassName(entity);
  Record("Spawn " + Index(entity) + " " + classname);
  if (std::strncmp(classname, "func_", 5) == 0) entity->v.flags |= FL_WORLDBRUSH;
  return 7;
}

void Think(edict_t *entity) { Record("Think " + Index(entity)); }

qboolean ClientConnect(edict_t *entity, const char *name, const char *address,
                       char rejectReason[128]) {
  Record("ClientConnect " + Index(entity) + " " + name + " " + address);
  if (!g_refuseConnect) return 1;
  std::snprintf(rejectReason, 128, "%s", "stub game says no");
  return 0;
}

void ClientDisconnect(edict_t *entity) { Record("ClientDisconnect " + Index(entity)); }

void ClientKill(edict_t *entity) { Record("ClientKill " + Index(entity)); }

void ClientPutInServer(edict_t *entity) { Record("ClientPutInServer " + Index(entity)); }

void ClientCommand(edict_t *entity) {
  Record("ClientCommand " + Index(entity) + " " + g_engine.pfnCmd_Argv(0));
}

void ClientUserInfoChanged(edict_t *entity, char *infobuffer) {
  Record("ClientUserInfoChanged " + Index(entity) + " " + infobuffer);
}

void ServerActivate(edict_t *edicts, int edictCount, int clientMax) {
  Record("ServerActivate " + Index(edicts) + " " + std::to_string(edictCount) + " " +
         std::to_string(clientMax));
}

void ServerDeactivate() { Record("ServerDeactivate"); }

void PlayerPreThink(edict_t *entity) { Record("PlayerPreThink " + Index(entity)); }

void PlayerPostThink(edict_t *entity) { Record("PlayerPostThink " + Index(entity)); }

void StartFrame() { Record("StartFrame"); }

const char *GetGameDescription() { return "Counter-Strike"; }

void OnFreeEntPrivateData(edict_t *entity) { Record("OnFreeEntPrivateData " + Index(entity)); }

void GameShutdown() { Record("GameShutdown"); }

DLL_FUNCTIONS MakeFunctions() {
  DLL_FUNCTIONS table{};
  table.pfnGameInit = &GameInit;
  table.pfnSpawn = &Spawn;
  table.pfnThink = &Think;
  table.pfnClientConnect = &ClientConnect;
  table.pfnClientDisconnect = &ClientDisconnect;
  table.pfnClientKill = &ClientKill;
  table.pfnClientPutInServer = &ClientPutInServer;
  table.pfnClientCommand = &ClientCommand;
  table.pfnClientUserInfoChanged = &ClientUserInfoChanged;
  table.pfnServerActivate = &ServerActivate;
  table.pfnServerDeactivate = &ServerDeactivate;
  table.pfnPlayerPreThink = &PlayerPreThink;
  table.pfnPlayerPostThink = &PlayerPostThink;
  table.pfnStartFrame = &StartFrame;
  table.pfnGetGameDescription = &GetGameDescription;
  return table;
}

const DLL_FUNCTIONS kFunctions = MakeFunctions();

}  // namespace

STUB_DEF_EXPORT void WINAPI GiveFnptrsToDll(enginefuncs_t *engine, globalvars_t *globals) {
  g_receivedEngine = engine;
  g_receivedGlobals = globals;
  if (engine != nullptr) std::memcpy(&g_engine, engine, sizeof g_engine);
  // Whoever loads the game sets its own variables up afterwards.
  const bool before = engine != nullptr && g_engine.pfnCVarGetPointer("qrv_fps") == nullptr;
  Record(std::string("GiveFnptrsToDll") + (before ? " first" : " late"));
}

STUB_EXPORT int GetEntityAPI(DLL_FUNCTIONS *table, int version) {
  Record("GetEntityAPI " + std::to_string(version));
  if (g_refuseEntityApi || version != INTERFACE_VERSION) return 0;
  *table = kFunctions;
  return 1;
}

STUB_EXPORT int GetNewDLLFunctions(NEW_DLL_FUNCTIONS *table, int *version) {
  Record("GetNewDLLFunctions " + std::to_string(*version));
  if (g_refuseNewFunctions) return 0;
  if (*version != NEW_DLL_FUNCTIONS_VERSION) {
    *version = NEW_DLL_FUNCTIONS_VERSION;
    return 0;
  }
  std::memset(table, 0, sizeof *table);
  table->pfnOnFreeEntPrivateData = &OnFreeEntPrivateData;
  table->pfnGameShutdown = &GameShutdown;
  return 1;
}

STUB_EXPORT int Server_GetBlendingInterface(int version,
                                            struct sv_blending_interface_s **ppinterface,
                                            struct engine_studio_api_s *pstudio,
                                            float (*rotationmatrix)[3][4],
                                            float (*bonetransform)[MAXSTUDIOBONES][3][4]) {
  char text[160];
  std::snprintf(text, sizeof text, "Server_GetBlendingInterface %d %p %p %p", version,
                static_cast<void *>(pstudio), static_cast<void *>(rotationmatrix),
                static_cast<void *>(bonetransform));
  Record(text);
  if (version != SV_BLENDING_INTERFACE_VERSION) return 0;
  *ppinterface = reinterpret_cast<sv_blending_interface_s *>(&g_blendingInterface);
  return 1;
}

// ---- Controls for the tests

// Every call so far, one line each: the entry's name without "pfn", then its arguments
// (entities as their index).
STUB_EXPORT const char *StubGame_Calls() { return g_calls.c_str(); }
STUB_EXPORT void StubGame_ClearCalls() { g_calls.clear(); }

// "ClientConnect", "GetEntityAPI" or "GetNewDLLFunctions": refuse (nonzero) or answer again.
// False for any other name.
STUB_EXPORT int StubGame_Refuse(const char *entry, int refuse) {
  bool *flag = nullptr;
  if (std::strcmp(entry, "ClientConnect") == 0) flag = &g_refuseConnect;
  if (std::strcmp(entry, "GetEntityAPI") == 0) flag = &g_refuseEntityApi;
  if (std::strcmp(entry, "GetNewDLLFunctions") == 0) flag = &g_refuseNewFunctions;
  if (flag == nullptr) return 0;
  *flag = refuse != 0;
  return 1;
}

// A function of the host's that the library's own clean-up calls with "stub game unloaded" as it
// unloads; null stops it.
STUB_EXPORT void StubGame_SetUnloadSink(void (*sink)(const char *event)) { g_unloadSink = sink; }

// The table GetEntityAPI hands out, the blending interface, and what GiveFnptrsToDll received.
STUB_EXPORT const DLL_FUNCTIONS *StubGame_Functions() { return &kFunctions; }
STUB_EXPORT const void *StubGame_BlendingInterface() { return &g_blendingInterface; }
STUB_EXPORT const void *StubGame_ReceivedEngine() { return g_receivedEngine; }
STUB_EXPORT const void *StubGame_ReceivedGlobals() { return g_receivedGlobals; }
