#include <dlfcn.h>
#include <link.h>

#include <cstdint>

#include "platform/platform.h"

// Binding the oldest dlopen keeps the libraries loadable on servers with an older C library
// (glibc 2.34 moved dlopen into libc under a new version).
#if defined(__i386__) && defined(__GLIBC__)
__asm__(".symver dlopen,dlopen@GLIBC_2.1");
__asm__(".symver dlsym,dlsym@GLIBC_2.0");
__asm__(".symver dlclose,dlclose@GLIBC_2.0");
#elif defined(__x86_64__) && defined(__GLIBC__)
__asm__(".symver dlopen,dlopen@GLIBC_2.2.5");
__asm__(".symver dlsym,dlsym@GLIBC_2.2.5");
__asm__(".symver dlclose,dlclose@GLIBC_2.2.5");
#endif

namespace {

void (*g_processDetachHandler)() = nullptr;

// The loaded object whose segments hold this code: its path, as the loader knows it.
int FindOwnPath(dl_phdr_info *info, size_t, void *found) {
  const auto here = reinterpret_cast<uintptr_t>(&FindOwnPath);
  for (int index = 0; index < info->dlpi_phnum; ++index) {
    const ElfW(Phdr) &segment = info->dlpi_phdr[index];
    if (segment.p_type != PT_LOAD) continue;
    const uintptr_t start = info->dlpi_addr + segment.p_vaddr;
    if (here < start || here - start >= segment.p_memsz) continue;
    *static_cast<const char **>(found) = info->dlpi_name;
    return 1;
  }
  return 0;
}

}  // namespace

namespace platform {

void SetProcessDetachHandler(void (*handler)()) { g_processDetachHandler = handler; }

LibraryHandle OpenLibrary(const char *path) { return dlopen(path, RTLD_NOW); }

void *LibrarySymbol(LibraryHandle library, const char *name) {
  return library != nullptr ? dlsym(library, name) : nullptr;
}

void CloseLibrary(LibraryHandle library) {
  if (library != nullptr) dlclose(library);
}

void KeepLibraryLoaded() {
  const char *path = nullptr;
  dl_iterate_phdr(FindOwnPath, &path);
  if (path == nullptr || path[0] == '\0') return;
  // A reference that is never given back, on a library the loader may no longer unmap.
  dlopen(path, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
}

}  // namespace platform

// Also runs inside exit(), while the C library takes every library down in an order of its own:
// the handler may load or free no library.
__attribute__((destructor)) static void ProcessDetach() {
  if (g_processDetachHandler != nullptr) g_processDetachHandler();
}
