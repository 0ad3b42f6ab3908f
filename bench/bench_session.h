// What the benchmarks share: a game root with the sample configuration files, and the helpers
// that keep the emulator's records from growing through millions of iterations.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "session.h"

namespace bench {

inline const char *const kSampleFiles[] = {"vemtark.cfg", "vemtark.ini", "engine.cfgs"};
inline const char kConfigs[] = "cstrike/addons/qrv_vemtark/configs/";

// A file of the repository's sample configuration ("" when missing).
inline std::string SampleFile(const std::string &name) {
  const std::string path = std::string(QRV_SOURCE_DIR) + "/addons/qrv_vemtark/configs/" + name;
  std::string contents;
  std::FILE *file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return contents;
  char buffer[4096];
  for (size_t got; (got = std::fread(buffer, 1, sizeof(buffer), file)) > 0;) {
    contents.append(buffer, got);
  }
  std::fclose(file);
  return contents;
}

// Copies the three sample files a map start reads into the session's game root.
inline bool CopySampleFiles(const emu::Session &session) {
  for (const char *name : kSampleFiles) {
    const std::string contents = SampleFile(name);
    if (contents.empty()) return false;
    if (!session.WriteFile(std::string(kConfigs) + name, contents)) return false;
  }
  return true;
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
