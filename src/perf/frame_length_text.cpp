#include "perf/frame_length_text.h"

#include <cmath>
#include <cstdio>

float MillisecondsOf(int64_t nanoseconds) {
  constexpr double kNanosecondsPerMillisecond = 1.0e6;
  return static_cast<float>(static_cast<double>(nanoseconds) / kNanosecondsPerMillisecond);
}

void FormatMilliseconds(float ms, char (&text)[kMillisecondsTextSize]) {
  double tenths = std::floor(static_cast<double>(ms) * 10.0 + 0.5);
  if (!(tenths >= 0.0)) tenths = 0.0;
  if (tenths > 4.0e9) tenths = 4.0e9;
  const auto value = static_cast<unsigned long>(tenths);
  std::snprintf(text, sizeof(text), "%lu.%lu", value / 10, value % 10);
}
