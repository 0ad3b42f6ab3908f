// The Metamod handshake: query, attach and detach.
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/globals.h"
#include "base/timer_period.h"
#include "entry/attach.h"
#include "entry/engine_frame_hook.h"
#include "entry/export_api.h"
#include "perf/frame_pacer.h"
#include "perf/map_cycle.h"
#include "platform/platform.h"

namespace {

META_FUNCTIONS g_MetaFunctionTable = {
    nullptr,             // pfnGetEntityAPI
    nullptr,             // pfnGetEntityAPI_Post
    GetEntityAPI2,       // pfnGetEntityAPI2
    GetEntityAPI2_Post,  // pfnGetEntityAPI2_Post
    nullptr,             // pfnGetNewDLLFunctions
    nullptr,             // pfnGetNewDLLFunctions_Post
    nullptr,             // pfnGetEngineFunctions
    nullptr,             // pfnGetEngineFunctions_Post
};

// Metamod's version text when it differs from ours; lives as long as the library.
char *g_pszMetaVersionCopy = nullptr;

// Metamod let the plug-in go: what the engine and Metamod hold of ours may be gone by the time the
// library itself is let go (a library kept mapped until the process ends, after an unload from
// inside one of its hooks), so nothing of theirs is touched again.
bool g_bDetached = false;

bool SameText(const char *a, const char *b) {
  if (a == nullptr || b == nullptr || a[0] == '\0' || b[0] == '\0') return false;
  return std::strcmp(a, b) == 0;
}

// Reads "major:minor" the way "%d:%d" does; an unreadable part stays 0 and large numbers clamp.
int ReadNumber(const char *&cursor) {
  char *end = nullptr;
  long number = std::strtol(cursor, &end, 10);
  if (end == cursor) return 0;
  cursor = end;
  if (number > INT_MAX) return INT_MAX;
  if (number < INT_MIN) return INT_MIN;
  return static_cast<int>(number);
}

void ParseInterfaceVersion(const char *text, int *major, int *minor) {
  *major = 0;
  *minor = 0;
  const char *cursor = text;
  const char *start = cursor;
  *major = ReadNumber(cursor);
  if (cursor == start || *cursor != ':') return;
  ++cursor;
  *minor = ReadNumber(cursor);
}

// A refusal goes to Metamod's console and to its error log; nothing without a utility table.
__attribute__((format(printf, 2, 3))) void ReportRefusal(mutil_funcs_t *util, const char *format,
                                                         ...) {
  if (util == nullptr) return;
  char text[1024];
  va_list args;
  va_start(args, format);
  if (std::vsnprintf(text, sizeof(text), format, args) < 0) text[0] = '\0';
  va_end(args);
  util->pfnLogConsole(PLID, "%s", text);
  util->pfnLogError(PLID, "%s", text);
}

}  // namespace

QRV_EXPORT void Meta_Init(void) { g_bMetamodPresent = true; }

QRV_EXPORT int Meta_Query(char *interfaceVersion, plugin_info_t **plinfo,
                          mutil_funcs_t *pMetaUtilFuncs) {
  if (plinfo != nullptr) *plinfo = &Plugin_info;
  const char *metaVersion = interfaceVersion != nullptr ? interfaceVersion : "";

  if (!SameText(metaVersion, Plugin_info.ifvers)) {
    if (pMetaUtilFuncs != nullptr) {
      const char *format = "%s: meta-interface version mismatch (metamod: %s, %s: %s)";
      pMetaUtilFuncs->pfnLogConsole(PLID, format, Plugin_info.name, metaVersion, Plugin_info.name,
                                    Plugin_info.ifvers);
      pMetaUtilFuncs->pfnLogMessage(PLID, format, Plugin_info.name, metaVersion, Plugin_info.name,
                                    Plugin_info.ifvers);
    }
    int iMetaMajor, iMetaMinor, iPluginMajor, iPluginMinor;
    ParseInterfaceVersion(metaVersion, &iMetaMajor, &iMetaMinor);
    ParseInterfaceVersion(META_INTERFACE_VERSION, &iPluginMajor, &iPluginMinor);

    const char *refusal = nullptr;
    if (iPluginMajor > iMetaMajor || (iPluginMajor == iMetaMajor && iPluginMinor > iMetaMinor)) {
      refusal = "metamod version is too old for this plugin; update metamod";
    } else if (iPluginMajor < iMetaMajor) {
      refusal =
          "metamod version is incompatible with this plugin; please find a newer version of "
          "this plugin";
    }
    if (refusal != nullptr) {
      ReportRefusal(pMetaUtilFuncs, "%s", refusal);
      return 0;
    }
  }

  if (pMetaUtilFuncs == nullptr) return 0;
  gpMetaUtilFuncs = pMetaUtilFuncs;

  if (!SameText(metaVersion, Plugin_info.ifvers)) {
    // Report Metamod's own text back as ours, as Metamod compares them once more.
    size_t size = std::strlen(metaVersion) + 1;
    char *copy = static_cast<char *>(std::malloc(size));
    if (copy != nullptr) {
      std::memcpy(copy, metaVersion, size);
      std::free(g_pszMetaVersionCopy);
      g_pszMetaVersionCopy = copy;
      Plugin_info.ifvers = copy;
    }
  }
  return 1;
}

QRV_EXPORT int Meta_Attach(PLUG_LOADTIME now, META_FUNCTIONS *pFunctionTable,
                           meta_globals_t *pMGlobals, gamedll_funcs_t *) {
  if (now > Plugin_info.loadable) {
    ReportRefusal(gpMetaUtilFuncs, "%s: plugin NOT attaching (can't load plugin right now)",
                  Plugin_info.name);
    return 0;
  }
  if (pFunctionTable == nullptr || pMGlobals == nullptr) return 0;

  gpMetaGlobals = pMGlobals;
  std::memcpy(pFunctionTable, &g_MetaFunctionTable, sizeof(META_FUNCTIONS));

  g_bDetached = false;
  RunAttachWork();
  return 1;
}

QRV_EXPORT int Meta_Detach(PLUG_LOADTIME now, PL_UNLOAD_REASON reason) {
  if (now > Plugin_info.unloadable && reason != PNL_CMD_FORCED) {
    ReportRefusal(gpMetaUtilFuncs, "%s: plugin not detaching (can't unload plugin right now)",
                  Plugin_info.name);
    return 0;
  }
  // Our commands and variables stay registered: the engine holds Metamod's copies of the
  // variables, and Metamod passes our commands on no more once we are unloaded. The timer and the
  // engine's frame hook are ours to give back, and the map's hitches and summary are written
  // while the log can still be.
  EndMapAtUnload();
  StopFramePacing();
  ReleaseEngineFrameHook();
  EndTimerResolution();
  g_bDetached = true;
  return 1;
}

namespace {

// What is left to do when the process lets go of the library. A game library loaded standalone
// is not freed here, as that would run under the Windows loader lock or inside exit(): it stays
// until the process ends.
void OnProcessDetach() {
  // A period begun at attach (standalone: at load) and not ended by a forced detach ends here,
  // and the engine must not call a frame hook in a library that is going away. A map still
  // running has its hitches and summary written, and pacing gives the tick rate back.
  if (!g_bDetached) {
    EndMapAtUnload();
    StopFramePacing();
    ReleaseEngineFrameHook();
  }
  platform::EndWaits();
  EndTimerResolution();
  if (g_pszMetaVersionCopy != nullptr) {
    Plugin_info.ifvers = META_INTERFACE_VERSION;
    std::free(g_pszMetaVersionCopy);
    g_pszMetaVersionCopy = nullptr;
  }
}

// Set as the library loads, so that it runs whichever entry point was called first, if any.
[[maybe_unused]] const bool g_processDetachSet =
    (platform::SetProcessDetachHandler(&OnProcessDetach), true);

}  // namespace
