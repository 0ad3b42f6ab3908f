// ASCII text tests that hold whatever the locale: letter case ignored in comparisons, and the
// blank characters.
#pragma once

#include <cstddef>

// A blank, a tab, a line break, a carriage return, a vertical tab or a form feed: what isspace
// finds in the C locale. Takes a char or a character read from a stream (EOF is no blank).
bool IsBlank(int c);

bool EqualsIgnoringCase(const char *a, const char *b);
// The first `count` characters of both texts (fewer when a text ends before).
bool EqualsIgnoringCase(const char *a, const char *b, size_t count);
