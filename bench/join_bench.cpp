// ClientConnect with both long join messages (the frame rate with players and map, the server's
// name and web site), against its floor: the engine handing the same two texts to the client.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "bench_session.h"

namespace {

constexpr int kClientsAlready = 8;
// The engine's record of client output is emptied this often, alike in both benchmarks.
constexpr int kClearEvery = 256;

void BM_ClientConnectLongMessages(benchmark::State &state) {
  emu::Session session;
  if (!bench::StartMapWithSampleFiles(session, state)) return;
  session.Command("qrv_vemtark_join_msg 2");
  session.Command("qrv_vemtark_info 2");
  for (int client = 0; client < kClientsAlready; ++client) {
    session.ConnectClient("Player" + std::to_string(client));
  }
  emu::Engine &engine = session.engine();
  const DLL_FUNCTIONS *hooks = &session.metamod().PreHooks();
  edict_t *newcomer = engine.Edict(kClientsAlready + 1);
  char rejectReason[128] = {};
  engine.ClearClientConsoles();
  hooks->pfnClientConnect(newcomer, "Newcomer", "127.0.0.1:27005", rejectReason);
  if (engine.ClientPrints(kClientsAlready + 1).size() != 2) {
    state.SkipWithError("ClientConnect did not send two messages");
    return;
  }
  int sinceClear = 0;
  for (auto _ : state) {
    hooks->pfnClientConnect(newcomer, "Newcomer", "127.0.0.1:27005", rejectReason);
    if (++sinceClear == kClearEvery) {
      engine.ClearClientConsoles();
      sinceClear = 0;
    }
  }
}
BENCHMARK(BM_ClientConnectLongMessages);

void BM_DeliverJoinMessagesFloor(benchmark::State &state) {
  // The very texts the plug-in sends, taken from one connect.
  emu::Session session;
  if (!bench::StartMapWithSampleFiles(session, state)) return;
  session.Command("qrv_vemtark_join_msg 2");
  session.Command("qrv_vemtark_info 2");
  emu::Engine &engine = session.engine();
  const int index = session.ConnectClient("Newcomer");
  std::vector<std::string> texts;
  for (const emu::ClientPrint &print : engine.ClientPrints(index)) texts.push_back(print.text);
  if (texts.size() != 2) {
    state.SkipWithError("ClientConnect did not send two messages");
    return;
  }
  edict_t *newcomer = engine.Edict(index);
  enginefuncs_t *functions = engine.Functions();
  int sinceClear = 0;
  for (auto _ : state) {
    functions->pfnClientPrintf(newcomer, print_console, texts[0].c_str());
    functions->pfnClientPrintf(newcomer, print_console, texts[1].c_str());
    if (++sinceClear == kClearEvery) {
      engine.ClearClientConsoles();
      sinceClear = 0;
    }
  }
}
BENCHMARK(BM_DeliverJoinMessagesFloor);

}  // namespace
