// Cost of the per-frame hook of the built binary, called through the table it hands out, against
// a hook that only sets mres (called the same way), and of the frame that ends a period.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <string>

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
    session.StartMap("de_dust2");
    session.RunFrames(10, 100.0);
    hooks = &session.metamod().PreHooks();
  }
};

Server &SharedServer() {
  static Server server;
  return server;
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
  Server &server = SharedServer();
  if (server.hooks == nullptr) {
    state.SkipWithError("the plug-in did not attach");
    return;
  }
  const DLL_FUNCTIONS *hooks = server.hooks;
  benchmark::DoNotOptimize(hooks);
  globalvars_t *globals = server.session.engine().Globals();
  for (auto _ : state) {
    hooks->pfnStartFrame();
    benchmark::ClobberMemory();
  }
  globals->time += 4.0f;  // leave no huge count behind for the next benchmark
  hooks->pfnStartFrame();
}
BENCHMARK(BM_FrameWithinPeriod);

void BM_FrameEndingPeriod(benchmark::State &state) {
  Server &server = SharedServer();
  if (server.hooks == nullptr) {
    state.SkipWithError("the plug-in did not attach");
    return;
  }
  const DLL_FUNCTIONS *hooks = server.hooks;
  globalvars_t *globals = server.session.engine().Globals();
  for (auto _ : state) {
    globals->time += 4.0f;
    hooks->pfnStartFrame();
  }
}
BENCHMARK(BM_FrameEndingPeriod);

// A map start with the sample configuration files: ServerDeactivate, ServerActivate (the files
// read, the processor counter closed and opened) and the command buffer that runs what it
// queued, switch answers and log lines included.
void BM_MapStartWithSampleFiles(benchmark::State &state) {
  emu::Session session;
  const std::string samples = std::string(QRV_SOURCE_DIR) + "/addons/qrv_vemtark/configs/";
  for (const char *name : {"vemtark.cfg", "vemtark.ini", "engine.cfgs"}) {
    std::FILE *file = std::fopen((samples + name).c_str(), "rb");
    if (file == nullptr) {
      state.SkipWithError("sample configuration file missing");
      return;
    }
    std::string contents;
    char buffer[4096];
    for (size_t got; (got = std::fread(buffer, 1, sizeof(buffer), file)) > 0;) {
      contents.append(buffer, got);
    }
    std::fclose(file);
    session.WriteFile(std::string("cstrike/addons/qrv_vemtark/configs/") + name, contents);
  }
  if (!session.Attach()) {
    state.SkipWithError("the plug-in did not attach");
    return;
  }
  session.StartServer();
  session.StartMap("de_dust2");
  const DLL_FUNCTIONS *hooks = &session.metamod().PreHooks();
  emu::Engine &engine = session.engine();
  for (auto _ : state) {
    hooks->pfnServerDeactivate();
    hooks->pfnServerActivate(engine.EdictList(), engine.EdictCount(), engine.MaxClients());
    engine.ExecuteBuffer();
    state.PauseTiming();
    engine.TakeConsole();
    engine.ClearServerCommands();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_MapStartWithSampleFiles)->Unit(benchmark::kMicrosecond);

// Console reporter that also prints how the plug-in's frames compare with the minimal hook.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run> &runs) override {
    ConsoleReporter::ReportRuns(runs);
    // With repetitions the median stands for the benchmark; without, its single run.
    for (const Run &run : runs) {
      if (run.error_occurred) continue;
      std::string name = run.benchmark_name();
      const std::string median = "_median";
      bool isMedian = name.size() > median.size() &&
                      name.compare(name.size() - median.size(), median.size(), median) == 0;
      if (isMedian) {
        name.resize(name.size() - median.size());
      } else if (run.run_type == Run::RT_Aggregate) {
        continue;
      }
      if (isMedian || medians_.count(name) == 0) nanoseconds_[name] = run.GetAdjustedRealTime();
      if (isMedian) medians_.insert(name);
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    double minimal = nanoseconds_["BM_MinimalHook"];
    if (minimal <= 0.0) return;
    for (const char *name : {"BM_FrameWithinPeriod", "BM_FrameEndingPeriod"}) {
      if (nanoseconds_.count(name) == 0) continue;
      std::printf("%s / BM_MinimalHook = %.2f\n", name, nanoseconds_[name] / minimal);
    }
  }

 private:
  std::map<std::string, double> nanoseconds_;
  std::set<std::string> medians_;
};

}  // namespace

int main(int argc, char **argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
