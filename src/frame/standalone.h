// Without Metamod the engine loads the plug-in in place of the game library; the plug-in then
// stands between the engine and the real game library and forwards to it.
#pragma once

#include "sdk/exports.h"

// The game library's own callbacks. Hooks call the game through it when no Metamod is present;
// entries stay null while no game library is loaded, and every caller checks them.
extern DLL_FUNCTIONS g_GameFunctions;

// Forwards to the game library's exports of the same names; 0 when it has none.
int ForwardGetNewDLLFunctions(NEW_DLL_FUNCTIONS *pFunctionTable, int *interfaceVersion);
int ForwardBlendingInterface(int version, struct sv_blending_interface_s **ppinterface,
                             struct engine_studio_api_s *pstudio, float (*rotationmatrix)[3][4],
                             float (*bonetransform)[MAXSTUDIOBONES][3][4]);

// Copies the game forwarding table into an engine table (standalone GetEntityAPI2).
void CopyGameFunctions(DLL_FUNCTIONS *pFunctionTable);

// The console command `meta` when no Metamod is present: tells the operator so.
void ShowStandaloneNotice();

// Releases a game library loaded in standalone mode.
void ReleaseGameLibrary();
