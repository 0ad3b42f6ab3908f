// The game-library callbacks through which the engine drives the plug-in.
#pragma once

#include "sdk/eiface.h"

struct ConsoleCommand {
  const char *name;  // standalone the engine keeps the pointer: static text only
  void (*handler)();
};

// The console commands GameInit registers, in that order (standalone adds `meta`).
extern const ConsoleCommand kConsoleCommands[];
extern const int kConsoleCommandCount;

// Fills the pre-hook entries over a zeroed table (or, standalone, over the game's own table).
void InstallPreHooks(DLL_FUNCTIONS *pFunctionTable);

// Fills the post-hook entries of a zeroed table; Metamod calls them after the game.
void InstallPostHooks(DLL_FUNCTIONS *pFunctionTable);
