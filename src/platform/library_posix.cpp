#include <dlfcn.h>

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

}  // namespace platform

// Also runs inside exit(), while the C library takes every library down in an order of its own:
// the handler may load or free no library.
__attribute__((destructor)) static void ProcessDetach() {
  if (g_processDetachHandler != nullptr) g_processDetachHandler();
}
