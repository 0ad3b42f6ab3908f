// What the frame's anatomy costs on ReHLDS, side by side with it switched off: a whole frame
// through the stand-in engine's SV_Frame chain (the plug-in's frame hook, when it has one, and its
// StartFrame inside), one client update through the SV_CreatePacketEntities chain and one command
// through the ExecuteServerStringCmd chain.
//   anatomy:0  qrv_vemtark_anatomy 0 and no pacing: the plug-in has no hook in these chains;
//   anatomy:1  the anatomy's hooks in all three;
//   anatomy:2  the first again, with a hook of this program's in each chain that only hands the
//              call on: what a hook costs the stand-in's chain (its dispatch and its record of
//              every call), so that 1 minus 2 is the anatomy's own cost.
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <thread>

#include "sdk/rehlds_api.h"
#include "session.h"

namespace {

void PassFrameOn(IVoidHookChain *chain) { chain->vtable->callNext(chain); }
void PassCommandOn(IStringCmdHookChain *chain, const char *command, int source,
                   IGameClient *client) {
  chain->vtable->callNext(chain, command, source, client);
}
int PassUpdateOn(IPacketEntitiesHookChain *chain, int type, IGameClient *client, void *to,
                 void *msg) {
  return chain->vtable->callNext(chain, type, client, to, msg);
}

// The hooks that only hand a call on, in every chain the anatomy uses.
void RegisterPassingHooks(const emu::RehldsStandIn &engine) {
  int returnCode = 1;
  auto *api =
      static_cast<IRehldsApi *>(engine.CreateInterface(REHLDS_API_INTERFACE_VERSION, &returnCode));
  if (api == nullptr) return;
  IRehldsHookchains *chains = api->vtable->GetHookchains(api);
  IVoidHookChainRegistry *frame = chains->vtable->SV_Frame(chains);
  frame->vtable->registerHook(frame, PassFrameOn, HC_PRIORITY_UNINTERRUPTABLE);
  IStringCmdHookChainRegistry *commands = chains->vtable->ExecuteServerStringCmd(chains);
  commands->vtable->registerHook(commands, PassCommandOn, HC_PRIORITY_UNINTERRUPTABLE);
  IPacketEntitiesHookChainRegistry *updates = chains->vtable->SV_CreatePacketEntities(chains);
  updates->vtable->registerHook(updates, PassUpdateOn, HC_PRIORITY_UNINTERRUPTABLE);
}

struct ReHLDSServer {
  std::unique_ptr<emu::Session> session;
  const DLL_FUNCTIONS *hooks = nullptr;

  explicit ReHLDSServer(int setting) {
    const bool anatomy = setting == 1;
    emu::SessionOptions options;
    options.rehldsEngine = true;
    session = std::make_unique<emu::Session>(options);
    if (!session->Attach()) return;
    session->StartServer();
    session->Command(anatomy ? "qrv_vemtark_anatomy 1" : "qrv_vemtark_anatomy 0");
    session->StartMap("de_dust2");
    session->ConnectClient("Alice");
    session->RunFrames(10, 100.0);
    // Past the map's start-up (2 s of real time), whose frames the plug-in looks at closely.
    std::this_thread::sleep_for(std::chrono::milliseconds(2100));
    session->RunFrames(2, 100.0);
    if (setting == 2) RegisterPassingHooks(session->RehldsEngine());
    hooks = &session->metamod().PreHooks();
  }
};

// One server at a time, kept for the benchmarks of its setting.
ReHLDSServer &Server(int setting) {
  static std::unique_ptr<ReHLDSServer> server;
  static int serverSetting = -1;
  if (!server || serverSetting != setting) {
    server.reset();
    server = std::make_unique<ReHLDSServer>(setting);
    serverSetting = setting;
  }
  return *server;
}

const emu::RehldsStandIn *Engine(benchmark::State &state, ReHLDSServer &server) {
  if (server.hooks == nullptr) {
    state.SkipWithError("the plug-in did not attach");
    return nullptr;
  }
  return &server.session->RehldsEngine();
}

void BM_ReHLDSFrame(benchmark::State &state) {
  ReHLDSServer &server = Server(static_cast<int>(state.range(0)));
  const emu::RehldsStandIn *engine = Engine(state, server);
  if (engine == nullptr) return;
  const DLL_FUNCTIONS *hooks = server.hooks;
  auto body = [hooks] { hooks->pfnStartFrame(); };
  int frames = 0;
  for (auto _ : state) {
    engine->RunFrame(body);
    // The stand-in records every call; emptied now and then so that the record never fills.
    if (++frames == 100000) {
      frames = 0;
      engine->ClearCalls();
    }
  }
  engine->ClearCalls();
}
BENCHMARK(BM_ReHLDSFrame)->ArgName("anatomy")->Arg(0)->Arg(1)->Arg(2);

void BM_ClientUpdate(benchmark::State &state) {
  ReHLDSServer &server = Server(static_cast<int>(state.range(0)));
  const emu::RehldsStandIn *engine = Engine(state, server);
  if (engine == nullptr) return;
  auto original = [](int, int, void *, void *) { return 0; };
  int updates = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(engine->CreatePacketEntities(0, 0, nullptr, nullptr, original));
    if (++updates == 100000) {
      updates = 0;
      engine->ClearCalls();
    }
  }
  engine->ClearCalls();
}
BENCHMARK(BM_ClientUpdate)->ArgName("anatomy")->Arg(0)->Arg(1)->Arg(2);

void BM_TimedCommand(benchmark::State &state) {
  ReHLDSServer &server = Server(static_cast<int>(state.range(0)));
  const emu::RehldsStandIn *engine = Engine(state, server);
  if (engine == nullptr) return;
  auto original = [](const char *, int, int) {};
  int commands = 0;
  for (auto _ : state) {
    engine->ExecuteServerStringCmd("say", 0, 0, original);
    if (++commands == 100000) {
      commands = 0;
      engine->ClearCalls();
    }
  }
  engine->ClearCalls();
}
BENCHMARK(BM_TimedCommand)->ArgName("anatomy")->Arg(0)->Arg(1)->Arg(2);

}  // namespace
