#include "base/globals.h"

#include <cstring>

enginefuncs_t g_engfuncs;
globalvars_t *gpGlobals = nullptr;
mutil_funcs_t *gpMetaUtilFuncs = nullptr;
meta_globals_t *gpMetaGlobals = nullptr;
bool g_bMetamodPresent = false;

int32_t g_PlayerPresence[kPresenceSlots];

const char kPluginName[] = "QRV Vem-Tark";
const char kPluginVersion[] = "1.60.05A";
const char kBuildDate[] = "Oct 22 2008";
const char kBuildTime[] = "13:39:09";
const char kPluginAuthor[] = "QRV Dev Team";
const char kPluginUrl[] = "http://qrv-devteam.example.org";

plugin_info_t Plugin_info = {
    META_INTERFACE_VERSION,  // ifvers
    kPluginName,             // name
    kPluginVersion,          // version
    kBuildDate,              // date
    kPluginAuthor,           // author
    kPluginUrl,              // url
    kPluginName,             // logtag
    PT_STARTUP,              // loadable: only while the server starts
    PT_NEVER,                // unloadable: only a forced unload
};

void ClearPlayerPresence() { std::memset(g_PlayerPresence, 0, sizeof(g_PlayerPresence)); }

void SetPlayerPresence(const edict_t *client, int32_t present) {
  if (client == nullptr || g_engfuncs.pfnIndexOfEdict == nullptr) return;
  int index = g_engfuncs.pfnIndexOfEdict(client);
  if (index < 1 || index >= kPresenceSlots) return;
  g_PlayerPresence[index] = present;
}

int32_t CountPlayersPresent() {
  int32_t count = 0;
  for (int index = 1; index < kPresenceSlots; ++index) count += g_PlayerPresence[index];
  return count;
}

const char *EngineString(string_t offset) {
  if (gpGlobals == nullptr || gpGlobals->pStringBase == nullptr) return "";
  // Unsigned arithmetic wraps on 32-bit hosts exactly as the engine's own offsets do.
  uintptr_t base = reinterpret_cast<uintptr_t>(gpGlobals->pStringBase);
  uintptr_t delta = static_cast<uintptr_t>(static_cast<intptr_t>(static_cast<int32_t>(offset)));
  return reinterpret_cast<const char *>(base + delta);
}

bool EngineStringEquals(string_t offset, const char *text) {
  return std::strcmp(EngineString(offset), text) == 0;
}
