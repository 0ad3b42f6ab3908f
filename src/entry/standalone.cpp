#include "entry/standalone.h"

#include <cstdio>
#include <cstring>

#include "base/console.h"
#include "base/globals.h"
#include "base/plugin_log.h"
#include "platform/platform.h"

DLL_FUNCTIONS g_GameFunctions;

namespace {

constexpr size_t kLibraryPathBytes = 256;

// Never freed: the engine reads the game's variables after its last call to us, and a library
// freed while the process lets go of this one would be freed under the Windows loader lock or
// inside exit(). The process ends with it loaded.
platform::LibraryHandle g_hGameLibrary = nullptr;
GIVEFNPTRSTODLL_FN g_pfnGameGiveFnptrsToDll = nullptr;
GETENTITYAPI_FN g_pfnGameGetEntityAPI = nullptr;
NEW_DLL_FUNCTIONS_FN g_pfnGameGetNewDLLFunctions = nullptr;
GETBLENDAPI_FN g_pfnGameBlendingInterface = nullptr;

template <typename Function>
Function GameEntryPoint(const char *name) {
  return reinterpret_cast<Function>(platform::LibrarySymbol(g_hGameLibrary, name));
}

// Reading the library through the engine's file system brings it out of the Steam cache onto
// disk; the contents themselves are of no use and go straight back.
void ExtractFromSteamCache(char *szGameDLLName) {
  WriteLog(true, LOG_LEVEL_LOG, "Trying to extract dll '%s' out of the steam cache", szGameDLLName);
  if (g_engfuncs.pfnLoadFileForMe == nullptr) return;
  int length = 0;
  byte *contents = g_engfuncs.pfnLoadFileForMe(szGameDLLName, &length);
  if (contents != nullptr && g_engfuncs.pfnFreeFile != nullptr) g_engfuncs.pfnFreeFile(contents);
}

// Current servers ship the library under this build's own name; the table's name comes last,
// and only its path is looked for in the Steam cache.
platform::LibraryHandle OpenGameLibrary(const SupportedGame &game) {
  const char *tableName =
      platform::kGameLibraryFromWindowsColumn ? game.szWindowsLibrary : game.szLinuxLibrary;
  const char *names[2] = {};
  int count = 0;
  if (platform::kCurrentGameLibrary[0] != '\0' &&
      std::strcmp(platform::kCurrentGameLibrary, tableName) != 0) {
    names[count++] = platform::kCurrentGameLibrary;
  }
  names[count++] = tableName;

  char szGameDLLName[kLibraryPathBytes];
  for (int index = 0; index < count; ++index) {
    std::snprintf(szGameDLLName, sizeof(szGameDLLName), "%s/dlls/%s", game.szGameDir, names[index]);
    platform::LibraryHandle library = platform::OpenLibrary(szGameDLLName);
    if (library != nullptr) return library;
  }
  ExtractFromSteamCache(szGameDLLName);
  return platform::OpenLibrary(szGameDLLName);
}

}  // namespace

void LoadGameLibrary(const SupportedGame *game, enginefuncs_t *pengfuncsFromEngine,
                     globalvars_t *pGlobals) {
  if (game != nullptr && g_hGameLibrary == nullptr) g_hGameLibrary = OpenGameLibrary(*game);
  g_pfnGameGiveFnptrsToDll = GameEntryPoint<GIVEFNPTRSTODLL_FN>("GiveFnptrsToDll");
  g_pfnGameGetEntityAPI = GameEntryPoint<GETENTITYAPI_FN>("GetEntityAPI");
  g_pfnGameGetNewDLLFunctions = GameEntryPoint<NEW_DLL_FUNCTIONS_FN>("GetNewDLLFunctions");
  g_pfnGameBlendingInterface = GameEntryPoint<GETBLENDAPI_FN>("Server_GetBlendingInterface");
  // The game is initialised before any other call reaches it.
  if (g_pfnGameGiveFnptrsToDll != nullptr) g_pfnGameGiveFnptrsToDll(pengfuncsFromEngine, pGlobals);
}

bool FillFromGameFunctions(DLL_FUNCTIONS *pFunctionTable) {
  std::memset(&g_GameFunctions, 0, sizeof(g_GameFunctions));
  if (g_pfnGameGetEntityAPI == nullptr ||
      g_pfnGameGetEntityAPI(&g_GameFunctions, INTERFACE_VERSION) == 0) {
    // A refusing game may have left part of a table behind: nothing of it is called.
    std::memset(&g_GameFunctions, 0, sizeof(g_GameFunctions));
    WriteLog(true, LOG_LEVEL_FATAL, "GetEntityAPI2: ERROR - Not Initialized.");
    return false;
  }
  std::memcpy(pFunctionTable, &g_GameFunctions, sizeof(DLL_FUNCTIONS));
  return true;
}

int ForwardGetNewDLLFunctions(NEW_DLL_FUNCTIONS *pFunctionTable, int *interfaceVersion) {
  if (g_pfnGameGetNewDLLFunctions == nullptr) return 0;
  if (g_pfnGameGetNewDLLFunctions(pFunctionTable, interfaceVersion) != 0) return 1;
  WriteLog(true, LOG_LEVEL_FATAL, "GetNewDLLFunctions: ERROR - Not Initialized.");
  return 0;
}

int ForwardBlendingInterface(int version, struct sv_blending_interface_s **ppinterface,
                             struct engine_studio_api_s *pstudio, float (*rotationmatrix)[3][4],
                             float (*bonetransform)[MAXSTUDIOBONES][3][4]) {
  if (g_pfnGameBlendingInterface == nullptr) return 0;
  return g_pfnGameBlendingInterface(version, ppinterface, pstudio, rotationmatrix, bonetransform);
}

void ShowStandaloneNotice() {
  const char *notice =
      "You're launched standalone version of test. Metamod is not installed or not enabled!";
  PrefixedConsolePrint("[QRV]%s", notice);
  WriteLog(true, LOG_LEVEL_ERROR, "%s", notice);
}
