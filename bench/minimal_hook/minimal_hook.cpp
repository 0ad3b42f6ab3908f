// The least any hook does: report MRES_IGNORED to Metamod. The benchmark's baseline, built as a
// library of its own so that it is called exactly the way the plug-in's hooks are.
#include "sdk/meta_api.h"

namespace {
meta_globals_t *gpMetaGlobals = nullptr;

void StartFrame() { gpMetaGlobals->mres = MRES_IGNORED; }
}  // namespace

extern "C" __attribute__((visibility("default"))) void SetMetaGlobals(meta_globals_t *globals) {
  gpMetaGlobals = globals;
}

extern "C" __attribute__((visibility("default"))) int GetEntityAPI2(DLL_FUNCTIONS *table, int *) {
  table->pfnStartFrame = StartFrame;
  return 1;
}
