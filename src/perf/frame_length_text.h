// A frame length as the operator reads it everywhere.
#pragma once

#include <cstddef>
#include <cstdint>

// "312.4": one decimal, a tie rounded up on every system (C libraries round a tie in printf
// differently).
constexpr size_t kMillisecondsTextSize = 24;
void FormatMilliseconds(float ms, char (&text)[kMillisecondsTextSize]);

// A length in the monotonic clock's nanoseconds, in milliseconds.
float MillisecondsOf(int64_t nanoseconds);
