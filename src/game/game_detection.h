// Which game the server runs: looked up by the game directory's name at load, and reported to
// the operator once the game has initialised.
#pragma once

#include <cstdint>

enum GameKind : int32_t {
  GAME_KIND_STEAM_CS16 = 1,   // Counter-Strike 1.6 on Steam
  GAME_KIND_STEAM_CZERO = 2,  // Condition Zero on Steam
  GAME_KIND_WON_CS = 3,       // a WON-era Counter-Strike (1.5, 1.3)
};

struct SupportedGame {
  char szGameDir[32];
  char szLinuxLibrary[32];
  char szWindowsLibrary[32];
  int32_t iKind;
};

// The row whose game directory equals the name byte for byte, or null.
const SupportedGame *LookupGame(const char *gameDir);

// Run by GiveFnptrsToDll in both modes. An unsupported game directory is a fatal error: the
// server stops, unless the plugin log cannot be written, and then nothing is detected.
void DetectGame();

// The row found at load (its library file names drive the standalone pass-through), or null.
const SupportedGame *DetectedGame();

// "Game Registered: CS <label> (0x1024)" on the console, once per server start. A Steam 1.6
// server without events/galil.sc is taken for a WON-era one from then on.
void ReportGameRegistration();
