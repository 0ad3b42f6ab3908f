#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>

#include "os.h"

namespace emu::os {

void *OpenLibrary(const std::string &path, std::string *error) {
  // RTLD_LOCAL keeps each private copy's symbols apart, as Metamod's loader does.
  void *library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr && error != nullptr) {
    const char *reason = dlerror();
    *error = reason != nullptr ? reason : "dlopen failed";
  }
  return library;
}

void *LibrarySymbol(void *library, const char *name) {
  return library != nullptr ? dlsym(library, name) : nullptr;
}

void CloseLibrary(void *library) {
  if (library != nullptr) dlclose(library);
}

std::vector<std::string> LoadedLibraries() {
  std::vector<std::string> names;
  dl_iterate_phdr(
      [](dl_phdr_info *info, size_t, void *list) {
        if (info->dlpi_name != nullptr && info->dlpi_name[0] != '\0') {
          static_cast<std::vector<std::string> *>(list)->push_back(info->dlpi_name);
        }
        return 0;
      },
      &names);
  return names;
}

bool ReleaseLeftLibrary(const std::string &name) {
  // The loader finds a loaded library by the name it was given, whatever the working directory.
  void *library = dlopen(name.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (library == nullptr) return false;
  dlclose(library);  // the reference just taken
  dlclose(library);
  return true;
}

namespace {

// Taken once, while the working directory is still the one the program started in: under
// qemu-i386 the link can be the relative path the program was started by, and sessions change
// the working directory.
std::string FindExecutableDirectory() {
  std::error_code error;
  std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return std::filesystem::current_path().string();
  return std::filesystem::absolute(program, error).parent_path().string();
}

const std::string g_executableDirectory = FindExecutableDirectory();

}  // namespace

std::string ExecutableDirectory() { return g_executableDirectory; }

int ProcessId() { return static_cast<int>(getpid()); }

}  // namespace emu::os
