// What the benchmarks share: a game root with the sample configuration files, and the helpers
// that keep the emulator's records from growing through millions of iterations.
#pragma once

#include <benchmark/benchmark.h>

#include <string>

#include "session.h"

namespace bench {

// The three files a map start reads.
inline const char *const kSampleFiles[] = {"vemtark.cfg", "vemtark.ini", "engine.cfgs"};
inline const char kConfigs[] = "cstrike/addons/qrv_vemtark/configs/";

// Copies the repository's sample configuration into the session's game root, with the tests'
// settings file whose every key is read (the shipped one reads none), so that a map start does
// all the work the files can ask of it.
inline bool CopySampleFiles(const emu::Session &session) {
  return session.CopyIntoAddon(QRV_SOURCE_DIR "/addons/qrv_vemtark/configs", "configs") &&
         session.CopyIntoAddon(QRV_SOURCE_DIR "/tests/fixtures/configs", "configs");
}

// The sample files copied in, the plug-in attached, the server started and de_dust2 running;
// false, with the benchmark marked as failed, when any of it did not happen.
inline bool StartMapWithSampleFiles(emu::Session &session, benchmark::State &state) {
  if (!CopySampleFiles(session) || !session.Attach()) {
    state.SkipWithError("the plug-in did not attach with the sample files");
    return false;
  }
  session.StartServer();
  session.StartMap("de_dust2");
  return true;
}

}  // namespace bench
