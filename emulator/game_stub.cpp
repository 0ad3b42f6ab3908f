#include "game_stub.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine.h"
#include "game_entry.h"

namespace emu {

namespace {

StubGame *g_currentGame = nullptr;

template <auto Entry, typename Function = EntryFunction<Entry>>
struct RecordingEntry;

template <auto Entry, typename Result, typename... Parameters>
struct RecordingEntry<Entry, Result (*)(Parameters...)> {
  static Result Call(Parameters...) {
    StubGame::Current().Record(GameEntry<Entry>::Name());
    return Result();
  }
};

qboolean AdmitClient(edict_t *, const char *, const char *, char *) {
  StubGame::Current().Record("ClientConnect");
  return 1;
}

// As the game does: its brush entities become world brushes when they spawn.
int SpawnEntity(edict_t *entity) {
  StubGame::Current().Record("Spawn");
  if (entity == nullptr) return 0;
  const char *classname = Engine::Current().String(entity->v.classname);
  if (std::strncmp(classname, "func_", 5) == 0) entity->v.flags |= FL_WORLDBRUSH;
  return 0;
}

void StartFrame() {
  StubGame::Current().Record("StartFrame");
  StubGame::Current().RunStartFrameWork();
}

const char *GameDescription() {
  StubGame::Current().Record("GetGameDescription");
  return "Counter-Strike";
}

}  // namespace

StubGame::StubGame() : previous_(g_currentGame) {
  g_currentGame = this;
#define QRV_EMU_RECORDING_DLL(index, name) \
  functions_.name = &RecordingEntry<&DLL_FUNCTIONS::name>::Call;
#define QRV_EMU_RECORDING_NEW_DLL(index, name) \
  newFunctions_.name = &RecordingEntry<&NEW_DLL_FUNCTIONS::name>::Call;
  QRV_DLL_FUNCTIONS_ENTRIES(QRV_EMU_RECORDING_DLL)
  QRV_NEW_DLL_FUNCTIONS_ENTRIES(QRV_EMU_RECORDING_NEW_DLL)
#undef QRV_EMU_RECORDING_DLL
#undef QRV_EMU_RECORDING_NEW_DLL
  functions_.pfnClientConnect = &AdmitClient;
  functions_.pfnGetGameDescription = &GameDescription;
  functions_.pfnSpawn = &SpawnEntity;
  functions_.pfnStartFrame = &StartFrame;
}

StubGame::~StubGame() { g_currentGame = previous_; }

StubGame &StubGame::Current() {
  if (g_currentGame == nullptr) {
    std::fputs("emulator: a game library entry was called with no stub game alive\n", stderr);
    std::abort();
  }
  return *g_currentGame;
}

int StubGame::CountOf(const std::string &entryName) const {
  int count = 0;
  for (const std::string &call : calls_) count += call == entryName ? 1 : 0;
  return count;
}

}  // namespace emu
