// Small decision rules of the frame-rate engine, checked alone.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "base/timer_period.h"
#include "perf/fps_monitor.h"
#include "perf/startup.h"

namespace {

TEST(TimerPeriodRule, RequestIsCappedAtTenUnlessTheDeviceCannotGoThatLow) {
  EXPECT_EQ(3u, ChooseTimerPeriod(3, 1));
  EXPECT_EQ(3u, ChooseTimerPeriod(3, 3));
  EXPECT_EQ(5u, ChooseTimerPeriod(3, 5));
  EXPECT_EQ(10u, ChooseTimerPeriod(20, 1));
  EXPECT_EQ(10u, ChooseTimerPeriod(10, 1));
  EXPECT_EQ(1u, ChooseTimerPeriod(0, 1));
  // A negative request arrives as a huge unsigned one and is capped like any large request.
  EXPECT_EQ(10u, ChooseTimerPeriod(static_cast<uint32_t>(-4), 1));
}

TEST(TickRateSteps, EveryRowOfTheStepTableAndItsEdges) {
  EXPECT_EQ(0, TickRateStep(0));
  EXPECT_EQ(1, TickRateStep(1));
  EXPECT_EQ(1, TickRateStep(5));
  EXPECT_EQ(3, TickRateStep(6));
  EXPECT_EQ(3, TickRateStep(10));
  EXPECT_EQ(8, TickRateStep(11));
  EXPECT_EQ(8, TickRateStep(20));
  EXPECT_EQ(15, TickRateStep(21));
  EXPECT_EQ(15, TickRateStep(50));
  EXPECT_EQ(38, TickRateStep(51));
  EXPECT_EQ(38, TickRateStep(100));
  EXPECT_EQ(75, TickRateStep(101));
  EXPECT_EQ(75, TickRateStep(4294967296LL));
}

TEST(VariableConversion, TruncatesTowardZeroAndClampsToThirtyTwoBits) {
  cvar_t variable{};
  variable.value = 1.9f;
  EXPECT_EQ(1, VariableToInt32(&variable));
  variable.value = 0.5f;
  EXPECT_EQ(0, VariableToInt32(&variable));
  variable.value = -5.7f;
  EXPECT_EQ(-5, VariableToInt32(&variable));
  variable.value = 1e20f;
  EXPECT_EQ(std::numeric_limits<int32_t>::max(), VariableToInt32(&variable));
  variable.value = -1e20f;
  EXPECT_EQ(std::numeric_limits<int32_t>::min(), VariableToInt32(&variable));
  variable.value = std::numeric_limits<float>::infinity();
  EXPECT_EQ(std::numeric_limits<int32_t>::max(), VariableToInt32(&variable));
  variable.value = std::nanf("");
  EXPECT_EQ(0, VariableToInt32(&variable));
  EXPECT_EQ(0, VariableToInt32(nullptr));
}

}  // namespace
