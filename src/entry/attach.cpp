#include "entry/attach.h"

#include <cstdint>

#include "base/timer_period.h"
#include "entry/engine_frame_hook.h"
#include "perf/startup.h"

namespace {
// Attach raises the timer resolution before anything else runs, qrv_vemtark_sleepsm included:
// to that variable's default.
constexpr uint32_t kAttachTimerRequest = static_cast<uint32_t>(kSleepSmDefault);
}  // namespace

void RunAttachWork() {
  // A second attach must not leave the first period without its end.
  RenewTimerResolution(kAttachTimerRequest);
  RunStartup();
  // A resolution given on the command line holds from now, not from the first period's end.
  if (g_Bindings.sleepSm != nullptr && VariableToInt32(g_Bindings.sleepSm) != kAttachTimerRequest) {
    RenewTimerResolution(static_cast<uint32_t>(VariableToInt32(g_Bindings.sleepSm)));
  }
  FindEngineFrameHook();
}
