#include "perf/frame_hitches.h"

namespace {
FrameHitchFigures g_figures;
}  // namespace

const FrameHitchFigures &FrameHitches() { return g_figures; }

float HitchThresholdMs() { return 0.0f; }
