// Text comparisons that ignore the letter case of ASCII letters only, whatever the locale.
#pragma once

#include <cstddef>

bool EqualsIgnoringCase(const char *a, const char *b);
// The first `count` characters of both texts (fewer when a text ends before).
bool EqualsIgnoringCase(const char *a, const char *b, size_t count);
