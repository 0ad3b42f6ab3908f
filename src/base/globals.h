// Module-level state shared by every subsystem: the engine and Metamod access points and the
// player presence table.
#pragma once

#include <cstdint>

#include "sdk/meta_api.h"

extern enginefuncs_t g_engfuncs;  // private by-value copy, taken in GiveFnptrsToDll
extern globalvars_t *gpGlobals;
extern mutil_funcs_t *gpMetaUtilFuncs;
extern meta_globals_t *gpMetaGlobals;
extern bool g_bMetamodPresent;  // set by Meta_Init; false means standalone operation

extern plugin_info_t Plugin_info;
#define PLID (&Plugin_info)

// 1 while the client in that entity slot is in the game. Index 0 is the world.
constexpr int kPresenceSlots = 33;
extern int32_t g_PlayerPresence[kPresenceSlots];
void ClearPlayerPresence();
void SetPlayerPresence(const edict_t *client, int32_t present);
int32_t CountPlayersPresent();

// Fixed identity texts.
extern const char kPluginName[];     // "QRV Vem-Tark"
extern const char kPluginVersion[];  // "1.60.05A"
extern const char kBuildDate[];      // "Oct 22 2008"
extern const char kBuildTime[];
extern const char kPluginAuthor[];
extern const char kPluginUrl[];

// STRING() over the engine's string base; offsets are signed 32-bit. A string handed to the
// engine comes from pfnAllocString: an offset to a text of the plug-in's would outlive it.
const char *EngineString(string_t offset);
bool EngineStringEquals(string_t offset, const char *text);

inline void SetMetaResult(META_RES result) {
  if (gpMetaGlobals != nullptr) gpMetaGlobals->mres = result;
}
