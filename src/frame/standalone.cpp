#include "frame/standalone.h"

#include <cstring>

#include "commands/plugin_log.h"
#include "platform/platform.h"

DLL_FUNCTIONS g_GameFunctions;

namespace {
platform::LibraryHandle g_hGameLibrary = nullptr;
NEW_DLL_FUNCTIONS_FN g_pfnGameGetNewDLLFunctions = nullptr;
GETBLENDAPI_FN g_pfnGameBlendingInterface = nullptr;
}  // namespace

int ForwardGetNewDLLFunctions(NEW_DLL_FUNCTIONS *pFunctionTable, int *interfaceVersion) {
  if (g_pfnGameGetNewDLLFunctions == nullptr) return 0;
  return g_pfnGameGetNewDLLFunctions(pFunctionTable, interfaceVersion) != 0 ? 1 : 0;
}

int ForwardBlendingInterface(int version, struct sv_blending_interface_s **ppinterface,
                             struct engine_studio_api_s *pstudio, float (*rotationmatrix)[3][4],
                             float (*bonetransform)[MAXSTUDIOBONES][3][4]) {
  if (g_pfnGameBlendingInterface == nullptr) return 0;
  return g_pfnGameBlendingInterface(version, ppinterface, pstudio, rotationmatrix, bonetransform);
}

void CopyGameFunctions(DLL_FUNCTIONS *pFunctionTable) {
  std::memcpy(pFunctionTable, &g_GameFunctions, sizeof(DLL_FUNCTIONS));
}

void ShowStandaloneNotice() {
  const char *notice =
      "You're launched standalone version of test. Metamod is not installed or not enabled!";
  PrefixedConsolePrint("[QRV]%s", notice);
  WriteLog(true, LOG_LEVEL_ERROR, "%s", notice);
}

void ReleaseGameLibrary() {
  if (g_hGameLibrary == nullptr) return;
  platform::CloseLibrary(g_hGameLibrary);
  g_hGameLibrary = nullptr;
  g_pfnGameGetNewDLLFunctions = nullptr;
  g_pfnGameBlendingInterface = nullptr;
  std::memset(&g_GameFunctions, 0, sizeof(g_GameFunctions));
}
