// Cost of the per-frame hook of the built binary, called through the table it hands out, against
// a hook that only sets mres (called the same way), of the frame that ends a period and of the
// frame after it.
#include <benchmark/benchmark.h>

#include <chrono>
#include <thread>

#include "library.h"
#include "session.h"

namespace {

using SetMetaGlobalsFn = void (*)(meta_globals_t *);

struct Server {
  emu::Session session;
  const DLL_FUNCTIONS *hooks = nullptr;

  Server() {
    if (!session.Attach()) return;
    session.StartServer();
    // The frame hook as it was before the frame's anatomy, whose cost anatomy_bench measures.
    session.Command("qrv_vemtark_anatomy 0");
    session.StartMap("de_dust2");
    session.RunFrames(10, 100.0);
    // The plug-in looks closely at every frame of a map's first 2 s of real time (the engine's
    // own start-up work), and the timed frames must be those of a map that has settled: the
    // first frame after the wait still began inside the start-up, the second sets the floor
    // that ordinary frames stay under.
    std::this_thread::sleep_for(std::chrono::milliseconds(2100));
    session.RunFrames(2, 100.0);
    hooks = &session.metamod().PreHooks();
  }
};

Server &SharedServer() {
  static Server server;
  return server;
}

// The running server's hook table, or null with the benchmark marked as skipped.
const DLL_FUNCTIONS *AttachedHooks(benchmark::State &state) {
  const DLL_FUNCTIONS *hooks = SharedServer().hooks;
  if (hooks == nullptr) state.SkipWithError("the plug-in did not attach");
  return hooks;
}

void BM_MinimalHook(benchmark::State &state) {
  emu::Library library;
  if (!library.Open(QRV_MINIMAL_HOOK_PATH)) {
    state.SkipWithError(library.Error().c_str());
    return;
  }
  meta_globals_t globals{};
  library.Export<SetMetaGlobalsFn>("SetMetaGlobals")(&globals);
  DLL_FUNCTIONS table{};
  int version = INTERFACE_VERSION;
  library.Export<GETENTITYAPI2_FN>("GetEntityAPI2")(&table, &version);
  const DLL_FUNCTIONS *hooks = &table;
  benchmark::DoNotOptimize(hooks);
  for (auto _ : state) {
    hooks->pfnStartFrame();
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_MinimalHook);

void BM_FrameWithinPeriod(benchmark::State &state) {
  const DLL_FUNCTIONS *hooks = AttachedHooks(state);
  if (hooks == nullptr) return;
  benchmark::DoNotOptimize(hooks);
  globalvars_t *globals = SharedServer().session.engine().Globals();
  for (auto _ : state) {
    hooks->pfnStartFrame();
    benchmark::ClobberMemory();
  }
  globals->time += 4.0f;  // leave no huge count behind for the next benchmark
  hooks->pfnStartFrame();
}
BENCHMARK(BM_FrameWithinPeriod);

// One frame, and only it, in the benchmark's time: the frames around it run untimed.
void TimedFrame(benchmark::State &state, const DLL_FUNCTIONS *hooks) {
  const auto start = std::chrono::steady_clock::now();
  hooks->pfnStartFrame();
  state.SetIterationTime(
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
}

void BM_FrameEndingPeriod(benchmark::State &state) {
  const DLL_FUNCTIONS *hooks = AttachedHooks(state);
  if (hooks == nullptr) return;
  globalvars_t *globals = SharedServer().session.engine().Globals();
  bool longer = false;
  for (auto _ : state) {
    globals->time += 4.0f;
    // The longest frame differs from period to period, as on a server, so its figure is
    // published every time.
    longer = !longer;
    globals->frametime = longer ? 0.011f : 0.010f;
    TimedFrame(state, hooks);
    // The frame after runs the period's follow-up work (hitch warning, processor counter); it is
    // measured on its own below.
    hooks->pfnStartFrame();
  }
}
BENCHMARK(BM_FrameEndingPeriod)->UseManualTime();

void BM_FrameAfterPeriod(benchmark::State &state) {
  const DLL_FUNCTIONS *hooks = AttachedHooks(state);
  if (hooks == nullptr) return;
  globalvars_t *globals = SharedServer().session.engine().Globals();
  for (auto _ : state) {
    globals->time += 4.0f;
    hooks->pfnStartFrame();
    TimedFrame(state, hooks);
  }
}
BENCHMARK(BM_FrameAfterPeriod)->UseManualTime();

}  // namespace
