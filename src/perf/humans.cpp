#include "perf/humans.h"

#include <cstring>

#include "base/globals.h"
#include "platform/platform.h"

namespace {

bool g_human[kPresenceSlots];
int32_t g_humans = 0;
int64_t g_emptySince = 0;

int SlotOf(const edict_t *client) {
  if (client == nullptr || g_engfuncs.pfnIndexOfEdict == nullptr) return -1;
  const int index = g_engfuncs.pfnIndexOfEdict(client);
  return index >= 1 && index < kPresenceSlots ? index : -1;
}

void Count() {
  int32_t humans = 0;
  for (const bool human : g_human) humans += human ? 1 : 0;
  if (humans == 0 && g_humans != 0) g_emptySince = platform::MonotonicNanoseconds();
  g_humans = humans;
}

}  // namespace

bool NoteClientConnecting(const edict_t *client) {
  const int slot = SlotOf(client);
  if (slot < 0) return false;
  // A bot's edict is flagged before its connection reaches the game.
  const bool human = (client->v.flags & FL_FAKECLIENT) == 0;
  g_human[slot] = human;
  Count();
  return human;
}

void NoteClientGone(const edict_t *client) {
  const int slot = SlotOf(client);
  if (slot < 0) return;
  g_human[slot] = false;
  Count();
}

void ForgetHumans() {
  std::memset(g_human, 0, sizeof(g_human));
  if (g_humans != 0 || g_emptySince == 0) g_emptySince = platform::MonotonicNanoseconds();
  g_humans = 0;
}

int32_t HumansConnected() { return g_humans; }

int64_t EmptySince() { return g_emptySince; }
