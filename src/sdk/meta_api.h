// Metamod plug-in interface "5:13", declared from the published layout.
#pragma once

#include <cstdarg>

#include "sdk/eiface.h"

#define META_INTERFACE_VERSION "5:13"

typedef enum : int {
  PT_NEVER = 0,
  PT_STARTUP,
  PT_CHANGELEVEL,
  PT_ANYTIME,
  PT_ANYPAUSE,
} PLUG_LOADTIME;

typedef enum : int {
  PNL_NULL = 0,
  PNL_INI_DELETED,
  PNL_FILE_NEWER,
  PNL_COMMAND,
  PNL_CMD_FORCED,
  PNL_DELAYED,
  PNL_PLUGIN,
  PNL_PLG_FORCED,
  PNL_RELOAD,
} PL_UNLOAD_REASON;

typedef enum : int {
  MRES_UNSET = 0,
  MRES_IGNORED,
  MRES_HANDLED,
  MRES_OVERRIDE,
  MRES_SUPERCEDE,
} META_RES;

typedef enum : int {
  GINFO_NAME = 0,
  GINFO_DESC,
  GINFO_GAMEDIR,
  GINFO_DLL_FULLPATH,
  GINFO_DLL_FILENAME,
  GINFO_REALDLL_FULLPATH,
} ginfo_t;

typedef struct {
  const char *ifvers;
  const char *name;
  const char *version;
  const char *date;
  const char *author;
  const char *url;
  const char *logtag;
  PLUG_LOADTIME loadable;
  PLUG_LOADTIME unloadable;
} plugin_info_t;
typedef plugin_info_t *plid_t;

typedef struct {
  META_RES mres;
  META_RES prev_mres;
  META_RES status;
  void *orig_ret;
  void *override_ret;
} meta_globals_t;

typedef int (*GET_ENGINE_FUNCTIONS_FN)(enginefuncs_t *pengfuncsFromEngine, int *interfaceVersion);

typedef struct {
  GETENTITYAPI_FN pfnGetEntityAPI;
  GETENTITYAPI_FN pfnGetEntityAPI_Post;
  GETENTITYAPI2_FN pfnGetEntityAPI2;
  GETENTITYAPI2_FN pfnGetEntityAPI2_Post;
  GETNEWDLLFUNCTIONS_FN pfnGetNewDLLFunctions;
  GETNEWDLLFUNCTIONS_FN pfnGetNewDLLFunctions_Post;
  GET_ENGINE_FUNCTIONS_FN pfnGetEngineFunctions;
  GET_ENGINE_FUNCTIONS_FN pfnGetEngineFunctions_Post;
} META_FUNCTIONS;

typedef struct {
  DLL_FUNCTIONS *dllapi_table;
  NEW_DLL_FUNCTIONS *newapi_table;
} gamedll_funcs_t;

typedef struct hudtextparms_s {
  float x;
  float y;
  int effect;
  byte r1, g1, b1, a1;
  byte r2, g2, b2, a2;
  float fadeinTime;
  float fadeoutTime;
  float holdTime;
  float fxTime;
  int channel;
} hudtextparms_t;

typedef struct meta_util_funcs_s {
  void (*pfnLogConsole)(plid_t plid, const char *fmt, ...);
  void (*pfnLogMessage)(plid_t plid, const char *fmt, ...);
  void (*pfnLogError)(plid_t plid, const char *fmt, ...);
  void (*pfnLogDeveloper)(plid_t plid, const char *fmt, ...);
  void (*pfnCenterSay)(plid_t plid, const char *fmt, ...);
  void (*pfnCenterSayParms)(plid_t plid, hudtextparms_t tparms, const char *fmt, ...);
  void (*pfnCenterSayVarargs)(plid_t plid, hudtextparms_t tparms, const char *fmt, va_list ap);
  qboolean (*pfnCallGameEntity)(plid_t plid, const char *entStr, entvars_t *pev);
  int (*pfnGetUserMsgID)(plid_t plid, const char *msgname, int *size);
  const char *(*pfnGetUserMsgName)(plid_t plid, int msgid, int *size);
  const char *(*pfnGetPluginPath)(plid_t plid);
  const char *(*pfnGetGameInfo)(plid_t plid, ginfo_t tag);
  int (*pfnLoadPlugin)(plid_t plid, const char *cmdline, PLUG_LOADTIME now, void **plugin_handle);
  int (*pfnUnloadPlugin)(plid_t plid, const char *cmdline, PLUG_LOADTIME now,
                         PL_UNLOAD_REASON reason);
  int (*pfnUnloadPluginByHandle)(plid_t plid, void *plugin_handle, PLUG_LOADTIME now,
                                 PL_UNLOAD_REASON reason);
  const char *(*pfnIsQueryingClientCvar)(plid_t plid, const edict_t *player);
  int (*pfnMakeRequestID)(plid_t plid);
  void (*pfnGetHookTables)(plid_t plid, enginefuncs_t **peng, DLL_FUNCTIONS **pdll,
                           NEW_DLL_FUNCTIONS **pnewdll);
} mutil_funcs_t;

QRV_CHECK_OFFSET(plugin_info_t, ifvers, 0, 0);
QRV_CHECK_OFFSET(plugin_info_t, name, 4, 8);
QRV_CHECK_OFFSET(plugin_info_t, version, 8, 16);
QRV_CHECK_OFFSET(plugin_info_t, date, 12, 24);
QRV_CHECK_OFFSET(plugin_info_t, author, 16, 32);
QRV_CHECK_OFFSET(plugin_info_t, url, 20, 40);
QRV_CHECK_OFFSET(plugin_info_t, logtag, 24, 48);
QRV_CHECK_OFFSET(plugin_info_t, loadable, 28, 56);
QRV_CHECK_OFFSET(plugin_info_t, unloadable, 32, 60);
QRV_CHECK_SIZE(plugin_info_t, 36, 64);

QRV_CHECK_OFFSET(meta_globals_t, mres, 0, 0);
QRV_CHECK_OFFSET(meta_globals_t, prev_mres, 4, 4);
QRV_CHECK_OFFSET(meta_globals_t, status, 8, 8);
QRV_CHECK_OFFSET(meta_globals_t, orig_ret, 12, 16);
QRV_CHECK_OFFSET(meta_globals_t, override_ret, 16, 24);
QRV_CHECK_SIZE(meta_globals_t, 20, 32);

QRV_CHECK_OFFSET(META_FUNCTIONS, pfnGetEntityAPI, 0, 0);
QRV_CHECK_OFFSET(META_FUNCTIONS, pfnGetEntityAPI_Post, 4, 8);
QRV_CHECK_OFFSET(META_FUNCTIONS, pfnGetEntityAPI2, 8, 16);
QRV_CHECK_OFFSET(META_FUNCTIONS, pfnGetEntityAPI2_Post, 12, 24);
QRV_CHECK_OFFSET(META_FUNCTIONS, pfnGetNewDLLFunctions, 16, 32);
QRV_CHECK_OFFSET(META_FUNCTIONS, pfnGetNewDLLFunctions_Post, 20, 40);
QRV_CHECK_OFFSET(META_FUNCTIONS, pfnGetEngineFunctions, 24, 48);
QRV_CHECK_OFFSET(META_FUNCTIONS, pfnGetEngineFunctions_Post, 28, 56);
QRV_CHECK_SIZE(META_FUNCTIONS, 32, 64);

QRV_CHECK_OFFSET(gamedll_funcs_t, dllapi_table, 0, 0);
QRV_CHECK_OFFSET(gamedll_funcs_t, newapi_table, 4, 8);
QRV_CHECK_SIZE(gamedll_funcs_t, 8, 16);

QRV_CHECK_SIZE(hudtextparms_t, 40, 40);
QRV_CHECK_OFFSET(mutil_funcs_t, pfnLogConsole, 0, 0);
QRV_CHECK_OFFSET(mutil_funcs_t, pfnLogMessage, 4, 8);
QRV_CHECK_OFFSET(mutil_funcs_t, pfnLogError, 8, 16);
QRV_CHECK_OFFSET(mutil_funcs_t, pfnGetHookTables, 68, 136);
QRV_CHECK_SIZE(mutil_funcs_t, 72, 144);
