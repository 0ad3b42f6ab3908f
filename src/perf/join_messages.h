// The greeting a connecting client finds in its console: the server frame rate, and the server
// name and web site. Returns the Metamod result the connect hook reports.
#pragma once

#include "sdk/meta_api.h"

META_RES SendJoinMessages(edict_t *client);
