// What the soak test reads about its own process: open files, heap in use and resident set.
// Linux only (through /proc and the C library's allocator); elsewhere each answers "unknown".
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

#if defined(__linux__)
#include <dirent.h>
#include <malloc.h>
#include <unistd.h>
#endif

#if defined(__SANITIZE_ADDRESS__)
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace soak {

// Entries of /proc/self/fd (the listing's own descriptor included, the same each time), or -1.
inline long OpenFileCount() {
#if defined(__linux__)
  DIR *folder = opendir("/proc/self/fd");
  if (folder == nullptr) return -1;
  long count = 0;
  while (const dirent *entry = readdir(folder)) {
    if (entry->d_name[0] != '.') ++count;
  }
  closedir(folder);
  return count;
#else
  return -1;
#endif
}

// The names of the open files, for the message of a failed check.
inline std::string OpenFileNames() {
  std::string names;
#if defined(__linux__)
  DIR *folder = opendir("/proc/self/fd");
  if (folder == nullptr) return names;
  while (const dirent *entry = readdir(folder)) {
    if (entry->d_name[0] == '.') continue;
    char target[512] = {};
    const std::string link = std::string("/proc/self/fd/") + entry->d_name;
    ssize_t length = readlink(link.c_str(), target, sizeof(target) - 1);
    names += std::string(entry->d_name) + " -> " + (length > 0 ? target : "?") + "\n";
  }
  closedir(folder);
#endif
  return names;
}

// Bytes the program holds from its allocator: the sanitizer's count under AddressSanitizer,
// which replaces malloc, else glibc's (arena and mmapped blocks). -1 when unknown.
inline long long HeapInUse() {
#if defined(__SANITIZE_ADDRESS__)
  return static_cast<long long>(__sanitizer_get_current_allocated_bytes());
#elif defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 33))
  struct mallinfo2 info = mallinfo2();
  return static_cast<long long>(info.uordblks + info.hblkhd);
#else
  return -1;
#endif
}

// Resident set in bytes (/proc/self/statm), or -1: also under AddressSanitizer, whose quarantine
// keeps freed memory resident, so that the figure would say nothing about the program.
inline long long ResidentBytes() {
#if defined(__linux__) && !defined(__SANITIZE_ADDRESS__)
  std::FILE *file = std::fopen("/proc/self/statm", "r");
  if (file == nullptr) return -1;
  long long size = 0, resident = 0;
  int read = std::fscanf(file, "%lld %lld", &size, &resident);
  std::fclose(file);
  if (read != 2) return -1;
  return resident * sysconf(_SC_PAGESIZE);
#else
  return -1;
#endif
}

}  // namespace soak
