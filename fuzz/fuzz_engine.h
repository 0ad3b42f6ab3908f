// The few engine entries the fuzzed units call, answering quietly, so a target can link the
// plug-in's logic alone.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "base/globals.h"

namespace fuzz {

inline void IgnoreText(const char *text) {
  volatile size_t length = std::strlen(text);  // read every byte the plug-in hands over
  (void)length;
}
inline void ServerCommand(char *text) { IgnoreText(text); }
inline void ClientPrintf(edict_t *, PRINT_TYPE, const char *text) { IgnoreText(text); }
inline void GetGameDir(char *out) { std::strcpy(out, "cstrike"); }
inline int EntOffsetOfPEntity(const edict_t *edict) { return edict != nullptr ? 804 : 0; }

inline void InstallEngine() {
  g_engfuncs.pfnServerPrint = IgnoreText;
  g_engfuncs.pfnServerCommand = ServerCommand;
  g_engfuncs.pfnClientPrintf = ClientPrintf;
  g_engfuncs.pfnGetGameDir = GetGameDir;
  g_engfuncs.pfnEntOffsetOfPEntity = EntOffsetOfPEntity;
}

// A private game root with empty configs and dlls folders, made the working directory once per
// process.
inline void EnterGameRoot() {
  static bool entered = false;
  if (entered) return;
  char pattern[] = "/tmp/qrv_fuzz_XXXXXX";
  const char *root = mkdtemp(pattern);
  if (root == nullptr || chdir(root) != 0) std::abort();
  if (std::system("mkdir -p cstrike/addons/qrv_vemtark/configs cstrike/addons/qrv_vemtark/dlls") !=
      0) {
    std::abort();
  }
  entered = true;
}

}  // namespace fuzz
