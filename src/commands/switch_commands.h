// The on/off console commands. Each takes "1" or "0" as its only argument, keeps its own state,
// answers the operator and writes the plugin log; a few run an action in between.
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

// The handlers of the eleven feature switches, as the engine calls them.
void StrengtheningCommand();
void PremonitorWinCommand();
void QrvBotsSupportCommand();
void EngineCheckCommand();
void EngineTestCommand();
void SEpdCommand();
void XEpdCommand();
void YEpdCommand();
void ZEpdCommand();
void FEpdCommand();
void HighPingKickerCommand();
