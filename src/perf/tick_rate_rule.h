// What the tick rate follows, one rule for the decision at every period's end, for frame pacing
// and for the status screen.
#pragma once

#include <cstdint>

// The fixed rate of qrv_vemtark_sysrate, the target frame rate of qrv_vemtark_autofps, or neither
// (the tick rate stays where it is).
enum class TickRateRule { kPinned, kTarget, kNeither };
TickRateRule CurrentTickRateRule();
// The number the rule follows: the pinned rate, or the target (the adjustment compares it
// unsigned); 0 for neither.
int32_t TickRateRuleValue(TickRateRule rule);
// The variable that sets the rule: "qrv_vemtark_sysrate" or "qrv_vemtark_autofps"; "" for neither.
const char *TickRateRuleVariable(TickRateRule rule);
