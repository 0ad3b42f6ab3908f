#include "base/ascii_text.h"

namespace {

char FoldCase(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

bool IsBlank(int c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool EqualsIgnoringCase(const char *a, const char *b, size_t count) {
  for (size_t index = 0; index < count; ++index) {
    if (FoldCase(a[index]) != FoldCase(b[index])) return false;
    if (a[index] == '\0') return true;
  }
  return true;
}

bool EqualsIgnoringCase(const char *a, const char *b) {
  return EqualsIgnoringCase(a, b, static_cast<size_t>(-1));
}
