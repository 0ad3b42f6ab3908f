// A second, table-driven set of server variables: 34 numbered slots with fixed names,
// registered at game initialisation and read back by slot number without a name lookup.
#pragma once

#include "sdk/edict.h"

constexpr int kRegistrySlots = 34;
constexpr int kRegistryRecords = 60;
constexpr int kRegistryFlags = FCVAR_SERVER | FCVAR_EXTDLL;

enum RegistrySlot {
  REGISTRY_HPK_MPING = 0,
  REGISTRY_HPK_TESTS = 1,
  REGISTRY_HPK_CHECKS = 2,
  REGISTRY_HPK_DELAY = 3,
  REGISTRY_HOSTNAME = 4,
  REGISTRY_WEBSITE = 5,
};

extern const char *const rgcszCVar[kRegistrySlots];
extern const char *const rgcszCVarDefaults[kRegistrySlots];

// What the engine answers for each slot's name once registered (under Metamod, Metamod's copy of
// the record); null before.
extern cvar_t *g_pRegistryVariables[kRegistrySlots];

// Registers the slot's variable with the given default (kept by reference) and flags, and
// returns the record the engine answers for its name. A 61st record stops the server; a slot
// outside 0..33 registers nothing and answers null.
cvar_t *RegisterVariable(int slot, const char *defaultValue, int flags);

// All 34 slots in ascending order with their defaults, as game initialisation does it.
void RegisterAllRegistryVariables();

// Records taken so far (the limit is 60).
int RegistryRecordsUsed();

// The text of a slot's variable, "" while it is not registered.
const char *RegistryString(int slot);
