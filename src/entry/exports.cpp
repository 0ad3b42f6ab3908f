// The game-library entry points: what the engine (standalone) or Metamod calls by name.
#include <cstring>

#include "base/globals.h"
#include "base/plugin_log.h"
#include "entry/attach.h"
#include "entry/dllapi.h"
#include "entry/export_api.h"
#include "entry/standalone.h"
#include "game/game_detection.h"

QRV_EXPORT void WINAPI GiveFnptrsToDll(enginefuncs_t *pengfuncsFromEngine, globalvars_t *pGlobals) {
  if (pengfuncsFromEngine != nullptr) {
    std::memcpy(&g_engfuncs, pengfuncsFromEngine, sizeof(enginefuncs_t));
  }
  gpGlobals = pGlobals;
  WriteLog(true, LOG_LEVEL_LOG, "Plugin loaded successfully.");
  DetectGame();
  if (g_bMetamodPresent) return;
  // Standalone: the engine took this library for the game's, so the game's own comes underneath,
  // and the work Metamod's attach would start runs once the game has been initialised.
  LoadGameLibrary(DetectedGame(), pengfuncsFromEngine, pGlobals);
  RunAttachWork();
}

QRV_EXPORT int GetEntityAPI2(DLL_FUNCTIONS *pFunctionTable, int *interfaceVersion) {
  if (pFunctionTable == nullptr || interfaceVersion == nullptr) return 0;
  if (*interfaceVersion != INTERFACE_VERSION) {
    // Tell the caller which version this library speaks.
    *interfaceVersion = INTERFACE_VERSION;
    return 0;
  }
  std::memset(pFunctionTable, 0, sizeof(DLL_FUNCTIONS));
  if (!g_bMetamodPresent && !FillFromGameFunctions(pFunctionTable)) return 0;
  InstallPreHooks(pFunctionTable);
  return 1;
}

QRV_EXPORT int GetEntityAPI2_Post(DLL_FUNCTIONS *pFunctionTable, int *) {
  if (pFunctionTable == nullptr) return 0;
  std::memset(pFunctionTable, 0, sizeof(DLL_FUNCTIONS));
  InstallPostHooks(pFunctionTable);
  return 1;
}

QRV_EXPORT int GetNewDLLFunctions(NEW_DLL_FUNCTIONS *pFunctionTable, int *interfaceVersion) {
  return ForwardGetNewDLLFunctions(pFunctionTable, interfaceVersion);
}

QRV_EXPORT int Server_GetBlendingInterface(int version,
                                           struct sv_blending_interface_s **ppinterface,
                                           struct engine_studio_api_s *pstudio,
                                           float (*rotationmatrix)[3][4],
                                           float (*bonetransform)[MAXSTUDIOBONES][3][4]) {
  return ForwardBlendingInterface(version, ppinterface, pstudio, rotationmatrix, bonetransform);
}
