#include "game/game_detection.h"

#include <cstring>

#include "base/console.h"
#include "base/game_dir.h"
#include "base/globals.h"
#include "base/plugin_log.h"

namespace {

// Ended by a row of zero bytes.
const SupportedGame kSupportedGames[] = {
    {"cstrike", "cs_i386.so", "mp.dll", GAME_KIND_STEAM_CS16},
    {"czero", "cs_i386.so", "mp.dll", GAME_KIND_STEAM_CZERO},
    {"csv15", "cs_i386.so", "mp.dll", GAME_KIND_WON_CS},
    {"cs13", "cs_i386.so", "mp.dll", GAME_KIND_WON_CS},
    {},
};

// A file only the Steam releases of Counter-Strike 1.6 ship.
char g_szSteamTestFile[] = "events/galil.sc";
// The registration line prints this number behind "0x" in decimal, as operators know it.
constexpr int kRegistrationNumber = 1024;

int32_t g_iCurrentGameKind = GAME_KIND_STEAM_CS16;
const SupportedGame *g_pDetectedGame = nullptr;

}  // namespace

const SupportedGame *LookupGame(const char *gameDir) {
  if (gameDir == nullptr) return nullptr;
  for (const SupportedGame *row = kSupportedGames; row->szGameDir[0] != '\0'; ++row) {
    if (std::strcmp(row->szGameDir, gameDir) == 0) return row;
  }
  return nullptr;
}

void DetectGame() {
  const char *gameDir = GameDirectoryName();
  g_pDetectedGame = LookupGame(gameDir);
  if (g_pDetectedGame != nullptr) {
    g_iCurrentGameKind = g_pDetectedGame->iKind;
    return;
  }
  WriteLog(true, LOG_LEVEL_FATAL,
           "Mod that you has started, not supported by this QRV vemtark (gamedir: %s)", gameDir);
}

const SupportedGame *DetectedGame() { return g_pDetectedGame; }

void ReportGameRegistration() {
  const char *label = nullptr;
  byte *testFile = nullptr;
  switch (g_iCurrentGameKind) {
    case GAME_KIND_STEAM_CS16:
      if (g_engfuncs.pfnLoadFileForMe != nullptr) {
        testFile = g_engfuncs.pfnLoadFileForMe(g_szSteamTestFile, nullptr);
      }
      if (testFile != nullptr) {
        label = "1.6 (Steam)";
      } else {
        label = "1.5 (WON)";
        g_iCurrentGameKind = GAME_KIND_WON_CS;
      }
      break;
    case GAME_KIND_STEAM_CZERO:
      label = "CZ (Steam)";
      break;
    case GAME_KIND_WON_CS:
      label = "1.x (WON)";
      break;
    default:
      return;
  }
  PrefixedConsolePrint("Game Registered: CS %s (0x%d)", label, kRegistrationNumber);
  if (testFile != nullptr && g_engfuncs.pfnFreeFile != nullptr) g_engfuncs.pfnFreeFile(testFile);
}
