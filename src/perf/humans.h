// The human players on the server, connected or in the game: bots do not count, a spectator
// proxy (HLTV) does. What the idle rate goes by.
#pragma once

#include <cstdint>

#include "sdk/edict.h"

// ClientConnect: true when the client is a human (its edict not flagged as a bot).
bool NoteClientConnecting(const edict_t *client);
// ClientDisconnect.
void NoteClientGone(const edict_t *client);
// At map activation: clients that stay connect again on the new map.
void ForgetHumans();
int32_t HumansConnected();
// The monotonic clock since when nobody human has been connected; meaningless while one is.
int64_t EmptySince();
