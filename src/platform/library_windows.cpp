#include <windows.h>

#include "platform/platform.h"

namespace {

void (*g_processDetachHandler)() = nullptr;

}  // namespace

namespace platform {

void SetProcessDetachHandler(void (*handler)()) { g_processDetachHandler = handler; }

LibraryHandle OpenLibrary(const char *path) {
  return reinterpret_cast<LibraryHandle>(LoadLibraryA(path));
}

void *LibrarySymbol(LibraryHandle library, const char *name) {
  if (library == nullptr) return nullptr;
  return reinterpret_cast<void *>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void CloseLibrary(LibraryHandle library) {
  if (library != nullptr) FreeLibrary(static_cast<HMODULE>(library));
}

void KeepLibraryLoaded() {
  HMODULE self = nullptr;
  // Pinned: the loader keeps the module until the process ends, whatever FreeLibrary is called.
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                     reinterpret_cast<LPCSTR>(&KeepLibraryLoaded), &self);
}

}  // namespace platform

// Runs under the loader lock: the handler may load or free no library.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_DETACH && g_processDetachHandler != nullptr) g_processDetachHandler();
  return TRUE;
}
