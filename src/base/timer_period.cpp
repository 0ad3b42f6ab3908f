#include "base/timer_period.h"

#include "base/globals.h"

namespace {

constexpr uint32_t kLongestPeriod = 10;

void EndPeriodInForce(bool renewed) {
  if (!g_bTimerPeriodActive) return;
  platform::EndTimerPeriod(g_TimerCaps.wPeriodMin, renewed);
  g_bTimerPeriodActive = false;
}

}  // namespace

uint32_t ChooseTimerPeriod(uint32_t requested, uint32_t deviceMinimum) {
  if (requested >= deviceMinimum) return requested < kLongestPeriod ? requested : kLongestPeriod;
  return deviceMinimum;
}

void BeginTimerResolution(uint32_t requested) {
  platform::GetTimerCaps(&g_TimerCaps);
  g_TimerCaps.wPeriodMin = ChooseTimerPeriod(requested, g_TimerCaps.wPeriodMin);
  platform::BeginTimerPeriod(g_TimerCaps.wPeriodMin);
  g_bTimerPeriodActive = true;
}

void EndTimerResolution() { EndPeriodInForce(false); }

void RenewTimerResolution(uint32_t requested) {
  EndPeriodInForce(true);
  BeginTimerResolution(requested);
}
