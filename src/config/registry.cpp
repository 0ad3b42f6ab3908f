#include "config/registry.h"

#include "base/globals.h"
#include "base/plugin_log.h"

const char *const rgcszCVar[kRegistrySlots] = {
    "qrv_vemtark_hpk_mping",
    "qrv_vemtark_hpk_tests",
    "qrv_vemtark_hpk_checks",
    "qrv_vemtark_hpk_delay",
    "qrv_vemtark_hostname",
    "qrv_vemtark_website",
    "CMD_FULL",
    "CMD_CVARS",
    "DLL_CVARS",
    "DLL_CMD",
    "DLL_PERMISSION",
    "DLL_ACCES",
    "DLL_TESTING",
    "CHECK",
    "TEST",
    "START",
    "CLOSE",
    "META_X",
    "_DEBUG",
    "_DEBUG_WNC",
    "_DEBUG_DLL",
    "UNLOAD",
    "RELOAD",
    "ADDWEAPON_A",
    "ADDWEAPON_B",
    "ADDWEAPON_C",
    "ADDWEAPON_D",
    "ADDWEAPON_E",
    "ADDWEAPON_F",
    "ADDWEAPON_G",
    "ADDWEAPON_H",
    "ADDWEAPON_I",
    "ADDWEAPON_J",
    "ADDWEAPON_K",
};

const char *const rgcszCVarDefaults[kRegistrySlots] = {
    "30",               // qrv_vemtark_hpk_mping
    "2",                // qrv_vemtark_hpk_tests
    "3",                // qrv_vemtark_hpk_checks
    "15",               // qrv_vemtark_hpk_delay
    "Hostname",         // qrv_vemtark_hostname
    "www.example.com",  // qrv_vemtark_website: the owner's site, without scheme
    "2",                // CMD_FULL
    "2",                // CMD_CVARS
    "1",                // DLL_CVARS
    "1",                // DLL_CMD
    "1",                // DLL_PERMISSION
    "none",             // DLL_ACCES
    "1",                // DLL_TESTING
    "null",             // CHECK
    "null",             // TEST
    "null",             // START
    "null",             // CLOSE
    "null",             // META_X
    "null",             // _DEBUG
    "null",             // _DEBUG_WNC
    "null",             // _DEBUG_DLL
    "null",             // UNLOAD
    "null",             // RELOAD
    "{null}",           // ADDWEAPON_A
    "{null}",           // ADDWEAPON_B
    "{null}",           // ADDWEAPON_C
    "{null}",           // ADDWEAPON_D
    "{null}",           // ADDWEAPON_E
    "{null}",           // ADDWEAPON_F
    "{null}",           // ADDWEAPON_G
    "{null}",           // ADDWEAPON_H
    "{null}",           // ADDWEAPON_I
    "{null}",           // ADDWEAPON_J
    "{null}",           // ADDWEAPON_K
};

cvar_t *g_pRegistryVariables[kRegistrySlots];

namespace {
// Standalone the engine links every record into its own list and keeps using it (under Metamod it
// gets Metamod's copy instead): records are taken in registration order and never moved or
// reused.
cvar_t g_RegistryRecords[kRegistryRecords];
int32_t g_iRegistryCount = 0;
}  // namespace

cvar_t *RegisterVariable(int slot, const char *defaultValue, int flags) {
  if (slot < 0 || slot >= kRegistrySlots) return nullptr;
  if (g_iRegistryCount == kRegistryRecords) {
    CriticalError("Can't register variable, number of variables exceed 60.");
  }
  cvar_t *record = &g_RegistryRecords[g_iRegistryCount];
  record->name = rgcszCVar[slot];
  record->string = defaultValue;
  record->flags = flags;
  if (g_engfuncs.pfnCVarRegister != nullptr) g_engfuncs.pfnCVarRegister(record);
  ++g_iRegistryCount;
  g_pRegistryVariables[slot] = g_engfuncs.pfnCVarGetPointer != nullptr
                                   ? g_engfuncs.pfnCVarGetPointer(rgcszCVar[slot])
                                   : nullptr;
  return g_pRegistryVariables[slot];
}

void RegisterAllRegistryVariables() {
  for (int slot = 0; slot < kRegistrySlots; ++slot) {
    RegisterVariable(slot, rgcszCVarDefaults[slot], kRegistryFlags);
  }
}

int RegistryRecordsUsed() { return g_iRegistryCount; }

const char *RegistryString(int slot) {
  if (slot < 0 || slot >= kRegistrySlots) return "";
  const cvar_t *variable = g_pRegistryVariables[slot];
  if (variable == nullptr || variable->string == nullptr) return "";
  return variable->string;
}
