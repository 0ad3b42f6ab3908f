// The engine's lifetime and the process-wide pointer through which its entry points reach it.
#include "engine.h"

#include <cstdio>
#include <cstdlib>

#include "engine_internal.h"

namespace emu {

namespace {

Engine *g_currentEngine = nullptr;

}  // namespace

Engine::Engine()
    : previous_(g_currentEngine),
      stringPool_(new char[kStringPoolBytes]()),
      stringPoolUsed_(1),  // offset 0 stays "", the SDK's "no string"
      edicts_(new edict_t[kMaxEdicts]()),
      clientPrints_(kMaxClients + 1),
      clientConnected_(kMaxClients + 1, false) {
  g_currentEngine = this;
  FillEngineFunctions(&functions_);

  globals_.deathmatch = 1.0f;
  globals_.maxClients = kMaxClients;
  globals_.maxEntities = kMaxEdicts;
  globals_.pStringBase = stringPool_.get();
  for (int index = 0; index < kMaxEdicts; ++index) {
    edict_t *edict = &edicts_[index];
    edict->free = index > kMaxClients ? 1 : 0;
    ClearEntityVars(edict);
  }
  edicts_[0].v.classname = AllocString("worldspawn");

  AddCommand("exec", &Engine::ExecHandler);
  AddCommand("echo", &Engine::EchoHandler);
  // Engines register sys_ticrate with flags of their own; start-up must add to them, not
  // replace them.
  RegisterEngineCvar("sys_ticrate", "100", FCVAR_ARCHIVE);
  RegisterEngineCvar("hostname", "Half-Life", 0);
}

Engine::~Engine() {
  for (void *buffer : loadedFiles_) std::free(buffer);
  for (int index = 0; index < kMaxEdicts; ++index) std::free(edicts_[index].pvPrivateData);
  g_currentEngine = previous_;
}

Engine &Engine::Current() {
  if (g_currentEngine == nullptr) {
    std::fputs("emulator: an engine entry point was called with no engine alive\n", stderr);
    std::abort();
  }
  return *g_currentEngine;
}

// ---- Bookkeeping

void Engine::RecordFault(const std::string &text) {
  faults_.push_back(text);
  std::fprintf(stderr, "emulator fault: %s\n", text.c_str());
}

}  // namespace emu
