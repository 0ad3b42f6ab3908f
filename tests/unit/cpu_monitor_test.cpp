// The processor-load monitor over the real counter library of the OS (pdh.dll under wine, the
// built-in one over /proc/stat on Linux), and on Windows over stand-ins that fault or are
// incomplete. The library is opened once per process, so every scenario runs in a fresh copy of
// this program: a sequence of map starts and ends, then the warnings it left in the plugin log.
#include "perf/cpu_monitor.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "entry/export_api.h"
#include "platform/platform.h"
#if defined(_WIN32)
#include "platform/fault_guard.h"
#endif
#include "session.h"
#include "tests/plugin_fixture.h"
#include "tests/unit/fresh_process.h"

extern "C" const char *QrvFake_MessageBoxes(void);

namespace {

enum class Do {
  kCreate,       // argument: counter path; expect: result
  kClose,        // expect: result
  kUseSource,    // argument: library (Windows) or statistics file, nullptr for the default
  kStatsFile,    // argument: contents of a statistics file to read from now on
  kLetSucceed,   // argument: a function of the faulting stand-in that stops faulting
  kOpenQueries,  // count: queries the counter library holds open now
};

struct Step {
  Do what;
  const char *argument;
  bool expect;
  int count = 0;
};

enum class Runs { kEverywhere, kOnWindows, kOnLinux };

struct Scenario {
  const char *name;
  std::vector<Step> steps;
  std::vector<std::string> warnings;  // the WARNING lines of the log, in order
  long standInCalls;                  // calls the stand-in library saw, -1 when not used
  Runs runs = Runs::kEverywhere;      // every platform lists every scenario; others skip
};

#if defined(_WIN32)
constexpr Runs kThisPlatform = Runs::kOnWindows;
#else
constexpr Runs kThisPlatform = Runs::kOnLinux;
#endif

constexpr const char *kTotal = kProcessorTotalCounterPath;

// The stand-in counts its open queries; the built-in library answers a collection for exactly
// the handles of its open queries, and hands out small serial numbers in a fresh process.
int OpenQueries(platform::LibraryHandle standIn) {
  if (standIn != nullptr) {
    return reinterpret_cast<int (*)()>(platform::LibrarySymbol(standIn, "StandInOpenQueries"))();
  }
  auto collect = reinterpret_cast<uint32_t (*)(platform::CounterHandle)>(
      platform::CounterLibrarySymbol(platform::OpenCounterLibrary(), "PdhCollectQueryData"));
  int open = 0;
  for (uintptr_t serial = 1; serial <= 64; ++serial) {
    open += collect(reinterpret_cast<platform::CounterHandle>(serial)) == platform::kCounterSuccess;
  }
  return open;
}

void RunSteps(const Scenario &scenario) {
  emu::Session root;  // game root for the plugin log
  GiveFnptrsToDll(root.engine().Functions(), root.engine().Globals());
  platform::LibraryHandle standIn = nullptr;
  for (size_t i = 0; i < scenario.steps.size(); ++i) {
    const Step &step = scenario.steps[i];
    SCOPED_TRACE("step " + std::to_string(i));
    switch (step.what) {
      case Do::kCreate:
        EXPECT_EQ(step.expect, CreateCpuMonitor(step.argument));
        break;
      case Do::kClose:
        EXPECT_EQ(step.expect, CloseCpuMonitor());
        break;
      case Do::kUseSource:
        platform::OverrideCounterSource(step.argument);
        if (step.argument != nullptr && scenario.standInCalls >= 0) {
          standIn = platform::OpenLibrary(step.argument);
          ASSERT_NE(nullptr, standIn) << step.argument;
        }
        break;
      case Do::kStatsFile: {
        std::ofstream("stats") << step.argument;
        platform::OverrideCounterSource("stats");
        break;
      }
      case Do::kLetSucceed: {
        auto let = reinterpret_cast<void (*)(const char *)>(
            platform::LibrarySymbol(standIn, "StandInLetSucceed"));
        ASSERT_NE(nullptr, let);
        let(step.argument);
        break;
      }
      case Do::kOpenQueries:
        EXPECT_EQ(step.count, OpenQueries(standIn));
        break;
    }
  }
  std::vector<std::string> warnings;
  for (const std::string &message : qrvtest::LogMessages(root)) {
    if (message.rfind("[QRV] WARNING: ", 0) == 0) warnings.push_back(message.substr(15));
  }
  EXPECT_EQ(scenario.warnings, warnings);
  EXPECT_STREQ("", QrvFake_MessageBoxes());  // never a modal box: the server must not block
  if (scenario.standInCalls >= 0) {
    auto calls = reinterpret_cast<long (*)()>(platform::LibrarySymbol(standIn, "StandInCalls"));
    ASSERT_NE(nullptr, calls);
    EXPECT_EQ(scenario.standInCalls, calls());
  }
}

Step Create(const char *path, bool expect) { return Step{Do::kCreate, path, expect}; }
Step Close(bool expect) { return Step{Do::kClose, nullptr, expect}; }
Step Use(const char *source) { return Step{Do::kUseSource, source, false}; }
Step Stats(const char *contents) { return Step{Do::kStatsFile, contents, false}; }
Step Let(const char *function) { return Step{Do::kLetSucceed, function, false}; }
Step OpenNow(int queries) { return Step{Do::kOpenQueries, nullptr, false, queries}; }

// A map that fails to load is activated again without a deactivation in between.
std::vector<Step> ActivatedOverAndOver(int times) {
  std::vector<Step> steps(static_cast<size_t>(times), Create(kTotal, true));
  steps.push_back(Close(true));
  return steps;
}

const Scenario kScenarios[] = {
    {"NormalMaps", {Create(kTotal, true), Close(true), Create(kTotal, true), Close(true)}, {}, -1},
    // The removal of the counter fails, the query is closed all the same.
    {"RejectedPath",
     {Create("\\No Such Object\\Nothing", false), Close(false), Create(kTotal, true), Close(true)},
     {},
     -1},
    // Attached during a running map: no query is open at its end.
    {"CloseWithoutOpen", {Close(false), Create(kTotal, true), Close(true)}, {"Close Error"}, -1},
    // Looked for once: the real library is not tried after the missing one.
    {"MissingLibrary",
     {Use("qrv_no_such_pdh.dll"), Create(kTotal, false), Close(false), Use(nullptr),
      Create(kTotal, false), Close(false)},
     {},
     -1,
     Runs::kOnWindows},
    {"IncompleteLibrary",
     {Use("qrv_incomplete_pdh.dll"), Create(kTotal, false), Close(false), Use(nullptr),
      Create(kTotal, false), Close(false)},
     {},
     0,
     Runs::kOnWindows},
    // Each faulting call ends its operation with false, and the next one goes ahead.
    {"FaultingLibrary",
     {Use("qrv_faulting_pdh.dll"), Create(kTotal, false), Close(false), Let("PdhOpenQueryA"),
      Create(kTotal, false), Let("PdhAddCounterA"), Let("PdhRemoveCounter"), Create(kTotal, true),
      Close(false), Let("PdhCloseQuery"), Close(true)},
     {},
     11,
     Runs::kOnWindows},
    {"StatisticsFile",
     {Stats("cpu  10 0 5 100 5 0 0 0 0 0\ncpu0 10 0 5 100 5 0 0 0 0 0\n"), Create(kTotal, true),
      Close(true)},
     {},
     -1,
     Runs::kOnLinux},
    {"UnreadableStatistics",
     {Use("no-such-dir/stat"), Create(kTotal, false), Close(false), Use("."), Create(kTotal, false),
      Close(false), Stats("intr 1 2 3\n"), Create(kTotal, false), Close(false), Use(nullptr),
      Create(kTotal, true), Close(true)},
     {},
     -1,
     Runs::kOnLinux},
    {"ActivatedTwentyTimesOverOneMap", ActivatedOverAndOver(20), {}, -1},
    // The second activation closes the first one's query before it opens its own.
    {"ActivatedAgainOverTheStandIn",
     {Use("qrv_faulting_pdh.dll"), Let("PdhOpenQueryA"), Let("PdhAddCounterA"),
      Let("PdhRemoveCounter"), Let("PdhCloseQuery"), Create(kTotal, true), Create(kTotal, true),
      OpenNow(1), Close(true), OpenNow(0)},
     {},
     8,
     Runs::kOnWindows},
    {"ActivatedAgainOverTheBuiltInLibrary",
     {Create(kTotal, true), Create(kTotal, true), OpenNow(1), Close(true), OpenNow(0)},
     {},
     -1,
     Runs::kOnLinux},
    // A closed query's handle is not kept: a second close finds none.
    {"ClosedTwice",
     {Create(kTotal, true), Close(true), Close(false), Close(false)},
     {"Close Error", "Close Error"},
     -1,
     Runs::kOnLinux},
};

void PrintTo(const Scenario &scenario, std::ostream *out) { *out << scenario.name; }

class CpuMonitorScenario : public ::testing::TestWithParam<Scenario> {};

TEST_P(CpuMonitorScenario, ResultsWarningsAndNoBoxes) {
  if (GetParam().runs != Runs::kEverywhere && GetParam().runs != kThisPlatform) {
    GTEST_SKIP() << (GetParam().runs == Runs::kOnWindows
                         ? "a stand-in for pdh.dll exists only on Windows"
                         : "only the built-in library reads a statistics file; pdh.dll reuses "
                           "its handles differently");
  }
  const Scenario &scenario = GetParam();
  qrvtest::ExpectPassInFreshProcess([&scenario] { RunSteps(scenario); });
}

INSTANTIATE_TEST_SUITE_P(Maps, CpuMonitorScenario, ::testing::ValuesIn(kScenarios),
                         [](const ::testing::TestParamInfo<Scenario> &info) {
                           return std::string(info.param.name);
                         });

#if defined(_WIN32)
int *volatile g_nowhere;  // null, but the compiler cannot know it
volatile int g_zero;
volatile int g_hundred = 100;  // a dividend of 1 would be folded into a comparison

TEST(FaultGuard, AFaultEndsTheCallAndTheNextCallRunsNormally) {
  int progress = 0;
  auto faultAfterOneStep = [](void *context) {
    *static_cast<int *>(context) += 1;
    *g_nowhere = 1;
    *static_cast<int *>(context) += 100;
  };
  auto divideByZero = [](void *context) { *static_cast<int *>(context) = g_hundred / g_zero; };
  auto finish = [](void *context) { *static_cast<int *>(context) += 10; };
  for (int round = 0; round < 3; ++round) {
    progress = 0;
    EXPECT_FALSE(platform::RunGuarded(faultAfterOneStep, &progress));
    EXPECT_EQ(1, progress);
    EXPECT_FALSE(platform::RunGuarded(divideByZero, &progress));
    EXPECT_TRUE(platform::RunGuarded(finish, &progress));
    EXPECT_EQ(11, progress);
  }
}

// A library that catches its own fault answers as usual: the guard takes only what nobody
// nearer the fault handles.
TEST(FaultGuard, AFaultTheLibraryHandlesItselfLeavesTheCallItsAnswer) {
  platform::LibraryHandle standIn = platform::OpenLibrary("qrv_faulting_pdh.dll");
  ASSERT_NE(nullptr, standIn);
  auto symbol = [&](const char *name) { return platform::LibrarySymbol(standIn, name); };
  reinterpret_cast<void (*)(const char *)>(symbol("StandInHandleOwnFault"))("PdhCollectQueryData");
  auto handled = reinterpret_cast<long (*)()>(symbol("StandInOwnFaultsHandled"));
  for (long round = 1; round <= 2; ++round) {
    platform::CounterStatus status = 1;
    EXPECT_TRUE(platform::CallCollectQueryData(symbol("PdhCollectQueryData"), nullptr, &status));
    EXPECT_EQ(platform::kCounterSuccess, status);
    EXPECT_EQ(round, handled());
    EXPECT_FALSE(platform::CallCloseQuery(symbol("PdhCloseQuery"), nullptr, &status));
  }
}

__attribute__((noinline)) int Overflow(int depth) {
  volatile char frame[512];
  frame[0] = static_cast<char>(depth);
  return g_zero == 0 ? Overflow(depth + 1) + frame[0] : frame[0];
}

// The stack keeps a guard page after each overflow, so that the next one is caught too.
TEST(FaultGuard, OverflowsTheStackAgainAndAgain) {
  qrvtest::ExpectPassInFreshProcess([] {
    int result = 0;
    for (int round = 0; round < 3; ++round) {
      EXPECT_FALSE(
          platform::RunGuarded([](void *out) { *static_cast<int *>(out) = Overflow(0); }, &result));
    }
    EXPECT_TRUE(platform::RunGuarded([](void *out) { *static_cast<int *>(out) = 7; }, &result));
    EXPECT_EQ(7, result);
  });
}

TEST(BuiltInCounterLibrary, SamplesTheBusyShareBetweenTwoCollections) {
  GTEST_SKIP() << "Windows uses pdh.dll, not the built-in counter library";
}

TEST(BuiltInCounterLibrary, AFullTableClosesItsOldestQueryWithItsCounters) {
  GTEST_SKIP() << "Windows uses pdh.dll, not the built-in counter library";
}
#else
TEST(FaultGuard, AFaultEndsTheCallAndTheNextCallRunsNormally) {
  GTEST_SKIP() << "the fault guard serves calls into pdh.dll, on Windows only";
}

TEST(FaultGuard, AFaultTheLibraryHandlesItselfLeavesTheCallItsAnswer) {
  GTEST_SKIP() << "the fault guard serves calls into pdh.dll, on Windows only";
}

TEST(FaultGuard, OverflowsTheStackAgainAndAgain) {
  GTEST_SKIP() << "the fault guard serves calls into pdh.dll, on Windows only";
}

// PDH_FMT_COUNTERVALUE with its double member, as the built-in library fills it.
struct FormattedValue {
  uint32_t status;
  double value;
};

TEST(BuiltInCounterLibrary, SamplesTheBusyShareBetweenTwoCollections) {
  emu::Session root;  // a scratch working folder
  std::ofstream("stats") << "cpu  100 0 100 700 100 0 0 0 0 0\n";
  platform::OverrideCounterSource("stats");
  platform::LibraryHandle library = platform::OpenCounterLibrary();
  auto collect = reinterpret_cast<uint32_t (*)(platform::CounterHandle)>(
      platform::CounterLibrarySymbol(library, "PdhCollectQueryData"));
  auto format = reinterpret_cast<uint32_t (*)(platform::CounterHandle, uint32_t, uint32_t *,
                                              FormattedValue *)>(
      platform::CounterLibrarySymbol(library, "PdhGetFormattedCounterValue"));
  ASSERT_TRUE(collect && format);
  EXPECT_EQ(nullptr, platform::CounterLibrarySymbol(library, "PdhOpenQueryW"));

  platform::CounterHandle query = nullptr, counter = nullptr;
  platform::CounterStatus status = 1;
  ASSERT_TRUE(platform::CallOpenQuery(platform::CounterLibrarySymbol(library, "PdhOpenQueryA"),
                                      &query, &status));
  ASSERT_EQ(platform::kCounterSuccess, status);
  platform::CallAddCounter(platform::CounterLibrarySymbol(library, "PdhAddCounterA"), query,
                           kProcessorTotalCounterPath, &counter, &status);
  ASSERT_EQ(platform::kCounterSuccess, status);
  FormattedValue value{};
  EXPECT_NE(platform::kCounterSuccess, format(counter, 0x200, nullptr, &value));  // one sample

  // 300 more busy ticks (user, system) out of 1000: 30 percent.
  std::ofstream("stats") << "cpu  250 0 250 1300 200 0 0 0 0 0\n";
  EXPECT_EQ(platform::kCounterSuccess, collect(query));
  EXPECT_EQ(platform::kCounterSuccess, format(counter, 0x200, nullptr, &value));
  EXPECT_DOUBLE_EQ(30.0, value.value);

  platform::CallCloseQuery(platform::CounterLibrarySymbol(library, "PdhCloseQuery"), query,
                           &status);
  EXPECT_EQ(platform::kCounterSuccess, status);
  EXPECT_NE(platform::kCounterSuccess, collect(query));  // closing it took its counter along
  EXPECT_NE(platform::kCounterSuccess, format(counter, 0x200, nullptr, &value));
  platform::OverrideCounterSource(nullptr);
}

TEST(BuiltInCounterLibrary, AFullTableClosesItsOldestQueryWithItsCounters) {
  platform::LibraryHandle library = platform::OpenCounterLibrary();
  auto symbol = [&](const char *name) { return platform::CounterLibrarySymbol(library, name); };
  auto collect =
      reinterpret_cast<uint32_t (*)(platform::CounterHandle)>(symbol("PdhCollectQueryData"));
  auto remove = reinterpret_cast<uint32_t (*)(platform::CounterHandle)>(symbol("PdhRemoveCounter"));
  ASSERT_TRUE(collect && remove);
  // One more than the table holds: the first query goes, whatever earlier tests left open.
  constexpr int kQueries = 9;
  platform::CounterHandle queries[kQueries] = {}, counters[kQueries] = {};
  platform::CounterStatus status = 1;
  for (int i = 0; i < kQueries; ++i) {
    platform::CallOpenQuery(symbol("PdhOpenQueryA"), &queries[i], &status);
    ASSERT_EQ(platform::kCounterSuccess, status) << i;
    platform::CallAddCounter(symbol("PdhAddCounterA"), queries[i], kProcessorTotalCounterPath,
                             &counters[i], &status);
    ASSERT_EQ(platform::kCounterSuccess, status) << i;
  }
  EXPECT_NE(platform::kCounterSuccess, collect(queries[0]));
  EXPECT_NE(platform::kCounterSuccess, remove(counters[0]));
  EXPECT_EQ(platform::kCounterSuccess, remove(counters[1]));
  for (int i = 1; i < kQueries; ++i) {
    EXPECT_EQ(platform::kCounterSuccess, collect(queries[i])) << i;
    platform::CallCloseQuery(symbol("PdhCloseQuery"), queries[i], &status);
    EXPECT_EQ(platform::kCounterSuccess, status) << i;
  }
  // Handles are never reused: the new query in its slot did not revive the old one.
  platform::CallCloseQuery(symbol("PdhCloseQuery"), queries[0], &status);
  EXPECT_NE(platform::kCounterSuccess, status);
}
#endif

}  // namespace
