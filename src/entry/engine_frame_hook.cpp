#include "entry/engine_frame_hook.h"

#include "perf/frame_pacer.h"
#include "platform/platform.h"
#include "sdk/rehlds_api.h"

namespace {

enum class ApiCheck { kNotYet, kUsable, kTooOld };

IRehldsApi *g_api = nullptr;
ApiCheck g_check = ApiCheck::kNotYet;
IVoidHookChainRegistry *g_frameRegistry = nullptr;
bool g_registered = false;

// Runs before every other hook of the frame, so the whole frame, other plug-ins' work included,
// starts at the deadline.
constexpr int kFrameHookPriority = HC_PRIORITY_UNINTERRUPTABLE;

void PacedServerFrame(IVoidHookChain *chain) {
  PaceFrame();
  chain->vtable->callNext(chain);
}

// The version comes first: a table we could not try on a real engine is never called on one
// too old to have it, and never on a server that does not pace.
void CheckApi() {
  if (g_check != ApiCheck::kNotYet) return;
  const int major = g_api->vtable->GetMajorVersion(g_api);
  const int minor = major == REHLDS_API_VERSION_MAJOR ? g_api->vtable->GetMinorVersion(g_api) : 0;
  NoteEngineApiVersion(major, minor);
  if (major != REHLDS_API_VERSION_MAJOR || minor < REHLDS_API_SV_FRAME_MINOR) {
    g_check = ApiCheck::kTooOld;
    return;
  }
  IRehldsHookchains *chains = g_api->vtable->GetHookchains(g_api);
  g_frameRegistry = chains != nullptr ? chains->vtable->SV_Frame(chains) : nullptr;
  g_check = g_frameRegistry != nullptr ? ApiCheck::kUsable : ApiCheck::kTooOld;
}

EngineFrameHook SwitchFrameHook(bool on) {
  if (g_api == nullptr) return EngineFrameHook::kMissing;
  if (!on) {
    ReleaseEngineFrameHook();
    return EngineFrameHook::kAvailable;
  }
  CheckApi();
  if (g_check != ApiCheck::kUsable) return EngineFrameHook::kTooOld;
  if (!g_registered) {
    g_frameRegistry->vtable->registerHook(g_frameRegistry, PacedServerFrame, kFrameHookPriority);
    g_registered = true;
  }
  return EngineFrameHook::kAvailable;
}

}  // namespace

void FindEngineFrameHook() {
  SetEngineFrameHookSwitch(SwitchFrameHook);
  if (g_api != nullptr) return;
  const auto factory = reinterpret_cast<CreateInterfaceFn>(platform::FindEngineInterfaceFactory());
  if (factory == nullptr) return;
  int returnCode = 1;
  void *api = factory(REHLDS_API_INTERFACE_VERSION, &returnCode);
  g_api = returnCode == 0 ? static_cast<IRehldsApi *>(api) : nullptr;
}

void ReleaseEngineFrameHook() {
  if (!g_registered) return;
  g_frameRegistry->vtable->unregisterHook(g_frameRegistry, PacedServerFrame);
  g_registered = false;
}
