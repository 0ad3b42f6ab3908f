// Runs the benchmarks and prints, after Google Benchmark's table, each one against its floor (the
// least that work can cost) and the cost per entry of the large engine settings files.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

// A benchmark and the floor it is compared with.
struct Ratio {
  const char *name;
  const char *floor;
};

const Ratio kRatios[] = {
    {"BM_FrameWithinPeriod", "BM_MinimalHook"},
    {"BM_FrameEndingPeriod", "BM_MinimalHook"},
    {"BM_ClientConnectLongMessages", "BM_DeliverJoinMessagesFloor"},
    {"BM_MapStartWithSampleFiles", "BM_MapStartFilesFloor"},
    {"BM_LogLineThroughSwitch", "BM_OpenAppendCloseFloor"},
};

// Map starts whose engine.cfgs holds that many entries; the one with none is their floor.
const char kEntriesBenchmark[] = "BM_MapStartWithEngineEntries";
const int kEntryCounts[] = {1000, 10000};

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run> &runs) override {
    ConsoleReporter::ReportRuns(runs);
    // With repetitions the median stands for the benchmark; without, its single run.
    for (const Run &run : runs) {
      if (run.error_occurred) continue;
      std::string name = run.benchmark_name();
      const std::string median = "_median";
      bool isMedian = name.size() > median.size() &&
                      name.compare(name.size() - median.size(), median.size(), median) == 0;
      if (isMedian) {
        name.resize(name.size() - median.size());
      } else if (run.run_type == Run::RT_Aggregate) {
        continue;
      }
      if (isMedian || medians_.count(name) == 0) nanoseconds_[name] = Nanoseconds(run);
      if (isMedian) medians_.insert(name);
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\n");
    for (const Ratio &ratio : kRatios) {
      if (!Known(ratio.name) || !Known(ratio.floor)) continue;
      std::printf("%-30s / %-28s = %6.2f\n", ratio.name, ratio.floor,
                  nanoseconds_[ratio.name] / nanoseconds_[ratio.floor]);
    }
    const std::string none = std::string(kEntriesBenchmark) + "/0";
    if (!Known(none)) return;
    std::vector<double> perEntry;
    for (int entries : kEntryCounts) {
      const std::string name = std::string(kEntriesBenchmark) + "/" + std::to_string(entries);
      if (!Known(name)) continue;
      perEntry.push_back((nanoseconds_[name] - nanoseconds_[none]) / entries);
      std::printf("%-30s   %6.1f ns per entry beyond the map start without entries\n", name.c_str(),
                  perEntry.back());
    }
    if (perEntry.size() == 2 && perEntry[0] > 0.0) {
      std::printf("%-30s   per entry at 10,000 / per entry at 1,000 = %.2f\n", kEntriesBenchmark,
                  perEntry[1] / perEntry[0]);
    }
  }

 private:
  bool Known(const std::string &name) const { return nanoseconds_.count(name) != 0; }

  // Real time per iteration in nanoseconds, whatever unit the benchmark reports in.
  static double Nanoseconds(const Run &run) {
    return run.GetAdjustedRealTime() * 1e9 / benchmark::GetTimeUnitMultiplier(run.time_unit);
  }

  std::map<std::string, double> nanoseconds_;
  std::set<std::string> medians_;
};

}  // namespace

int main(int argc, char **argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
