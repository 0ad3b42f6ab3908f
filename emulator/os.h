// The handful of operating-system services the emulator needs beyond the C++ library: dynamic
// libraries, the running program's own folder and the process id. One implementation per OS
// (os_posix.cpp, os_windows.cpp); nothing else in the emulator includes an OS header.
#pragma once

#include <string>
#include <vector>

namespace emu::os {

// Opens a shared library with every symbol resolved now. Null on failure, with the loader's
// reason in *error.
void *OpenLibrary(const std::string &path, std::string *error);
void *LibrarySymbol(void *library, const char *name);
void CloseLibrary(void *library);

// Every library loaded in the process, by the name it was loaded under (Linux: the path as given
// to dlopen, relative ones too; Windows: the full path).
std::vector<std::string> LoadedLibraries();
// Drops one reference to a library of that name, the one its loader never gave back, as the end
// of the process does. False when no such library is loaded.
bool ReleaseLeftLibrary(const std::string &name);

// Folder that holds the running executable, without a trailing separator.
std::string ExecutableDirectory();

int ProcessId();

}  // namespace emu::os
