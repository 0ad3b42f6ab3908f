#include "entry/engine_frame_hook.h"

#include "perf/frame_pacer.h"
#include "platform/platform.h"
#include "sdk/rehlds_api.h"

namespace {

enum class ApiCheck { kNotYet, kUsable, kTooOld, kUnknown };

IRehldsApi *g_api = nullptr;
ApiCheck g_check = ApiCheck::kNotYet;
IVoidHookChainRegistry *g_frameRegistry = nullptr;
bool g_registered = false;
// Our hooks now running: a detach from inside one (an unload over rcon runs inside the frame)
// must leave the library mapped until the hook has returned.
int g_hooksRunning = 0;

// Runs before every other hook of the frame, so the whole frame, other plug-ins' work included,
// starts at the deadline.
constexpr int kFrameHookPriority = HC_PRIORITY_UNINTERRUPTABLE;

void PacedServerFrame(IVoidHookChain *chain) {
  ++g_hooksRunning;
  PaceFrame();
  chain->vtable->callNext(chain);
  --g_hooksRunning;
}

// The version comes first: a table we could not try on a real engine is never called on one
// too old to have it, and never on a server that does not pace.
void CheckApi() {
  if (g_check != ApiCheck::kNotYet) return;
  // The two version calls are the interface's own promise across its major versions; nothing
  // else is called on an engine whose major version this build does not know.
  const int major = g_api->vtable->GetMajorVersion(g_api);
  const int minor = g_api->vtable->GetMinorVersion(g_api);
  NoteEngineApiVersion(major, minor);
  if (major > REHLDS_API_VERSION_MAJOR) {
    g_check = ApiCheck::kUnknown;
    return;
  }
  if (major < REHLDS_API_VERSION_MAJOR || minor < REHLDS_API_SV_FRAME_MINOR) {
    g_check = ApiCheck::kTooOld;
    return;
  }
  IRehldsHookchains *chains = g_api->vtable->GetHookchains(g_api);
  g_frameRegistry = chains != nullptr ? chains->vtable->SV_Frame(chains) : nullptr;
  g_check = g_frameRegistry != nullptr ? ApiCheck::kUsable : ApiCheck::kTooOld;
}

void UnregisterFrameHook() {
  if (!g_registered) return;
  g_frameRegistry->vtable->unregisterHook(g_frameRegistry, PacedServerFrame);
  g_registered = false;
}

EngineFrameHook SwitchFrameHook(bool on) {
  if (g_api == nullptr) return EngineFrameHook::kMissing;
  if (!on) {
    UnregisterFrameHook();
    return EngineFrameHook::kAvailable;
  }
  CheckApi();
  if (g_check == ApiCheck::kUnknown) return EngineFrameHook::kUnknown;
  if (g_check != ApiCheck::kUsable) return EngineFrameHook::kTooOld;
  if (!g_registered) {
    g_frameRegistry->vtable->registerHook(g_frameRegistry, PacedServerFrame, kFrameHookPriority);
    g_registered = true;
  }
  return EngineFrameHook::kAvailable;
}

}  // namespace

void FindEngineFrameHook() {
  if (g_api == nullptr) {
    const auto factory =
        reinterpret_cast<CreateInterfaceFn>(platform::FindEngineInterfaceFactory());
    int returnCode = 1;
    void *api = factory != nullptr ? factory(REHLDS_API_INTERFACE_VERSION, &returnCode) : nullptr;
    g_api = returnCode == 0 ? static_cast<IRehldsApi *>(api) : nullptr;
  }
  SetEngineFrameHookSwitch(SwitchFrameHook, g_api != nullptr);
}

void ReleaseEngineFrameHook() {
  if (g_hooksRunning > 0) platform::KeepLibraryLoaded();
  UnregisterFrameHook();
}
