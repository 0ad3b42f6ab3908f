// Every handler does its own work and then the common frame: under Metamod it reports
// MRES_IGNORED (MRES_HANDLED after the join messages) so the game's own function still runs;
// standalone it calls the game's function itself and returns the game's result.
#include "entry/dllapi.h"

#include "base/command_line.h"
#include "base/globals.h"
#include "commands/dispatcher.h"
#include "commands/stats_command.h"
#include "commands/status_command.h"
#include "commands/switch_commands.h"
#include "config/debug_modules.h"
#include "config/registry.h"
#include "entry/engine_frame_hook.h"
#include "entry/standalone.h"
#include "game/game_detection.h"
#include "perf/fps_monitor.h"
#include "perf/frame_pacer.h"
#include "perf/humans.h"
#include "perf/join_messages.h"
#include "perf/map_cycle.h"
#include "perf/map_summary.h"
#include "platform/platform.h"

const ConsoleCommand kConsoleCommands[] = {
    {"qrv_vemtark_about", CommandDispatcher},
    {"qrv_vemtark_help", CommandDispatcher},
    {"qrv_helpme", CommandDispatcher},
    {"qrv_info", CommandDispatcher},
    {"qrv_systems", CommandDispatcher},
    {"qrv_debug", CommandDispatcher},
    {"qrv_vemtark_strengthening", StrengtheningCommand},
    {"qrv_vemtark_debug", DebugModeCommand},
    {"qrv_vemtark_premonitor_win", PremonitorWinCommand},
    {"qrv_vemtark_qrvbots_support", QrvBotsSupportCommand},
    {"qrv_vemtark_engine_check", EngineCheckCommand},
    {"qrv_vemtark_engine_test", EngineTestCommand},
    {"qrv_vemtark_sepd", SEpdCommand},
    {"qrv_vemtark_xepd", XEpdCommand},
    {"qrv_vemtark_yepd", YEpdCommand},
    {"qrv_vemtark_zepd", ZEpdCommand},
    {"qrv_vemtark_fepd", FEpdCommand},
    {"qrv_vemtark_hpk", HighPingKickerCommand},
    {"messagebox", MessageBoxCheckCommand},
    {"check_code", CodeCheckCommand},
    {"qrv_vemtark_status", StatusCommand},
    {"qrv_vemtark_stats", StatsCommand},
};
const int kConsoleCommandCount = sizeof(kConsoleCommands) / sizeof(kConsoleCommands[0]);

namespace {

// Brushes drawn with this render mode must not stay world brushes.
constexpr int kWorldBrushClearRenderMode = kRenderTransTexture;

// The target and name every player_weaponstrip gets. The engine reads an entity's strings for as
// long as the entity lives, after a forced unload of the plug-in too, so the text is the
// engine's own copy. The engine frees its strings with the map: one copy a map, 0 until made.
string_t g_fakeTarget = 0;

string_t FakeTarget() {
  if (g_fakeTarget == 0 && g_engfuncs.pfnAllocString != nullptr) {
    g_fakeTarget = static_cast<string_t>(g_engfuncs.pfnAllocString("fake"));
  }
  return g_fakeTarget;
}

void RegisterCommand(const char *name, void (*handler)()) {
  if (name == nullptr || name[0] == '\0' || handler == nullptr) return;
  if (g_engfuncs.pfnAddServerCommand == nullptr) return;
  g_engfuncs.pfnAddServerCommand(const_cast<char *>(name), handler);
}

void ClearWorldBrushFlag(edict_t *pent) {
  if (pent != nullptr && pent->v.rendermode == kWorldBrushClearRenderMode) {
    pent->v.flags &= ~FL_WORLDBRUSH;
  }
}

// Standalone forwarding: the game's entry, when the game library has one.
template <typename Function, typename... Args>
void ForwardToGame(Function function, Args... args) {
  if (function != nullptr) function(args...);
}

void GameInit() {
  for (const ConsoleCommand &command : kConsoleCommands) {
    RegisterCommand(command.name, command.handler);
  }
  RegisterAllRegistryVariables();
  ApplyCommandLineValues(rgcszCVar, kRegistrySlots);
  if (g_bMetamodPresent) {
    SetMetaResult(MRES_IGNORED);
    return;
  }
  RegisterCommand("meta", ShowStandaloneNotice);
  ForwardToGame(g_GameFunctions.pfnGameInit);
  // Standalone there is no post hook: the game has initialised once its own GameInit returns.
  ReportGameRegistration();
}

int Spawn(edict_t *pent) {
  if (pent != nullptr && EngineStringEquals(pent->v.classname, "player_weaponstrip")) {
    const string_t fake = FakeTarget();
    if (fake != 0) {
      pent->v.target = fake;
      pent->v.targetname = fake;
    }
  }
  if (g_bMetamodPresent) {
    SetMetaResult(MRES_IGNORED);
    return 0;
  }
  int result = g_GameFunctions.pfnSpawn != nullptr ? g_GameFunctions.pfnSpawn(pent) : 0;
  ClearWorldBrushFlag(pent);
  return result;
}

qboolean ClientConnect(edict_t *pEntity, const char *pszName, const char *pszAddress,
                       char szRejectReason[128]) {
  NoteClientConnected(pEntity);
  const bool greeted = SendJoinMessages(pEntity);
  if (g_bMetamodPresent) {
    SetMetaResult(greeted ? MRES_HANDLED : MRES_IGNORED);
    return 1;
  }
  if (g_GameFunctions.pfnClientConnect == nullptr) return 1;
  return g_GameFunctions.pfnClientConnect(pEntity, pszName, pszAddress, szRejectReason);
}

void ClientDisconnect(edict_t *pEntity) {
  SetPlayerPresence(pEntity, 0);
  NoteClientGone(pEntity);
  if (g_bMetamodPresent) return SetMetaResult(MRES_IGNORED);
  ForwardToGame(g_GameFunctions.pfnClientDisconnect, pEntity);
}

void ClientPutInServer(edict_t *pEntity) {
  SetPlayerPresence(pEntity, 1);
  NoteMapPlayers();
  if (g_bMetamodPresent) return SetMetaResult(MRES_IGNORED);
  ForwardToGame(g_GameFunctions.pfnClientPutInServer, pEntity);
}

void ClientCommand(edict_t *pEntity) {
  if (g_bMetamodPresent) return SetMetaResult(MRES_IGNORED);
  ForwardToGame(g_GameFunctions.pfnClientCommand, pEntity);
}

void ClientUserInfoChanged(edict_t *pEntity, char *infobuffer) {
  if (g_bMetamodPresent) return SetMetaResult(MRES_IGNORED);
  ForwardToGame(g_GameFunctions.pfnClientUserInfoChanged, pEntity, infobuffer);
}

void ServerActivate(edict_t *pEdictList, int edictCount, int clientMax) {
  ActivateMap();
  if (g_bMetamodPresent) return SetMetaResult(MRES_IGNORED);
  ForwardToGame(g_GameFunctions.pfnServerActivate, pEdictList, edictCount, clientMax);
}

void ServerDeactivate() {
  DeactivateMap();
  g_fakeTarget = 0;  // the engine frees this map's strings next
  if (g_bMetamodPresent) return SetMetaResult(MRES_IGNORED);
  ForwardToGame(g_GameFunctions.pfnServerDeactivate);
}

void PlayerPreThink(edict_t *pEntity) {
  // Runs every frame for every client: marks players again after the table was cleared.
  SetPlayerPresence(pEntity, 1);
  if (g_bMetamodPresent) return SetMetaResult(MRES_IGNORED);
  ForwardToGame(g_GameFunctions.pfnPlayerPreThink, pEntity);
}

void StartFrame() {
  MonitorFrame();
  ForwardToGame(g_GameFunctions.pfnStartFrame);
  NoteStartFrameReturned();
}

// The hook of every server frame: Metamod's table gets a handler of its own, which does not ask
// on every frame whether Metamod is there.
void StartFrameUnderMetamod() {
  MonitorFrame();
  SetMetaResult(MRES_IGNORED);
}

// The border between the game's StartFrame and the rest of the frame, where the engine gives no
// hook of its own.
void StartFrame_Post() {
  NoteStartFrameReturned();
  SetMetaResult(MRES_IGNORED);
}

void GameInit_Post() {
  ReportGameRegistration();
  SetMetaResult(MRES_IGNORED);
}

int Spawn_Post(edict_t *pent) {
  ClearWorldBrushFlag(pent);
  SetMetaResult(MRES_IGNORED);
  return 0;
}

void ServerActivate_Post(edict_t *, int, int) { SetMetaResult(MRES_IGNORED); }

}  // namespace

void InstallPreHooks(DLL_FUNCTIONS *pFunctionTable) {
  pFunctionTable->pfnGameInit = GameInit;
  pFunctionTable->pfnSpawn = Spawn;
  pFunctionTable->pfnClientConnect = ClientConnect;
  pFunctionTable->pfnClientDisconnect = ClientDisconnect;
  pFunctionTable->pfnClientPutInServer = ClientPutInServer;
  pFunctionTable->pfnClientCommand = ClientCommand;
  pFunctionTable->pfnClientUserInfoChanged = ClientUserInfoChanged;
  pFunctionTable->pfnServerActivate = ServerActivate;
  pFunctionTable->pfnServerDeactivate = ServerDeactivate;
  pFunctionTable->pfnPlayerPreThink = PlayerPreThink;
  pFunctionTable->pfnStartFrame = g_bMetamodPresent ? StartFrameUnderMetamod : StartFrame;
  // Standalone the plug-in calls the game's StartFrame itself and sees it return.
  if (!g_bMetamodPresent) NoteStartFrameBracketed(true);
}

void InstallPostHooks(DLL_FUNCTIONS *pFunctionTable) {
  pFunctionTable->pfnGameInit = GameInit_Post;
  pFunctionTable->pfnSpawn = Spawn_Post;
  pFunctionTable->pfnServerActivate = ServerActivate_Post;
  // Only where the frame's parts cannot come from the engine's own hooks (a hook on every frame
  // that ReHLDS servers do not need), and not when the command line turned the anatomy off.
  if (AnatomyWanted() && (!EngineApiFound() || platform::kEngineChainsOnlyWhilePacing)) {
    pFunctionTable->pfnStartFrame = StartFrame_Post;
    NoteStartFrameBracketed(true);
  }
}
