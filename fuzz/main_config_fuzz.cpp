// Any bytes as the settings file and the engine settings file of a map start: the input is cut
// in two at a point its first byte chooses. Nothing may be read or written outside its buffer,
// and every command the load queues must be a line of its own.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "config/main_config.h"
#include "fuzz_engine.h"

namespace {

const char kConfigs[] = "cstrike/addons/qrv_vemtark/configs/";

void WriteConfig(const char *name, const uint8_t *data, size_t size) {
  FILE *file = std::fopen((std::string(kConfigs) + name).c_str(), "wb");
  if (file == nullptr) std::abort();
  std::fwrite(data, 1, size, file);
  std::fclose(file);
}

// Every queued command ends with its line break and holds no other.
void CheckCommand(char *text) {
  size_t length = std::strlen(text);
  if (length == 0 || text[length - 1] != '\n') std::abort();
  if (std::memchr(text, '\n', length - 1) != nullptr) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  fuzz::InstallEngine();
  g_engfuncs.pfnServerCommand = CheckCommand;
  fuzz::EnterGameRoot();
  size_t split = size == 0 ? 0 : (static_cast<size_t>(data[0]) * size) / 256;
  WriteConfig("vemtark.ini", data, split);
  WriteConfig("engine.cfgs", data + split, size - split);
  LoadConfiguration();
  return 0;
}
