#include "entry/attach.h"

#include <cstdint>

#include "base/timer_period.h"
#include "entry/engine_frame_hook.h"
#include "perf/startup.h"

namespace {
// Attach raises the timer resolution to this before anything else runs.
constexpr uint32_t kAttachTimerRequest = 3;
}  // namespace

void RunAttachWork() {
  // A second attach must not leave the first period without its end.
  RenewTimerResolution(kAttachTimerRequest);
  RunStartup();
  FindEngineFrameHook();
}
