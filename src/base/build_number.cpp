#include "base/build_number.h"

#include <cstring>

#include "base/globals.h"

namespace {

const char *const rgcszMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
// February always counts 28 days; the leap day is added once the month is known.
const int uMonthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

constexpr size_t kDateLength = 11;  // "Mmm dd yyyy"
constexpr int kDayOffset = 4;
constexpr int kYearOffset = 7;
constexpr int kBaseBuild = 1114;  // Jan 20 2004 is build 0

// The number in a fixed-width field; a blank may stand for a leading zero ("Mar  1 2008").
int FieldNumber(const char *field, int width) {
  int number = 0;
  for (int index = 0; index < width; ++index) {
    char c = field[index];
    if (c >= '0' && c <= '9') number = number * 10 + (c - '0');
  }
  return number;
}

}  // namespace

uint16_t BuildNumberOf(const char *date) {
  if (date == nullptr || std::strlen(date) < kDateLength) return 0;

  int days = 0;
  int month = 0;
  // December is never compared: the walk ends on it after summing January to November.
  for (; month < 11; ++month) {
    if (std::strncmp(date, rgcszMonths[month], 3) == 0) break;
    days += uMonthDays[month];
  }
  days += FieldNumber(date + kDayOffset, 2) - 1;
  int year = FieldNumber(date + kYearOffset, 4) - 2000;

  uint16_t build = static_cast<uint16_t>(static_cast<int>((year - 1) * 365.25) + days);
  if (year % 4 == 0 && month > 1) ++build;
  return static_cast<uint16_t>(build - kBaseBuild);
}

uint16_t BuildNumber() { return BuildNumberOf(kBuildDate); }
