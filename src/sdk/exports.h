// Signatures of the functions a game library or Metamod plug-in exports by name. The engine and
// Metamod find them with dlsym/GetProcAddress, so the names must stay undecorated.
#pragma once

#include "sdk/meta_api.h"

// GiveFnptrsToDll is the one export that is __stdcall on 32-bit Windows (the callee pops its
// 8 bytes of arguments); everything else is cdecl.
#if defined(_WIN32) && !defined(_WIN64)
#define WINAPI __stdcall
#else
#ifndef WINAPI
#define WINAPI
#endif
#endif

// Marks the functions the engine and Metamod look up by name, with C linkage. On Windows the
// module definition file names them (undecorated); elsewhere they are the only symbols made
// visible (the version script keeps only them).
#if defined(_WIN32)
#define QRV_EXPORT extern "C"
#else
#define QRV_EXPORT extern "C" __attribute__((visibility("default")))
#endif

#define SV_BLENDING_INTERFACE_VERSION 1
#define MAXSTUDIOBONES 128

struct model_s;
struct sv_blending_interface_s;
struct engine_studio_api_s;

typedef void(WINAPI *GIVEFNPTRSTODLL_FN)(enginefuncs_t *pengfuncsFromEngine,
                                         globalvars_t *pGlobals);
typedef int (*GETBLENDAPI_FN)(int version, struct sv_blending_interface_s **ppinterface,
                              struct engine_studio_api_s *pstudio, float (*rotationmatrix)[3][4],
                              float (*bonetransform)[MAXSTUDIOBONES][3][4]);
typedef void (*META_INIT_FN)(void);
typedef int (*META_QUERY_FN)(char *interfaceVersion, plugin_info_t **plinfo,
                             mutil_funcs_t *pMetaUtilFuncs);
typedef int (*META_ATTACH_FN)(PLUG_LOADTIME now, META_FUNCTIONS *pFunctionTable,
                              meta_globals_t *pMGlobals, gamedll_funcs_t *pGamedllFuncs);
typedef int (*META_DETACH_FN)(PLUG_LOADTIME now, PL_UNLOAD_REASON reason);
