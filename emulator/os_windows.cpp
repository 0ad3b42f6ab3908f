#include <windows.h>
// After windows.h, which it needs.
#include <tlhelp32.h>

#include <filesystem>

#include "os.h"

namespace emu::os {

void *OpenLibrary(const std::string &path, std::string *error) {
  HMODULE library = LoadLibraryA(path.c_str());
  if (library == nullptr && error != nullptr) {
    *error = "LoadLibraryA failed with error " + std::to_string(GetLastError());
  }
  return reinterpret_cast<void *>(library);
}

void *LibrarySymbol(void *library, const char *name) {
  if (library == nullptr) return nullptr;
  FARPROC symbol = GetProcAddress(static_cast<HMODULE>(library), name);
  return reinterpret_cast<void *>(symbol);
}

void CloseLibrary(void *library) {
  if (library != nullptr) FreeLibrary(static_cast<HMODULE>(library));
}

std::vector<std::string> LoadedLibraries() {
  std::vector<std::string> names;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, GetCurrentProcessId());
  if (snapshot == INVALID_HANDLE_VALUE) return names;
  MODULEENTRY32 module;
  module.dwSize = sizeof(module);
  for (BOOL more = Module32First(snapshot, &module); more; more = Module32Next(snapshot, &module)) {
    names.push_back(module.szExePath);
  }
  CloseHandle(snapshot);
  return names;
}

bool ReleaseLeftLibrary(const std::string &name) {
  HMODULE library = GetModuleHandleA(name.c_str());  // takes no reference
  return library != nullptr && FreeLibrary(library) != 0;
}

std::string ExecutableDirectory() {
  char path[MAX_PATH] = {};
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::filesystem::current_path().string();
  return std::filesystem::path(path).parent_path().string();
}

int ProcessId() { return static_cast<int>(GetCurrentProcessId()); }

}  // namespace emu::os
