#include "perf/tick_rate_rule.h"

#include <cstdint>

#include "perf/startup.h"

namespace {
// A fixed tick rate must be above this; the single-precision 49.99 is a little above 49.99.
constexpr float kFixedRateThreshold = 49.99f;
constexpr uint32_t kLowestTarget = 49;
}  // namespace

TickRateRule CurrentTickRateRule() {
  if (g_Bindings.sysRate != nullptr && g_Bindings.sysRate->value > kFixedRateThreshold) {
    return TickRateRule::kPinned;
  }
  // The target is compared as the unsigned number the adjustment works with.
  if (g_Bindings.autoFps != nullptr &&
      static_cast<uint32_t>(VariableToInt32(g_Bindings.autoFps)) > kLowestTarget) {
    return TickRateRule::kTarget;
  }
  return TickRateRule::kNeither;
}

const char *TickRateRuleVariable(TickRateRule rule) {
  switch (rule) {
    case TickRateRule::kPinned:
      return "qrv_vemtark_sysrate";
    case TickRateRule::kTarget:
      return "qrv_vemtark_autofps";
    case TickRateRule::kNeither:
      return "";
  }
  return "";
}

int32_t TickRateRuleValue(TickRateRule rule) {
  switch (rule) {
    case TickRateRule::kPinned:
      return VariableToInt32(g_Bindings.sysRate);
    case TickRateRule::kTarget:
      return VariableToInt32(g_Bindings.autoFps);
    case TickRateRule::kNeither:
      return 0;
  }
  return 0;
}
