// What more than one unit of emu::Engine needs and nothing outside the engine should see.
#pragma once

#include "engine.h"

namespace emu {

// A slot's variables start zeroed but for the back pointer, which game code follows from the
// variables to their edict.
inline void ClearEntityVars(edict_t *edict) {
  edict->v = entvars_t{};
  edict->v.pContainingEntity = edict;
}

}  // namespace emu
