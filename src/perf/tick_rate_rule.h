// What the tick rate follows, one rule for the decision at every period's end, for frame pacing
// and for the status screen.
#pragma once

// The fixed rate of qrv_vemtark_sysrate, the target frame rate of qrv_vemtark_autofps, or neither
// (the tick rate stays where it is).
enum class TickRateRule { kPinned, kTarget, kNeither };
TickRateRule CurrentTickRateRule();
