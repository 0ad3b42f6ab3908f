#include "entry/engine_frame_hook.h"

#include "perf/frame_anatomy.h"
#include "perf/frame_pacer.h"
#include "platform/platform.h"
#include "sdk/rehlds_api.h"

namespace {

enum class ApiCheck { kNotYet, kUsable, kTooOld, kUnknown };

IRehldsApi *g_api = nullptr;
IRehldsHookchains *g_chains = nullptr;
ApiCheck g_check = ApiCheck::kNotYet;
IVoidHookChainRegistry *g_frameRegistry = nullptr;
IStringCmdHookChainRegistry *g_commandRegistry = nullptr;
IPacketEntitiesHookChainRegistry *g_updateRegistry = nullptr;
bool g_frameHookRegistered = false;
bool g_anatomyHooksRegistered = false;
// Our hooks now running: a detach from inside one (an unload typed at the console runs inside
// the command hook, one over rcon inside the frame too) must leave the library mapped until the
// hook has returned.
int g_hooksRunning = 0;

// Run before every other hook of their chains: the whole frame, other plug-ins' work included,
// starts at the deadline, and every command and update is timed with what other hooks add.
constexpr int kHookPriority = HC_PRIORITY_UNINTERRUPTABLE;

void ServerFrame(IVoidHookChain *chain) {
  ++g_hooksRunning;
  BeginServerFrame();
  chain->vtable->callNext(chain);
  EndServerFrame();
  --g_hooksRunning;
}

void TimedCommand(IStringCmdHookChain *chain, const char *command, int source,
                  IGameClient *client) {
  ++g_hooksRunning;
  const int64_t started = platform::MonotonicNanoseconds();
  chain->vtable->callNext(chain, command, source, client);
  const int64_t took = platform::MonotonicNanoseconds() - started;
  if (took > g_llSlowestCommandNanoseconds) {
    const int player = source == REHLDS_SRC_CLIENT && client != nullptr
                           ? client->vtable->GetId(client) + 1
                           : kCommandFromConsole;
    NoteSlowCommand(started, took, command, player);
  }
  --g_hooksRunning;
}

int ClientUpdate(IPacketEntitiesHookChain *chain, int type, IGameClient *client, void *to,
                 void *msg) {
  NoteClientUpdate();
  return chain->vtable->callNext(chain, type, client, to, msg);
}

// The version comes first: a table we could not try on a real engine is never called on one
// too old to have it or of a major version we do not know, and never on a server that asked
// for neither pacing nor the anatomy.
void CheckApi() {
  if (g_check != ApiCheck::kNotYet) return;
  // The two version calls are the interface's own promise across its major versions.
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
  g_chains = g_api->vtable->GetHookchains(g_api);
  if (g_chains != nullptr) g_frameRegistry = g_chains->vtable->SV_Frame(g_chains);
  g_check = g_frameRegistry != nullptr ? ApiCheck::kUsable : ApiCheck::kTooOld;
}

void RegisterFrameHook(bool on) {
  if (on == g_frameHookRegistered) return;
  if (on) {
    g_frameRegistry->vtable->registerHook(g_frameRegistry, ServerFrame, kHookPriority);
  } else {
    g_frameRegistry->vtable->unregisterHook(g_frameRegistry, ServerFrame);
  }
  g_frameHookRegistered = on;
}

void RegisterAnatomyHooks(bool on) {
  if (on == g_anatomyHooksRegistered) return;
  if (on) {
    g_commandRegistry->vtable->registerHook(g_commandRegistry, TimedCommand, kHookPriority);
    g_updateRegistry->vtable->registerHook(g_updateRegistry, ClientUpdate, kHookPriority);
  } else {
    g_commandRegistry->vtable->unregisterHook(g_commandRegistry, TimedCommand);
    g_updateRegistry->vtable->unregisterHook(g_updateRegistry, ClientUpdate);
  }
  g_anatomyHooksRegistered = on;
}

void UnregisterEngineHooks() {
  RegisterAnatomyHooks(false);
  RegisterFrameHook(false);
}

EngineFrameHook SwitchEngineHooks(bool pace, bool anatomy, bool *anatomyHooks) {
  *anatomyHooks = false;
  if (g_api == nullptr) return EngineFrameHook::kMissing;
  const bool anatomyChains = anatomy && (pace || !platform::kEngineChainsOnlyWhilePacing);
  if (!pace && !anatomyChains) {
    UnregisterEngineHooks();
    return EngineFrameHook::kAvailable;
  }
  CheckApi();
  if (g_check != ApiCheck::kUsable) {
    return g_check == ApiCheck::kUnknown ? EngineFrameHook::kUnknown : EngineFrameHook::kTooOld;
  }
  // The anatomy's registries are asked for only once it wants them.
  if (anatomyChains && g_commandRegistry == nullptr) {
    g_commandRegistry = g_chains->vtable->ExecuteServerStringCmd(g_chains);
    g_updateRegistry = g_chains->vtable->SV_CreatePacketEntities(g_chains);
  }
  const bool withAnatomy =
      anatomyChains && g_commandRegistry != nullptr && g_updateRegistry != nullptr;
  // The border hooks go first, so that the frame hook never runs without them in place.
  RegisterAnatomyHooks(withAnatomy);
  RegisterFrameHook(true);
  *anatomyHooks = withAnatomy;
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
  SetEngineFrameHookSwitch(SwitchEngineHooks, g_api != nullptr);
}

bool EngineApiFound() { return g_api != nullptr; }

void ReleaseEngineFrameHook() {
  if (g_hooksRunning > 0) platform::KeepLibraryLoaded();
  UnregisterEngineHooks();
}
