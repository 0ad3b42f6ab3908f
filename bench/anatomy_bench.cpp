// What the frame's anatomy costs on ReHLDS, side by side with it switched off: a whole frame
// through the stand-in engine's SV_Frame chain (the plug-in's frame hook, when it has one, and its
// StartFrame inside), one client update through the SV_CreatePacketEntities chain and one command
// through the ExecuteServerStringCmd chain.
//   anatomy:0  qrv_vemtark_anatomy 0 and no pacing: the plug-in has no hook in these chains;
//   anatomy:1  the anatomy's hooks in all three;
//   anatomy:2  the first again, with a hook of this program's in each chain that only hands the
//              call on: what a hook costs the stand-in's chain, so that 1 minus 2 is the
//              anatomy's own cost.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

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

// Times `call` (handed the stand-in engine and the server's hook table) on the server of the
// benchmark's setting, with the stand-in's record of every call turned off.
template <typename Call>
void TimeThroughChains(benchmark::State &state, Call call) {
  ReHLDSServer &server = Server(static_cast<int>(state.range(0)));
  if (server.hooks == nullptr) {
    state.SkipWithError("the plug-in did not attach");
    return;
  }
  const emu::RehldsStandIn &engine = server.session->RehldsEngine();
  engine.SetRecording(false);
  for (auto _ : state) call(engine, *server.hooks);
  engine.SetRecording(true);
}

// The three settings, and beside the median the fastest repetition: on a shared virtual machine
// other guests only ever add time, so the least is the steadiest figure of a few nanoseconds.
void Settings(benchmark::internal::Benchmark *benchmark) {
  benchmark->ArgName("anatomy")->Arg(0)->Arg(1)->Arg(2)->ComputeStatistics(
      "min", [](const std::vector<double> &times) {
        return *std::min_element(times.begin(), times.end());
      });
}

void BM_ReHLDSFrame(benchmark::State &state) {
  TimeThroughChains(state, [](const emu::RehldsStandIn &engine, const DLL_FUNCTIONS &hooks) {
    engine.RunFrame([&hooks] { hooks.pfnStartFrame(); });
  });
}
BENCHMARK(BM_ReHLDSFrame)->Apply(Settings);

void BM_ClientUpdate(benchmark::State &state) {
  TimeThroughChains(state, [](const emu::RehldsStandIn &engine, const DLL_FUNCTIONS &) {
    benchmark::DoNotOptimize(engine.CreatePacketEntities(
        0, 0, nullptr, nullptr, [](int, int, void *, void *) { return 0; }));
  });
}
BENCHMARK(BM_ClientUpdate)->Apply(Settings);

void BM_TimedCommand(benchmark::State &state) {
  TimeThroughChains(state, [](const emu::RehldsStandIn &engine, const DLL_FUNCTIONS &) {
    engine.ExecuteServerStringCmd("say", 0, 0, [](const char *, int, int) {});
  });
}
BENCHMARK(BM_TimedCommand)->Apply(Settings);

}  // namespace
