// The nine functions the engine and Metamod look up by name (QRV_EXPORT in sdk/exports.h).
#pragma once

#include "sdk/exports.h"

QRV_EXPORT void WINAPI GiveFnptrsToDll(enginefuncs_t *pengfuncsFromEngine, globalvars_t *pGlobals);
QRV_EXPORT int GetEntityAPI2(DLL_FUNCTIONS *pFunctionTable, int *interfaceVersion);
QRV_EXPORT int GetEntityAPI2_Post(DLL_FUNCTIONS *pFunctionTable, int *interfaceVersion);
QRV_EXPORT int GetNewDLLFunctions(NEW_DLL_FUNCTIONS *pFunctionTable, int *interfaceVersion);
QRV_EXPORT int Server_GetBlendingInterface(int version,
                                           struct sv_blending_interface_s **ppinterface,
                                           struct engine_studio_api_s *pstudio,
                                           float (*rotationmatrix)[3][4],
                                           float (*bonetransform)[MAXSTUDIOBONES][3][4]);
QRV_EXPORT void Meta_Init(void);
QRV_EXPORT int Meta_Query(char *interfaceVersion, plugin_info_t **plinfo,
                          mutil_funcs_t *pMetaUtilFuncs);
QRV_EXPORT int Meta_Attach(PLUG_LOADTIME now, META_FUNCTIONS *pFunctionTable,
                           meta_globals_t *pMGlobals, gamedll_funcs_t *pGamedllFuncs);
QRV_EXPORT int Meta_Detach(PLUG_LOADTIME now, PL_UNLOAD_REASON reason);
