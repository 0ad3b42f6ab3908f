// Globals, time, the string pool and the edict array.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "engine.h"
#include "engine_internal.h"

namespace emu {

// ---- Globals, time and strings

void Engine::SetTime(double seconds) {
  mapTime_ = seconds;
  globals_.time = static_cast<float>(mapTime_);
}

void Engine::AdvanceTime(double seconds) {
  mapTime_ += seconds;
  realTime_ += seconds;
  globals_.time = static_cast<float>(mapTime_);
  // Engines cut the frame time they hand the game to 250 ms (ReHLDS and Xash3D alike), so a
  // longer stall reaches the game as 250 ms.
  globals_.frametime =
      static_cast<float>(seconds < kLongestFrameTime ? seconds : kLongestFrameTime);
}

void Engine::SetMapName(const std::string &name) { globals_.mapname = AllocString(name.c_str()); }

string_t Engine::AllocString(const char *text) {
  if (text == nullptr) return 0;
  const size_t bytes = std::strlen(text) + 1;
  if (stringPoolUsed_ + bytes > kStringPoolBytes) {
    RecordFault("string pool full");
    return 0;
  }
  std::memcpy(stringPool_.get() + stringPoolUsed_, text, bytes);
  const string_t offset = static_cast<string_t>(stringPoolUsed_);
  stringPoolUsed_ += bytes;
  return offset;
}

const char *Engine::String(string_t offset) const {
  // Signed, as the SDK's STRING() reads it: a game library's MAKE_STRING of a text of its own may
  // lie below the base. Integer arithmetic, since such a text is outside the pool.
  const auto base = reinterpret_cast<uintptr_t>(globals_.pStringBase);
  const auto distance = static_cast<intptr_t>(static_cast<int32_t>(offset));
  return reinterpret_cast<const char *>(base + static_cast<uintptr_t>(distance));
}

bool Engine::InStringPool(string_t offset) const {
  const auto distance = static_cast<int64_t>(static_cast<int32_t>(offset));
  return distance >= 0 && static_cast<uint64_t>(distance) < stringPoolUsed_;
}

// ---- Entities

edict_t *Engine::Edict(int index) {
  if (index < 0 || index >= kMaxEdicts) return nullptr;
  return &edicts_[index];
}

int Engine::IndexOf(const edict_t *edict) const {
  // Compared as integers: a pointer from elsewhere must not take part in pointer arithmetic.
  const auto address = reinterpret_cast<uintptr_t>(edict);
  const auto first = reinterpret_cast<uintptr_t>(edicts_.get());
  const uintptr_t bytes = sizeof(edict_t) * kMaxEdicts;
  if (edict == nullptr || address < first || address >= first + bytes) return -1;
  if ((address - first) % sizeof(edict_t) != 0) return -1;
  return static_cast<int>((address - first) / sizeof(edict_t));
}

int Engine::EdictCount() const {
  int count = kMaxClients + 1;
  for (int index = count; index < kMaxEdicts; ++index) {
    if (!edicts_[index].free) count = index + 1;
  }
  return count;
}

edict_t *Engine::CreateEntity(const char *classname) {
  for (int index = kMaxClients + 1; index < kMaxEdicts; ++index) {
    edict_t *edict = &edicts_[index];
    if (!edict->free) continue;
    edict->free = 0;
    edict->serialnumber++;
    ClearEntityVars(edict);
    if (classname != nullptr) edict->v.classname = AllocString(classname);
    return edict;
  }
  RecordFault("no free edict left");
  return nullptr;
}

void Engine::RemoveEntity(edict_t *edict) {
  const int index = IndexOf(edict);
  if (index <= kMaxClients) {
    RecordFault("pfnRemoveEntity on the world, a client slot or a foreign pointer");
    return;
  }
  FreePrivateData(edict);
  ClearEntityVars(edict);
  edict->free = 1;
  edict->freetime = globals_.time;
}

void *Engine::AllocPrivateData(edict_t *edict, int bytes) {
  if (IndexOf(edict) < 0 || bytes < 0) return nullptr;
  FreePrivateData(edict);
  edict->pvPrivateData = std::calloc(1, static_cast<size_t>(bytes) + 1);
  return edict->pvPrivateData;
}

void Engine::FreePrivateData(edict_t *edict) {
  if (IndexOf(edict) < 0) return;
  std::free(edict->pvPrivateData);
  edict->pvPrivateData = nullptr;
}

}  // namespace emu
