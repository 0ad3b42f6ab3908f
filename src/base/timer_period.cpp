#include "base/timer_period.h"

#include "platform/platform.h"

namespace {

constexpr uint32_t kLongestPeriod = 10;

// The period handed to the last begin, in ms, which its end must name again; g_bTimerPeriodActive
// pairs every begin with one end.
uint32_t g_uTimerPeriodInForceMs = 0;
bool g_bTimerPeriodActive = false;

void EndPeriodInForce(bool renewed) {
  if (!g_bTimerPeriodActive) return;
  platform::EndTimerPeriod(g_uTimerPeriodInForceMs, renewed);
  g_bTimerPeriodActive = false;
}

}  // namespace

uint32_t ChooseTimerPeriod(uint32_t requested, uint32_t deviceMinimum) {
  if (requested >= deviceMinimum) return requested < kLongestPeriod ? requested : kLongestPeriod;
  return deviceMinimum;
}

void BeginTimerResolution(uint32_t requested) {
  platform::TimerCaps caps{};
  platform::GetTimerCaps(&caps);
  g_uTimerPeriodInForceMs = ChooseTimerPeriod(requested, caps.wPeriodMin);
  platform::BeginTimerPeriod(g_uTimerPeriodInForceMs);
  g_bTimerPeriodActive = true;
}

void EndTimerResolution() { EndPeriodInForce(false); }

void RenewTimerResolution(uint32_t requested) {
  EndPeriodInForce(true);
  BeginTimerResolution(requested);
}
