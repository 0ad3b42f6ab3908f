#include <windows.h>

#include "platform/platform.h"

namespace platform {

void *FindEngineInterfaceFactory() {
  // Only looks: a module handle found this way takes no reference.
  HMODULE engine = GetModuleHandleA("swds.dll");
  if (engine == nullptr) return nullptr;
  return reinterpret_cast<void *>(GetProcAddress(engine, "CreateInterface"));
}

}  // namespace platform
