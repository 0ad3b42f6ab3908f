// Map starts: ServerDeactivate, then ServerActivate (the configuration files read, the processor
// counter closed and opened, the log lines written) and the command buffer that runs what it
// queued. With the sample files against their floor (reading the same files and appending the
// same number of log lines, bare), and with an engine.cfgs of 1,000 and 10,000 entries, whose
// cost per entry should not grow with their number.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "bench_session.h"

namespace {

const char kLogPath[] = "cstrike/addons/qrv_vemtark/logs/qrv_vemtark.log";

int CountLines(const std::string &text) {
  int lines = 0;
  for (char c : text) lines += c == '\n';
  return lines;
}

void BM_MapStartWithSampleFiles(benchmark::State &state) {
  emu::Session session;
  if (!bench::StartMapWithSampleFiles(session, state)) return;
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

// What a map start with the sample files cannot do without: read the three files, and write its
// log lines the plainest way (the number it writes is counted from one map start).
void BM_MapStartFilesFloor(benchmark::State &state) {
  emu::Session session;
  if (!bench::StartMapWithSampleFiles(session, state)) return;
  const int before = CountLines(session.ReadFile(kLogPath));
  session.EndMap();
  session.StartMap("de_dust2");
  const int logLines = CountLines(session.ReadFile(kLogPath)) - before;
  state.counters["log_lines"] = logLines;
  const std::string line = "[12:00:00] [QRV] WARNING: NOT FOUND FPS_LCSPDXGFDGRT_X\n";
  char buffer[4096];
  for (auto _ : state) {
    for (const char *name : bench::kSampleFiles) {
      std::FILE *file = std::fopen((std::string(bench::kConfigs) + name).c_str(), "rb");
      if (file == nullptr) continue;
      while (std::fread(buffer, 1, sizeof(buffer), file) > 0) {
      }
      std::fclose(file);
    }
    for (int written = 0; written < logLines; ++written) {
      std::FILE *log = std::fopen(kLogPath, "a");
      if (log == nullptr) continue;
      std::fputs(line.c_str(), log);
      std::fclose(log);
    }
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_MapStartFilesFloor)->Unit(benchmark::kMicrosecond);

// The engine's command buffer is left out here: it would run thousands of queued switch commands
// (the engine's cost, not the plug-in's), and a real engine's buffer would overflow long before.
// The queued text is still handed over and read, as the engine's Cbuf_AddText would.
void TakeCommandText(char *text) {
  volatile size_t length = std::strlen(text);
  (void)length;
}

const char *const kSectionHeaders[] = {"[FPS]",     "[CPU]",  "[PING]",    "[SERVER]",
                                       "[METAMOD]", "[AMXX]", "[QRVBOTS]", "[VEMTARK]"};

// Entries under every section that switches a feature on, a header every 100 entries; [ENGINE]
// is left out, since each of its entries writes a log line and would measure the disk instead.
std::string EngineFileWithEntries(int entries) {
  std::string text = "//Engine_settings_for_a_benchmark.\n";
  for (int entry = 0; entry < entries; ++entry) {
    if (entry % 100 == 0) {
      text += kSectionHeaders[(entry / 100) % (sizeof(kSectionHeaders) / sizeof(char *))];
      text += '\n';
    }
    text += "on\n";
  }
  return text;
}

void BM_MapStartWithEngineEntries(benchmark::State &state) {
  const int entries = static_cast<int>(state.range(0));
  emu::Session session;
  if (!bench::CopySampleFiles(session)) {
    state.SkipWithError("sample configuration files missing");
    return;
  }
  session.WriteFile(std::string(bench::kConfigs) + "engine.cfgs", EngineFileWithEntries(entries));
  // The plug-in keeps the table it is given, so the engine's entry is replaced before the load.
  session.engine().Functions()->pfnServerCommand = TakeCommandText;
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
    state.PauseTiming();
    engine.TakeConsole();
    state.ResumeTiming();
  }
  state.counters["entries"] = entries;
}
BENCHMARK(BM_MapStartWithEngineEntries)
    ->Arg(0)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMicrosecond);

}  // namespace
