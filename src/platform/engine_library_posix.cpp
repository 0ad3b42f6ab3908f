#include <link.h>

#include <cstring>

#include "platform/platform.h"

namespace platform {

namespace {

// The launcher loads the engine with its own symbols kept local, so its factory is found through
// the library's handle, not by a global look-up.
constexpr char kEngineLibraryName[] = "engine_i486.so";
constexpr size_t kEnginePathBytes = 4096;

int RememberEnginePath(dl_phdr_info *info, size_t, void *found) {
  const char *path = info->dlpi_name;
  if (path == nullptr) return 0;
  const char *slash = std::strrchr(path, '/');
  const char *name = slash != nullptr ? slash + 1 : path;
  if (std::strcmp(name, kEngineLibraryName) != 0) return 0;
  if (std::strlen(path) >= kEnginePathBytes) return 0;
  std::strcpy(static_cast<char *>(found), path);
  return 1;
}

}  // namespace

void *FindEngineInterfaceFactory() {
  char path[kEnginePathBytes] = {};
  dl_iterate_phdr(RememberEnginePath, path);
  if (path[0] == '\0') return nullptr;
  // Opening what is already loaded only takes a reference, handed back at once: the engine
  // outlives every plug-in.
  LibraryHandle engine = OpenLibrary(path);
  void *factory = LibrarySymbol(engine, "CreateInterface");
  CloseLibrary(engine);
  return factory;
}

}  // namespace platform
