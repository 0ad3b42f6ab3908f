// One line of the plug-in's log, written by a switch command (its answer on the console, the
// line opened, appended and closed), against a bare open-append-close of a line as long into the
// same file.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "bench_session.h"

namespace {

const char kLogPath[] = "cstrike/addons/qrv_vemtark/logs/qrv_vemtark.log";
constexpr int kTakeConsoleEvery = 256;

void BM_LogLineThroughSwitch(benchmark::State &state) {
  emu::Session session;
  if (!session.Attach()) {
    state.SkipWithError("the plug-in did not attach");
    return;
  }
  session.StartServer();
  session.StartMap("de_dust2");
  emu::Engine &engine = session.engine();
  // Each turn of the switch writes one line ("S EPD enabled." or "S EPD disabled.").
  const std::string before = session.ReadFile(kLogPath);
  engine.ExecuteCommand("qrv_vemtark_sepd 1");
  if (session.ReadFile(kLogPath).size() <= before.size()) {
    state.SkipWithError("the switch wrote no log line");
    return;
  }
  bool on = true;
  int sinceTake = 0;
  for (auto _ : state) {
    on = !on;
    engine.ExecuteCommand(on ? "qrv_vemtark_sepd 1" : "qrv_vemtark_sepd 0");
    if (++sinceTake == kTakeConsoleEvery) {
      engine.TakeConsole();
      sinceTake = 0;
    }
  }
}
BENCHMARK(BM_LogLineThroughSwitch);

void BM_OpenAppendCloseFloor(benchmark::State &state) {
  emu::Session session;
  session.WriteFile(kLogPath, "");
  const std::string line = "[12:00:00] [QRV] LOG: S EPD disabled.\n";
  for (auto _ : state) {
    std::FILE *log = std::fopen(kLogPath, "a");
    if (log == nullptr) {
      state.SkipWithError("cannot open the log");
      return;
    }
    std::fputs(line.c_str(), log);
    std::fclose(log);
  }
}
BENCHMARK(BM_OpenAppendCloseFloor);

}  // namespace
