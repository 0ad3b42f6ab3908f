// The behaviour every on/off console command shares, whatever it switches.
#pragma once

#include <cstdint>

// What every on/off command does with argument 1 of its command line, compared as a whole with
// "0" and then "1": "0" runs turnOff unless the state is 0 (then the already-off answer), "1"
// runs turnOn unless the state is 1 (then the already-on answer), and anything else (nothing,
// " 1", "01", a word) answers "Invalid value!". The turn functions set the state themselves;
// context is handed to them as it is.
struct SwitchPattern {
  const char *alreadyOnAnswer;
  const char *alreadyOffAnswer;
  void (*turnOn)(const void *context);
  void (*turnOff)(const void *context);
};
void RunSwitchPattern(int32_t state, const SwitchPattern &pattern, const void *context);
