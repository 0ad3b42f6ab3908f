// Shared by the platform files: a command line kept as zero-ended arguments.
#pragma once

#include <cstddef>

namespace platform {

constexpr size_t kArgumentsSize = 8192;

// Every list starts empty: two zero bytes.
// Appends one argument of length bytes to list (used bytes in *used), keeping room for the
// list's closing zero; false, and nothing appended, when it does not fit. An empty argument
// is left out.
bool AppendArgument(char *list, size_t *used, const char *argument, size_t length);

// Splits a command line at blanks and tabs outside double quotes (the quotes are dropped).
void SplitCommandLine(const char *line, char *list, size_t *used);

// Reads a file of zero-ended arguments (the kernel's /proc/self/cmdline). An argument that the
// list has no room for is dropped, with every one after it.
void ReadArgumentFile(const char *path, char *list, size_t *used);

}  // namespace platform
