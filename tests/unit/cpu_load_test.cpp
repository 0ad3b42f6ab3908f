// The processor load the monitor reads from the map's counter. On Linux over statistics files
// with known numbers; on Windows over the real pdh.dll, whose figures are the machine's own. Each
// run goes in a fresh process, since the counter library is opened once per process.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "entry/export_api.h"
#include "perf/cpu_monitor.h"
#include "platform/platform.h"
#include "session.h"
#include "tests/unit/fresh_process.h"

namespace {

enum class Do { kSample, kActivate, kDeactivate };

// Each step first makes `stats` the statistics file (nullptr: no change; "" an unreadable one),
// then acts, then looks at the figure (-1: none).
struct Step {
  Do what;
  const char *stats;
  double load;
};

// "cpu" then user nice system idle iowait irq softirq steal; busy is all but idle and iowait.
const Step kSteps[] = {
    {Do::kSample, nullptr, -1},  // no query open yet
    {Do::kActivate, "cpu  100 0 100 700 100 0 0 0 0 0\n", -1},
    {Do::kSample, "cpu  250 0 250 1300 200 0 0 0 0 0\n", 30.0},  // 300 busy of 1000
    {Do::kSample, nullptr, -1},  // no time passed: no figure, and the old one is gone
    {Do::kSample, "cpu  250 10 340 1600 200 0 0 0 0 0\n", 25.0},
    {Do::kSample, "", -1},
    {Do::kSample, "cpu  400 10 340 1650 200 0 0 0 0 0\n", 75.0},  // since the last good one
    {Do::kDeactivate, nullptr, -1},
    {Do::kSample, "cpu  500 10 340 1650 200 0 0 0 0 0\n", -1},  // the closed query stays so
    {Do::kActivate, nullptr, -1},
    {Do::kSample, "cpu  500 10 340 1750 300 0 0 0 0 0\n", 0.0},
    {Do::kActivate, nullptr, -1},  // a new map forgets the previous map's figure
};

void RunSteps() {
  emu::Session root;  // a scratch working folder and the plugin log
  GiveFnptrsToDll(root.engine().Functions(), root.engine().Globals());
  for (size_t i = 0; i < sizeof(kSteps) / sizeof(kSteps[0]); ++i) {
    const Step &step = kSteps[i];
    SCOPED_TRACE("step " + std::to_string(i));
    if (step.stats != nullptr) {
      if (step.stats[0] != '\0') std::ofstream("stats") << step.stats;
      platform::OverrideCounterSource(step.stats[0] != '\0' ? "stats" : "no-such-dir/stat");
    }
    if (step.what == Do::kSample) SampleCpuLoad();
    if (step.what == Do::kActivate) {
      EXPECT_TRUE(CreateCpuMonitor(kProcessorTotalCounterPath));
    } else if (step.what == Do::kDeactivate) {
      EXPECT_TRUE(CloseCpuMonitor());
    }
    double percent = -2.0;
    if (step.load < 0) {
      EXPECT_FALSE(LastCpuLoad(&percent));
    } else {
      ASSERT_TRUE(LastCpuLoad(&percent));
      EXPECT_DOUBLE_EQ(step.load, percent);
    }
  }
}

// The counter library of this system over the machine's real processor times: pdh.dll needs two
// collections for a rate (the built-in library counts the addition as the first), so after the
// second one, with some work in between, there is a figure whatever the library.
void RunOverTheSystemLibrary() {
  emu::Session root;
  GiveFnptrsToDll(root.engine().Functions(), root.engine().Globals());
  double percent = -1.0;
  SampleCpuLoad();
  EXPECT_FALSE(LastCpuLoad(&percent));
  ASSERT_TRUE(CreateCpuMonitor(kProcessorTotalCounterPath));
  SampleCpuLoad();
  volatile unsigned long spin = 0;
  for (unsigned long i = 0; i < 50000000ul; ++i) spin = spin + i;
  SampleCpuLoad();
  ASSERT_TRUE(LastCpuLoad(&percent));
  EXPECT_GE(percent, 0.0);
  EXPECT_LE(percent, 100.0);
  EXPECT_TRUE(CloseCpuMonitor());
  EXPECT_FALSE(LastCpuLoad(&percent));
}

TEST(CpuLoad, FollowsTheCollectionsOfTheMapsCounter) {
#if defined(_WIN32)
  GTEST_SKIP() << "pdh.dll reads the machine's real processor times, not a statistics file";
#endif
  qrvtest::ExpectPassInFreshProcess(RunSteps);
}

TEST(CpuLoad, TheSystemLibraryAnswersAPercentage) {
  qrvtest::ExpectPassInFreshProcess(RunOverTheSystemLibrary);
}

}  // namespace
