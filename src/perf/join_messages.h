// The greeting a connecting client finds in its console: the server frame rate, and the server
// name and web site.
#pragma once

#include "sdk/edict.h"

// True when the join messages are on and were sent (a null client receives none); false when the
// frame-rate message is switched off or the server is no multiplayer one: nothing was sent.
bool SendJoinMessages(edict_t *client);
