// What happens at every map start and map end.
#pragma once

#include <cstdint>

#include "sdk/edict.h"

void ActivateMap();
void DeactivateMap();
// The plug-in is unloaded (a forced detach, or the process lets go of the library) while a map
// may run: the waiting hitch line and the map's summary, marked so, written once.
void EndMapAtUnload();

// Whole seconds the map has run: game time, which starts again with every map. Beyond ten years
// it stays there, so that the whole number is defined whatever the engine's clock holds.
uint64_t MapRunningSeconds(const globalvars_t &globals);
