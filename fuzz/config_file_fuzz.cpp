// Any bytes as a configuration file: read word by word and run as a command file, every word
// also taken apart as tokens. Nothing may be read or written outside its buffer.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/reader.h"
#include "fuzz_engine.h"

namespace {

const char kConfigName[] = "fuzzed.cfgs";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  fuzz::InstallEngine();
  fuzz::EnterGameRoot();
  std::string path = std::string("cstrike/addons/qrv_vemtark/configs/") + kConfigName;
  FILE *file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return 0;
  std::fwrite(data, 1, size, file);
  std::fclose(file);

  RunCommandFile(kConfigName, "missing");

  FileHandle reader;
  if (!OpenConfigFile(kConfigName, "missing", reader)) return 0;
  char word[kWordBufferSize];
  int index = 0;
  while (reader.ReadWord(word, kWordCapacity)) {
    if (std::strlen(word) > static_cast<size_t>(kWordCapacity)) std::abort();
    const char *token = GetToken(word, index++ % 4);
    if (std::strlen(token) > 255) std::abort();
    IsSkippedWord(word);
  }
  return 0;
}
