// Without Metamod the engine loads the plug-in in place of the game library; the plug-in then
// loads the real game library itself, stands between the engine and it, and forwards to it.
#pragma once

#include "game/game_detection.h"
#include "sdk/exports.h"

// The game library's own callbacks. Hooks call the game through it when no Metamod is present;
// entries stay null while no game library has handed over its table, and every caller checks.
extern DLL_FUNCTIONS g_GameFunctions;

// Standalone part of GiveFnptrsToDll: loads the detected game's library from "<gamedir>/dlls/"
// (through the engine's file loader out of the Steam cache when it is not on disk), resolves its
// four entry points and hands it the engine table and globals the plug-in received. A null game
// (unsupported) loads nothing.
void LoadGameLibrary(const SupportedGame *game, enginefuncs_t *pengfuncsFromEngine,
                     globalvars_t *pGlobals);

// Standalone part of GetEntityAPI2: the game's table (interface 140) copied into the engine's.
// False, after a FATAL ERROR line, when the game library has no table or refuses the version.
bool FillFromGameFunctions(DLL_FUNCTIONS *pFunctionTable);

// Forward to the game library's exports of the same names; 0 when it has none. A game library
// that refuses its new-functions table is a FATAL ERROR.
int ForwardGetNewDLLFunctions(NEW_DLL_FUNCTIONS *pFunctionTable, int *interfaceVersion);
int ForwardBlendingInterface(int version, struct sv_blending_interface_s **ppinterface,
                             struct engine_studio_api_s *pstudio, float (*rotationmatrix)[3][4],
                             float (*bonetransform)[MAXSTUDIOBONES][3][4]);

// The console command `meta` when no Metamod is present: tells the operator so.
void ShowStandaloneNotice();
