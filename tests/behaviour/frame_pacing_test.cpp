// Frame pacing through the built binary on the emulator's stand-in ReHLDS engine, whose frames run
// through the server frame's hook chain, over the fake clock: the schedule of deadlines, the
// targets it follows, sys_ticrate while pacing and after, when the hook is in the engine's chain,
// and what the operator is told where pacing cannot work.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "tests/plugin_fixture.h"

namespace {

using Texts = std::vector<std::string>;

constexpr int64_t kMillisecond = 1000000;

emu::SessionOptions OnReHLDS(bool rehlds = true) {
  emu::SessionOptions options = qrvtest::TestBuild();
  options.rehldsEngine = rehlds;
  return options;
}

class Pacing : public ::testing::Test {
 protected:
  void Start(const Texts &settings, bool rehlds = true) {
    server_.reset();  // one engine at a time
    server_ = std::make_unique<emu::Session>(OnReHLDS(rehlds));
    server_->StartServer();
    for (const std::string &setting : settings) server_->Command(setting);
    server_->StartMap("de_dust2");
  }
  void TearDown() override {
    if (server_) {
      EXPECT_EQ(Texts{}, server_->Faults());
    }
  }
  emu::Session &server() { return *server_; }
  qrvtest::FakePlatform Fake() { return qrvtest::FakePlatform(server_->metamod().library()); }
  std::string Var(const char *name) { return server_->engine().FindCvar(name)->string; }
  std::string StatusLine(const char *start) {
    server_->engine().TakeConsole();
    server_->Command("qrv_vemtark_status");
    for (const std::string &line : qrvtest::Lines(server_->engine().Console())) {
      if (line.rfind(start, 0) == 0) return line;
    }
    return "<missing>";
  }
  // The calls into the engine's API beyond the chain's own callNext of every frame.
  Texts EngineCalls() const {
    Texts calls;
    for (const std::string &call : server_->RehldsEngine().Calls()) {
      if (call != "callNext") calls.push_back(call);
    }
    return calls;
  }
  Texts PacingWarnings() const {
    Texts lines;
    for (const std::string &line : qrvtest::LogMessages(*server_)) {
      if (line.find("pacing") != std::string::npos) lines.push_back(line);
    }
    return lines;
  }
  // Frames until the running period ends and the one after it.
  void FinishPeriod(double framesPerSecond) {
    const double end = periodEnd_;
    while (server_->engine().Time() < end) server_->RunFrames(1, framesPerSecond);
    periodEnd_ = server_->engine().Time() + 4.0;
    server_->RunFrames(1, framesPerSecond);
  }

  std::unique_ptr<emu::Session> server_;
  double periodEnd_ = 5.0;  // maps start at game time 1
};

// Deadlines 1 ms apart from the first paced frame; a frame up to one interval late runs at once
// and keeps the schedule; one later than that starts it again from its own arrival, so that the
// frames after it do not rush.
TEST_F(Pacing, WaitsForDeadlinesOnAScheduleThatNeverDrifts) {
  Start({"qrv_vemtark_pace 1", "qrv_vemtark_sysrate 1000"});
  server().RunFrames(1, 2000.0);  // starts the schedule
  const int64_t start = Fake().ClockNanoseconds();
  struct Frame {
    double arrivesAfter;  // seconds after the previous frame began
    int64_t waitsUntil;   // microseconds after the schedule's start; -1: runs at once
  };
  const Frame frames[] = {
      {0.0005, 1000}, {0.0005, 2000},
      {0.0016, -1},    // 0.6 ms late: runs now, the next deadline stays at 4 ms
      {0.0005, -1},    // 0.1 ms late
      {0.0005, 5000},  // back on the schedule
      {0.0035, -1},    // 2.5 ms late: the schedule starts again at 8.5 ms
      {0.0005, 9500}, {0.0002, 10500},
  };
  size_t waits = Fake().WaitDeadlines().size();
  for (const Frame &frame : frames) {
    SCOPED_TRACE(frame.waitsUntil);
    server().RunFrames(1, 1.0 / frame.arrivesAfter);
    const Texts deadlines = Fake().WaitDeadlines();
    if (frame.waitsUntil < 0) {
      EXPECT_EQ(waits, deadlines.size());
      continue;
    }
    ASSERT_EQ(waits + 1, deadlines.size());
    EXPECT_EQ("until " + std::to_string(start + frame.waitsUntil * 1000), deadlines.back());
    waits = deadlines.size();
  }
  // A third of a millisecond is no whole number of nanoseconds; the schedule still keeps to it.
  // A new target starts the schedule again from the next frame.
  server().Command("qrv_vemtark_sysrate 3000");
  FinishPeriod(2000.0);
  const int64_t restart = Fake().ClockNanoseconds();
  server().RunFrames(3000, 6000.0);
  EXPECT_EQ("until " + std::to_string(restart + 1000000000), Fake().WaitDeadlines().back());
  EXPECT_EQ("pacing          on at 3000 FPS, 3 of 3998 frames late last period (ReHLDS API 3.15)",
            StatusLine("pacing"));
}

// The target is the pinned rate, else the automatic target from 50 up; while pacing, sys_ticrate
// opens the engine's gate at twice the target, and without pacing today's rules come back.
TEST_F(Pacing, FollowsTheTargetRulesAndSetsTheTickRateWhilePacing) {
  struct Row {
    Texts settings;
    const char *pacing;
    const char *sysTicrate;  // after the map's first period
    int hooks;
  };
  const Row rows[] = {
      {{"qrv_vemtark_pace 1", "qrv_vemtark_sysrate 1000"},
       "pacing          on at 1000 FPS",
       "2000",
       1},
      {{"qrv_vemtark_pace 1", "qrv_vemtark_autofps 500"},
       "pacing          on at 500 FPS",
       "1000",
       1},
      {{"qrv_vemtark_pace 1", "qrv_vemtark_sysrate 49.99", "qrv_vemtark_autofps 60"},
       "pacing          on at 60 FPS",
       "120",
       1},
      {{"qrv_vemtark_pace 1", "qrv_vemtark_autofps -5"},
       "pacing          no target: qrv_vemtark_sysrate and qrv_vemtark_autofps are off",
       "175",  // today's rule reads a negative target as a huge one and steps up
       0},
      {{"qrv_vemtark_pace 0", "qrv_vemtark_sysrate 1000"}, "pacing          off", "1000", 0},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.pacing);
    Start(row.settings);
    periodEnd_ = 5.0;
    EXPECT_EQ(row.hooks, server().RehldsEngine().HookCount());
    EXPECT_EQ(row.pacing, StatusLine("pacing").substr(0, std::string(row.pacing).size()));
    if (row.hooks == 1) {
      // A paced map opens the engine's gate from its start, not from its first period's end.
      EXPECT_EQ(row.sysTicrate, Var("sys_ticrate"));
    }
    FinishPeriod(100.0);
    EXPECT_EQ(row.sysTicrate, Var("sys_ticrate"));
  }
  // Pacing switched off at a period's end: the hook leaves the chain and the next decision is
  // today's again.
  Start({"qrv_vemtark_pace 1", "qrv_vemtark_sysrate 1000"});
  FinishPeriod(100.0);
  EXPECT_EQ("2000", Var("sys_ticrate"));
  server().Command("qrv_vemtark_pace 0");
  FinishPeriod(100.0);
  EXPECT_EQ(0, server().RehldsEngine().HookCount());
  EXPECT_EQ("1000", Var("sys_ticrate"));
  EXPECT_EQ("2000", Var("qrv_ticrate"));
}

// The engine's tables are called only once pacing is on, the version first; the hook is in the
// chain only while pacing, and out of it at detach and unload.
TEST_F(Pacing, CallsTheEngineOnlyWhilePacingAndLeavesItsChainAtDetachAndUnload) {
  Start({});
  FinishPeriod(100.0);
  // At attach the factory, and nothing else.
  EXPECT_EQ(Texts{"CreateInterface VREHLDS_HLDS_API_VERSION001"}, EngineCalls());
  server().RehldsEngine().ClearCalls();
  server().Command("qrv_vemtark_pace 1");
  server().Command("qrv_vemtark_sysrate 500");
  FinishPeriod(100.0);
  EXPECT_EQ((Texts{"GetMajorVersion", "GetMinorVersion", "GetHookchains", "SV_Frame",
                   "registerHook 255"}),
            EngineCalls());
  EXPECT_EQ(std::vector<int>{255}, server().RehldsEngine().Priorities());
  server().RehldsEngine().ClearCalls();
  ASSERT_EQ(1, server().metamod().CallMetaDetach(PT_ANYTIME, PNL_CMD_FORCED));
  EXPECT_EQ(0, server().RehldsEngine().HookCount());
  EXPECT_EQ(Texts{"unregisterHook"}, EngineCalls());

  // Unloaded without a detach: the hook leaves the chain while the library goes away.
  Start({"qrv_vemtark_pace 1", "qrv_vemtark_sysrate 500"});
  EXPECT_EQ(1, server().RehldsEngine().HookCount());
  server().metamod().Unload();
  EXPECT_EQ(0, server().RehldsEngine().HookCount());
  server().RehldsEngine().RunFrame([] {});  // the engine runs on, calling nothing of ours
}

TEST_F(Pacing, SaysOnceAMapWhyItCannotPace) {
  struct Row {
    bool rehlds;
    int major, minor;
    const char *commandLine;
    double framesPerSecond;
    const char *warning;
    const char *status;
  };
  const std::string unreachable = "[QRV] WARNING: Frame pacing cannot reach 1000 FPS: ";
  const std::string pingboost =
      " The server's loop sleeps 1 ms a pass: start it with -pingboost 3 for targets near 1000.";
  const bool linuxLoop = platform::kLauncherSleepsEveryPass;
  const Row rows[] = {
      {false, 0, 0, "hlds -game cstrike", 100.0,
       "[QRV] WARNING: Frame pacing needs ReHLDS: this engine has no frame hook, so the server "
       "runs unpaced.",
       "pacing          unavailable: needs ReHLDS (this engine has no frame hook)"},
      {true, 3, 6, "hlds -game cstrike", 100.0,
       "[QRV] WARNING: Frame pacing needs ReHLDS API 3.7 or newer, and this engine has 3.6: the "
       "server runs unpaced.",
       "pacing          unavailable: needs ReHLDS API 3.7 or newer (ReHLDS API 3.6)"},
      // A loop that comes back every 1.06 ms: every frame late but those restarting the schedule.
      {true, 3, 15, "hlds -game cstrike", 1.0 / 0.00106, nullptr, "pacing          on at 1000 FPS"},
      {true, 3, 15, "hlds -game cstrike -pingboost 3", 1.0 / 0.00106, nullptr,
       "pacing          on at 1000 FPS"},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.status);
    server_.reset();
    server_ = std::make_unique<emu::Session>(OnReHLDS(row.rehlds));
    ASSERT_TRUE(server().Attach());
    Fake().SetCommandLine(row.commandLine);
    if (row.rehlds) server().RehldsEngine().SetApiVersion(row.major, row.minor);
    server().StartServer();
    server().Command("qrv_vemtark_pace 1");
    server().Command("qrv_vemtark_sysrate 1000");
    for (const char *map : {"de_dust2", "de_inferno"}) {
      server().StartMap(map);
      periodEnd_ = 5.0;
      FinishPeriod(row.framesPerSecond);
      FinishPeriod(row.framesPerSecond);
    }
    const Texts warnings = PacingWarnings();
    ASSERT_EQ(2u, warnings.size()) << "one line a map";
    for (const std::string &line : warnings) {
      if (row.warning != nullptr) {
        EXPECT_EQ(row.warning, line);
        continue;
      }
      // "N of M frames came late in the last 4 s.", most of them late.
      unsigned late = 0, frames = 0;
      ASSERT_EQ(0u, line.rfind(unreachable, 0)) << line;
      ASSERT_EQ(2, std::sscanf(line.c_str() + unreachable.size(), "%u of %u", &late, &frames));
      EXPECT_GT(late * 10, frames * 9) << line;
      const bool named = line.find(pingboost) != std::string::npos;
      EXPECT_EQ(linuxLoop && std::string(row.commandLine).find("-pingboost 3") == std::string::npos,
                named)
          << line;
      EXPECT_EQ('.', line[line.size() - 1]);
    }
    EXPECT_EQ(row.status, StatusLine("pacing").substr(0, std::string(row.status).size()));
    if (row.major == 3 && row.minor == 6) {
      EXPECT_EQ((Texts{"CreateInterface VREHLDS_HLDS_API_VERSION001", "GetMajorVersion",
                       "GetMinorVersion"}),
                EngineCalls());
    }
    // The server runs on unpaced: the frames keep coming and the figures keep being published.
    EXPECT_NE("1.0", Var("qrv_fps"));
  }
}

}  // namespace

namespace {

// Standalone, the engine loads the plug-in as its game library: pacing finds the engine the same
// way, and the hook leaves the chain when the library is unloaded.
TEST(PacingStandalone, PacesAndLeavesTheChainAtUnload) {
  emu::SessionOptions options = OnReHLDS();
  options.host = emu::HostMode::kStandalone;
  emu::Session server(options);
  server.StartServer();
  server.Command("qrv_vemtark_pace 1");
  server.Command("qrv_vemtark_autofps 250");
  server.StartMap("de_dust2");
  EXPECT_EQ(std::vector<int>{255}, server.RehldsEngine().Priorities());
  const qrvtest::FakePlatform fake(server.standalone().library());
  server.RunFrames(2, 1000.0);
  EXPECT_EQ(1u, fake.WaitDeadlines().size());
  EXPECT_EQ("until " + std::to_string(fake.ClockNanoseconds()), fake.WaitDeadlines().back());
  server.standalone().Unload();
  EXPECT_EQ(0, server.RehldsEngine().HookCount());
  EXPECT_EQ(Texts{}, server.Faults());
}

}  // namespace
