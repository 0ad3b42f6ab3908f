#include "perf/join_messages.h"

#include <cstdio>

#include "base/globals.h"
#include "base/plugin_log.h"
#include "config/registry.h"
#include "perf/fps_monitor.h"
#include "perf/startup.h"

namespace {

constexpr size_t kMessageSize = 512;  // longer messages are cut to 511 characters

const char kLongFpsMessage[] =
    "------------------------------------------------------------------\n"
    "#  Welcome! BceM IIPuBET!\n"
    "#  Server is currently running at %lu FPS with %li clients present.\n"
    "#  Current map: %s \n"
    "#  Server is running with QRV Vem-Tark v1.60.05a.\n"
    "------------------------------------------------------------------\n";
const char kShortFpsMessage[] =
    "### Server is running at %lu FPS with QRV Vem-Tark v1.60.05A ###\n";
const char kLongInfoMessage[] =
    "###########################################\n"
    "# Welcome to %s! BceM IIPuBET!\n"
    "# Server WeB Site: http://%s. IIoCETuTe CauT CePBePa!\n"
    "###########################################\n";
const char kShortInfoMessage[] = "### Welcome to %s ! Server WeB Site: http://%s . ###\n";

// Each message has a buffer of its own.
char g_szFpsMessage[kMessageSize];
char g_szInfoMessage[kMessageSize];

void SendToClient(edict_t *client, const char *text) {
  if (client == nullptr || g_engfuncs.pfnClientPrintf == nullptr) return;
  g_engfuncs.pfnClientPrintf(client, print_console, text);
}

const char *CurrentMapName() {
  return gpGlobals != nullptr ? EngineString(gpGlobals->mapname) : "";
}

}  // namespace

bool SendJoinMessages(edict_t *client) {
  if (gpGlobals == nullptr || gpGlobals->deathmatch == 0.0f) return false;
  if (g_Bindings.joinMsg == nullptr) return false;
  int32_t fpsMode = VariableToInt32(g_Bindings.joinMsg);
  if (fpsMode <= 0) return false;

  unsigned long fps = g_uMeasuredFps;
  if (fpsMode >= 2) {
    std::snprintf(g_szFpsMessage, sizeof(g_szFpsMessage), kLongFpsMessage, fps,
                  static_cast<long>(CountPlayersPresent()), CurrentMapName());
  } else {
    std::snprintf(g_szFpsMessage, sizeof(g_szFpsMessage), kShortFpsMessage, fps);
  }
  SendToClient(client, g_szFpsMessage);

  const char *hostname = RegistryString(REGISTRY_HOSTNAME);
  const char *website = RegistryString(REGISTRY_WEBSITE);
  if (g_Bindings.info != nullptr) {
    int32_t infoMode = VariableToInt32(g_Bindings.info);
    if (infoMode >= 2) {
      std::snprintf(g_szInfoMessage, sizeof(g_szInfoMessage), kLongInfoMessage, hostname, website);
      SendToClient(client, g_szInfoMessage);
    } else if (infoMode == 1) {
      std::snprintf(g_szInfoMessage, sizeof(g_szInfoMessage), kShortInfoMessage, hostname, website);
      SendToClient(client, g_szInfoMessage);
    } else {
      WriteLog(true, LOG_LEVEL_LOG, "Info Disabled");
    }
  }
  return true;
}
