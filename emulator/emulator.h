// The engine emulator: plays the Half-Life engine and, when asked, Metamod, for a game library or
// Metamod plug-in that it loads by path through its exports. The base of the behaviour tests and
// of the demo server.
//
//   library.h          Library: a binary loaded from a private copy of its file
//   command_text.h     how console text is cut into commands and words
//   engine.h           Engine: console, variables, commands, buffer, globals, edicts, files, and
//                      the enginefuncs_t table
//   game_entry.h       compile-time names and types of the game library's table entries
//   game_stub.h        StubGame: the recording game library under the emulated Metamod
//   metamod_host.h     MetamodHost: the emulated Metamod (handshake, utility table, dispatch)
//   standalone_host.h  StandaloneHost: the engine loading a game library directly
//   session.h          Session: a whole server session for tests and the demo
#pragma once

#include "command_text.h"
#include "engine.h"
#include "game_entry.h"
#include "game_stub.h"
#include "library.h"
#include "metamod_host.h"
#include "session.h"
#include "standalone_host.h"
