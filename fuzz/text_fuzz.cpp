// Any text as a value of the output family and of the token extractor: shown literally, cut to
// the buffers, never read as a format.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/console.h"
#include "base/reader.h"
#include "fuzz_engine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  fuzz::InstallEngine();
  if (size == 0) return 0;
  const int index = data[0] % 8 - 1;
  std::string text(reinterpret_cast<const char *>(data + 1), size - 1);

  const char *token = GetToken(text.c_str(), index);
  if (std::strlen(token) > 255) std::abort();

  std::string trimmed = text;
  TrimInPlace(&trimmed[0]);

  ConsolePrint("%s", text.c_str());
  PrefixedConsolePrint("%s", text.c_str());
  IssueServerCommand("%s", text.c_str());
  return 0;
}
