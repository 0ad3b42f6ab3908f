// Frame pacing against the loops servers run today, with the real clock: the release plug-in on
// an emulated ReHLDS dedicated server whose launcher sleeps the way the real launcher does and
// whose engine opens its frame gate the way the real engine does, so that what the plug-in's
// wait buys (and what spinning costs) shows as frame rate, interval percentiles and CPU time.
//
//   qrv_pacing_bench [--seconds S] [--rows abcd] [--start-at NS] [--raw]
//   qrv_pacing_bench --clock
//
// Each row warms up until the plug-in's first 4-second period of game time has ended (game time
// follows the real clock here, as on a server, so that is about 4.5 s), since only then has the
// plug-in set sys_ticrate for the row; then S seconds (3 by default) are measured.
//
// Many servers on one machine (scripts/bench_servers.sh) run one copy of this program per server,
// and the copies must measure the same seconds for their figures to show them contending:
// --clock prints CLOCK_MONOTONIC in nanoseconds, from which the caller picks a start time for all
// of them; --start-at NS keeps the server loop running after the warm-up until the monotonic clock
// reaches NS, then measures S seconds from NS. --raw prints only one line a row, fields separated
// by spaces, the problem (if any) last since it has spaces of its own:
//
//   row=a ticrate=2000 frames=2999 fps=999.9 p50_ms=1.000 p99_ms=1.050 max_ms=3.100
//   cpu_pct=5.2 slack_ms=1830 start_lag_us=12 problem=
//
// There cpu_pct is the process's CPU time over the measured window as a share of one core (all
// CPU the copy takes, as the system sees it); slack_ms is how long before the start time the
// warm-up ended (negative when it ended after it, which is a problem: that copy measured less);
// start_lag_us is how late after the start time the first measured pass began.
#include <sys/select.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "sdk/rehlds_api.h"
#include "session.h"

namespace {

constexpr int64_t kNanosecondsPerSecond = 1000000000;
// The engine hands a frame no more than this, whatever the real gap was.
constexpr double kLongestFrameSeconds = 0.25;
// Game time starts at 1 s on every map, and the plug-in's first period ends 4 s later; the rest
// lets the period's follow-up frame and the first frames at the new sys_ticrate pass.
constexpr double kWarmUpGameTime = 1.0 + 4.0 + 0.5;
// Below the stand-in's default, so the frame starts recorded come after every other hook's wait.
constexpr int kRecorderPriority = 0;

enum class LauncherLoop {
  kDefault,     // usleep(1000) every pass
  kPingboost3,  // select() with a time-out from sys_ticrate
};

struct Row {
  char key;
  const char *label;
  LauncherLoop loop;
  std::vector<std::string> settings;  // typed at the console before the map starts
  int expectedTicrate;                // what the plug-in must have set sys_ticrate to
};

const Row kRows[] = {
    {'a',
     "a. paced at 1000, -pingboost 3",
     LauncherLoop::kPingboost3,
     {"qrv_vemtark_pace 1", "qrv_vemtark_sysrate 1000"},
     2000},
    {'b',
     "b. paced at 500, default loop",
     LauncherLoop::kDefault,
     {"qrv_vemtark_pace 1", "qrv_vemtark_sysrate 0", "qrv_vemtark_autofps 500"},
     1000},
    {'c',
     "c. unpaced, default loop, 1000",
     LauncherLoop::kDefault,
     {"qrv_vemtark_pace 0", "qrv_vemtark_sysrate 1000"},
     1000},
    {'d',
     "d. unpaced, -pingboost 3, 1001",
     LauncherLoop::kPingboost3,
     {"qrv_vemtark_pace 0", "qrv_vemtark_sysrate 1001"},
     1001},
};

int64_t ReadClock(clockid_t clock) {
  timespec now{};
  clock_gettime(clock, &now);
  return static_cast<int64_t>(now.tv_sec) * kNanosecondsPerSecond + now.tv_nsec;
}

int64_t Monotonic() { return ReadClock(CLOCK_MONOTONIC); }

// sys_ticrate as the engine's (int) cast reads it, kept to values that cast is defined for.
int WholeTicrate(float ticrate) {
  if (!(ticrate > 0.0f && ticrate < 1.0e9f)) return 0;
  return static_cast<int>(ticrate);
}

// One pass's sleep of the launcher, before it asks the engine for a frame.
void LauncherSleep(LauncherLoop loop, float ticrate) {
  if (loop == LauncherLoop::kDefault) {
    usleep(1000);
    return;
  }
  // The engine's own integer arithmetic: 1 ms from 501 to 1000, and nothing but a 1 us time-out
  // above 1000, which is what makes that loop spin.
  const int rate = std::max(1, WholeTicrate(ticrate));
  long microseconds = (1000 / rate) * 1000L;
  if (microseconds <= 0) microseconds = 1;
  timeval timeout{};
  timeout.tv_sec = microseconds / 1000000;
  timeout.tv_usec = microseconds % 1000000;
  select(0, nullptr, nullptr, nullptr, &timeout);
}

// Where the recording hook writes; a hook gets no context of its own.
std::vector<int64_t> *g_frameStarts = nullptr;

void RecordFrameStart(IVoidHookChain *chain) {
  if (g_frameStarts != nullptr) g_frameStarts->push_back(Monotonic());
  chain->vtable->callNext(chain);
}

IVoidHookChainRegistry *FrameRegistry(const emu::Session &server) {
  if (!server.RehldsEngine().IsLoaded()) return nullptr;
  int returnCode = 1;
  auto *api = static_cast<IRehldsApi *>(
      server.RehldsEngine().CreateInterface(REHLDS_API_INTERFACE_VERSION, &returnCode));
  if (returnCode != 0 || api == nullptr) return nullptr;
  IRehldsHookchains *chains = api->vtable->GetHookchains(api);
  return chains != nullptr ? chains->vtable->SV_Frame(chains) : nullptr;
}

struct Result {
  bool ran = false;
  std::string problem;  // why the row's figures cannot be trusted, if they cannot
  float ticrate = 0.0f;
  double framesPerSecond = 0.0;
  double p50Milliseconds = 0.0;
  double p99Milliseconds = 0.0;
  double maxMilliseconds = 0.0;
  double cpuPercent = 0.0;         // the loop thread's, as the table has always shown it
  double processCpuPercent = 0.0;  // the whole process's, what --raw prints
  size_t frames = 0;
  double slackMilliseconds = 0.0;
  double startLagMicroseconds = 0.0;
  std::string pacingLine;
};

double Percentile(const std::vector<int64_t> &sorted, double fraction) {
  const size_t rank = static_cast<size_t>(std::ceil(fraction * static_cast<double>(sorted.size())));
  return static_cast<double>(sorted[std::max<size_t>(rank, 1) - 1]) / 1e6;
}

// The status screen's pacing line, so the table shows what the plug-in itself believed.
std::string PacingLine(emu::Session &server) {
  server.engine().TakeConsole();
  server.Command("qrv_vemtark_status");
  const std::string text = server.engine().TakeConsole();
  const size_t start = text.find("pacing ");
  if (start == std::string::npos) return "(no pacing line)";
  const size_t end = text.find('\n', start);
  return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

// The launcher's loop around the engine's gate, for as long as `keepGoing` says.
class ServerLoop {
 public:
  ServerLoop(emu::Session &server, LauncherLoop loop, const cvar_t *ticrate)
      : server_(server), loop_(loop), ticrate_(ticrate), oldRealtime_(Monotonic()) {}

  template <typename KeepGoing>
  void Run(KeepGoing keepGoing) {
    while (keepGoing()) {
      LauncherSleep(loop_, ticrate_->value);
      const int64_t realtime = Monotonic();
      const double elapsed = static_cast<double>(realtime - oldRealtime_) / 1e9;
      // The gate compares against the time read before the frame, not after it: a frame that
      // waits inside its hook leaves the gate open for the next pass.
      const double fps = std::max(0.0, static_cast<double>(ticrate_->value));
      if (elapsed < 1.0 / (fps + 1.0)) continue;
      oldRealtime_ = realtime;
      server_.RunFrames(1, 1.0 / std::min(elapsed, kLongestFrameSeconds));
    }
  }

 private:
  emu::Session &server_;
  LauncherLoop loop_;
  const cvar_t *ticrate_;
  int64_t oldRealtime_;
};

// startAt: 0 to measure as soon as the warm-up ends, else the CLOCK_MONOTONIC time to start at.
Result Measure(const Row &row, double seconds, int64_t startAt) {
  Result result;
  emu::SessionOptions options;
  options.rehldsEngine = true;  // and the release build: the real clock and real waits
  emu::Session server(options);
  if (!server.Attach()) {
    result.problem = "the plug-in did not attach";
    return result;
  }
  server.StartServer();
  for (const std::string &setting : row.settings) server.Command(setting);
  server.StartMap("de_dust2");
  const cvar_t *ticrate = server.engine().FindCvar("sys_ticrate");
  IVoidHookChainRegistry *registry = FrameRegistry(server);
  if (ticrate == nullptr || registry == nullptr) {
    result.problem = ticrate == nullptr ? "no sys_ticrate" : "no SV_Frame hook chain";
    return result;
  }
  registry->vtable->registerHook(registry, RecordFrameStart, kRecorderPriority);
  std::vector<int> priorities = server.RehldsEngine().Priorities();
  const bool recorderLast = !priorities.empty() && priorities.back() == kRecorderPriority;

  ServerLoop loop(server, row.loop, ticrate);
  loop.Run([&server] { return server.engine().Time() < kWarmUpGameTime; });
  result.ticrate = ticrate->value;
  std::string lateStart;
  if (startAt > 0) {
    // The server keeps running while it waits, as it would beside the others: a paced copy sleeps
    // and a spinning one spins, so the other copies' warm-ups already meet what they will meet.
    const int64_t warmedUp = Monotonic();
    result.slackMilliseconds = static_cast<double>(startAt - warmedUp) / 1e6;
    if (warmedUp > startAt) {
      lateStart = "the warm-up ended " + std::to_string((warmedUp - startAt) / 1000000) +
                  " ms after the start time";
    }
    loop.Run([startAt] { return Monotonic() < startAt; });
  }

  // Room for far more frames than any row runs, so recording never allocates in the loop.
  std::vector<int64_t> starts;
  starts.reserve(static_cast<size_t>(seconds * 20000.0) + 1024);
  g_frameStarts = &starts;
  const int64_t wallStart = Monotonic();
  const int64_t cpuStart = ReadClock(CLOCK_THREAD_CPUTIME_ID);
  const int64_t processCpuStart = ReadClock(CLOCK_PROCESS_CPUTIME_ID);
  // From the shared start, not from this copy's first pass, so all copies end together too.
  const int64_t wallEnd = (startAt > 0 ? startAt : wallStart) + static_cast<int64_t>(seconds * 1e9);
  if (startAt > 0) result.startLagMicroseconds = static_cast<double>(wallStart - startAt) / 1e3;
  loop.Run([wallEnd] { return Monotonic() < wallEnd; });
  const int64_t cpuUsed = ReadClock(CLOCK_THREAD_CPUTIME_ID) - cpuStart;
  const int64_t processCpuUsed = ReadClock(CLOCK_PROCESS_CPUTIME_ID) - processCpuStart;
  const int64_t wallUsed = Monotonic() - wallStart;
  g_frameStarts = nullptr;
  registry->vtable->unregisterHook(registry, RecordFrameStart);

  result.pacingLine = PacingLine(server);
  if (!recorderLast) result.problem = "frame starts recorded before another hook's wait";
  if (WholeTicrate(result.ticrate) != row.expectedTicrate) {
    result.problem = "sys_ticrate was " + std::to_string(WholeTicrate(result.ticrate)) +
                     ", expected " + std::to_string(row.expectedTicrate);
  }
  if (!server.Faults().empty()) result.problem = "emulator fault: " + server.Faults().front();
  if (!lateStart.empty()) result.problem = lateStart;
  if (starts.size() < 3) {
    result.problem =
        lateStart.empty() ? "fewer than 3 frames" : lateStart + ", fewer than 3 frames";
    return result;
  }
  std::vector<int64_t> intervals;
  intervals.reserve(starts.size() - 1);
  for (size_t index = 1; index < starts.size(); ++index) {
    intervals.push_back(starts[index] - starts[index - 1]);
  }
  std::sort(intervals.begin(), intervals.end());
  result.ran = true;
  result.framesPerSecond = static_cast<double>(intervals.size()) /
                           (static_cast<double>(starts.back() - starts.front()) / 1e9);
  result.p50Milliseconds = Percentile(intervals, 0.50);
  result.p99Milliseconds = Percentile(intervals, 0.99);
  result.maxMilliseconds = static_cast<double>(intervals.back()) / 1e6;
  result.cpuPercent = 100.0 * static_cast<double>(cpuUsed) / static_cast<double>(wallUsed);
  result.processCpuPercent =
      100.0 * static_cast<double>(processCpuUsed) / static_cast<double>(wallUsed);
  result.frames = starts.size();
  return result;
}

struct Arguments {
  double seconds = 3.0;
  std::string rows = "abcd";
  int64_t startAt = 0;
  bool raw = false;
  bool clock = false;
};

bool ParseArguments(int argc, char **argv, Arguments *arguments) {
  double *seconds = &arguments->seconds;
  for (int index = 1; index < argc; ++index) {
    const std::string argument = argv[index];
    if (argument == "--seconds" && index + 1 < argc) {
      char *end = nullptr;
      *seconds = std::strtod(argv[++index], &end);
      if (end == argv[index] || *end != '\0' || !(*seconds >= 0.1 && *seconds <= 3600.0)) {
        return false;
      }
    } else if (argument == "--rows" && index + 1 < argc) {
      arguments->rows = argv[++index];
    } else if (argument == "--start-at" && index + 1 < argc) {
      char *end = nullptr;
      const long long value = std::strtoll(argv[++index], &end, 10);
      if (end == argv[index] || *end != '\0' || value <= 0) return false;
      arguments->startAt = static_cast<int64_t>(value);
    } else if (argument == "--raw") {
      arguments->raw = true;
    } else if (argument == "--clock") {
      arguments->clock = true;
    } else {
      return false;
    }
  }
  return true;
}

void PrintRaw(const Row &row, const Result &result) {
  const std::string problem = result.ran ? result.problem : "did not run: " + result.problem;
  std::printf(
      "row=%c ticrate=%d frames=%zu fps=%.1f p50_ms=%.3f p99_ms=%.3f max_ms=%.3f cpu_pct=%.1f "
      "slack_ms=%.0f start_lag_us=%.0f problem=%s\n",
      row.key, WholeTicrate(result.ticrate), result.frames, result.framesPerSecond,
      result.p50Milliseconds, result.p99Milliseconds, result.maxMilliseconds,
      result.processCpuPercent, result.slackMilliseconds, result.startLagMicroseconds,
      problem.c_str());
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char **argv) {
  Arguments arguments;
  if (!ParseArguments(argc, argv, &arguments)) {
    std::fprintf(stderr,
                 "usage: qrv_pacing_bench [--seconds S (0.1 to 3600, default 3)] "
                 "[--rows any of abcd] [--start-at CLOCK_MONOTONIC ns] [--raw]\n"
                 "       qrv_pacing_bench --clock\n");
    return 2;
  }
  if (arguments.clock) {
    std::printf("%lld\n", static_cast<long long>(Monotonic()));
    return 0;
  }
  const double seconds = arguments.seconds;
  const std::string &rows = arguments.rows;
  if (arguments.raw) {
    bool allSound = true;
    for (const Row &row : kRows) {
      if (rows.find(row.key) == std::string::npos) continue;
      const Result result = Measure(row, seconds, arguments.startAt);
      PrintRaw(row, result);
      allSound = allSound && result.ran && result.problem.empty();
      // Later rows could not keep a start time that the first one's window has used up.
      arguments.startAt = 0;
    }
    return allSound ? 0 : 1;
  }
  std::printf(
      "\nFrame pacing on an emulated ReHLDS server, real clock: %.1f s a row after the first "
      "4-s period.\nIntervals are between frame starts; CPU is the loop thread's time over wall "
      "time.\n\n",
      seconds);
  std::printf("%-33s %11s %8s %8s %8s %8s %6s\n", "loop", "sys_ticrate", "FPS", "p50 ms", "p99 ms",
              "max ms", "CPU %");
  std::fflush(stdout);
  bool allSound = true;
  std::vector<std::string> notes;
  for (const Row &row : kRows) {
    if (rows.find(row.key) == std::string::npos) continue;
    const Result result = Measure(row, seconds, arguments.startAt);
    arguments.startAt = 0;
    if (result.ran) {
      std::printf("%-33s %11d %8.1f %8.3f %8.3f %8.3f %6.1f\n", row.label,
                  WholeTicrate(result.ticrate), result.framesPerSecond, result.p50Milliseconds,
                  result.p99Milliseconds, result.maxMilliseconds, result.cpuPercent);
    } else {
      std::printf("%-33s %s\n", row.label, "did not run");
    }
    std::fflush(stdout);
    if (!result.pacingLine.empty())
      notes.push_back(std::string(1, row.key) + ": " + result.pacingLine);
    if (!result.problem.empty()) {
      notes.push_back(std::string(1, row.key) + ": PROBLEM: " + result.problem);
      allSound = false;
    }
  }
  // The status counts late frames over the last finished period, which a run shorter than a
  // period never reaches: that one is the warm-up's.
  std::printf("\nThe plug-in's status at the end of each row%s:\n",
              seconds < 4.0 ? " (its last period is the warm-up's)" : "");
  for (const std::string &note : notes) std::printf("  %s\n", note.c_str());
  return allSound ? 0 : 1;
}
