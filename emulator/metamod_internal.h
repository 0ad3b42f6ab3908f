// What more than one unit of emu::MetamodHost needs and nothing outside the host should see.
#pragma once

#include "metamod_host.h"

namespace emu {

// The host alive now, or null: a command a plug-in registered stays in the engine after its
// host is gone (metamod_host.cpp).
MetamodHost *LiveMetamodHost();

// Fills every entry of Metamod's utility table (metamod_utility.cpp).
void FillUtilityFunctions(mutil_funcs_t *table);

// Points the cvar and command registration entries of a plug-in's engine table at the host
// (metamod_registration.cpp).
void RouteRegistrationThroughHost(enginefuncs_t *table);

}  // namespace emu
