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
    // Pacing alone: the frame's anatomy keeps hooks of its own in the engine's chains.
    server_->Command("qrv_vemtark_anatomy 0");
    for (const std::string &setting : settings) server_->Command(setting);
    server_->StartMap("de_dust2");
  }
  // A fresh server whose command line the plug-in reads from its map starts on.
  bool StartWithCommandLine(const char *commandLine, bool rehlds = true) {
    server_.reset();
    server_ = std::make_unique<emu::Session>(OnReHLDS(rehlds));
    if (!server_->Attach()) return false;
    Fake().SetCommandLine(commandLine);
    server_->StartServer();
    return true;
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

// Deadlines 1 ms apart from the first paced frame. A late frame runs at once and keeps the
// schedule's phase: the deadlines it missed (three at most, the rest dropped) are caught up at
// twice the target, never sooner than half an interval after the last frame; only a stall (here
// 50 ms) starts the schedule again from its arrival.
TEST_F(Pacing, WaitsForDeadlinesOnAScheduleThatNeverDrifts) {
  Start({"qrv_vemtark_pace 1", "qrv_vemtark_sysrate 1000"});
  server().RunFrames(1, 2000.0);  // starts the schedule
  const int64_t start = Fake().ClockNanoseconds();
  struct Frame {
    double arrivesAfter;  // seconds after the previous frame began
    int64_t waitsUntil;   // microseconds after the schedule's start; -1: runs at once
  };
  const Frame frames[] = {
      {0.0005, 1000},  {0.0005, 2000},  {0.0016, -1},  // 0.6 ms late: runs now, the next deadline
                                                       // stays at 4 ms
      {0.0005, -1},                                    // 0.1 ms late
      {0.0005, 5000},                                  // back on the schedule
      {0.0035, -1},  // 2.5 ms late, at 8.5 ms: the deadlines of 7 and 8 ms have passed too
      {0.0005, -1},  // half an interval after it
      {0.0002, 9500},  {0.0002, 10000}, {0.0002, 10500},  // caught up at twice the rate
      {0.0002, 11000},                                    // on the old phase again
      {0.060, -1},                   // a stall: the schedule starts again at 71 ms
      {0.0005, 72000}, {0.011, -1},  // 10 ms late, at 83 ms: seven deadlines dropped, three caught
                                     // up
      {0.0001, 83500}, {0.0001, 84000}, {0.0001, 84500}, {0.0001, 85000},
      {0.0001, 85500}, {0.0001, 86000},
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
  // The last period is the one of the table above, with its 14 late frames.
  EXPECT_EQ("pacing          on at 3000 FPS, 14 of 3935 frames late last period (ReHLDS API 3.15)",
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
       "pacing          no target: qrv_vemtark_autofps -5 is negative",
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
      {true, 4, 0, "hlds -game cstrike", 100.0,
       "[QRV] WARNING: Frame pacing cannot use this engine: it has ReHLDS API 4.0, which this "
       "version does not know, so the server runs unpaced.",
       "pacing          unavailable: this engine has ReHLDS API 4.0, which this version does not "
       "know"},
      // A loop that comes back every 1.06 ms: every frame late but those restarting the schedule.
      {true, 3, 15, "hlds -game cstrike", 1.0 / 0.00106, nullptr, "pacing          on at 1000 FPS"},
      {true, 3, 15, "hlds -game cstrike -pingboost 3", 1.0 / 0.00106, nullptr,
       "pacing          on at 1000 FPS"},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.status);
    ASSERT_TRUE(StartWithCommandLine(row.commandLine, row.rehlds));
    if (row.rehlds) server().RehldsEngine().SetApiVersion(row.major, row.minor);
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
    if (row.rehlds && row.warning != nullptr) {
      // An engine that cannot pace is asked its version, and nothing else.
      EXPECT_EQ((Texts{"CreateInterface VREHLDS_HLDS_API_VERSION001", "GetMajorVersion",
                       "GetMinorVersion"}),
                EngineCalls());
    }
    // The server runs on unpaced: the frames keep coming and the figures keep being published.
    EXPECT_NE("1.0", Var("qrv_fps"));
  }
}

// vemtark.cfg runs from the command buffer after the map's activation: its pacing and hitch
// settings hold from the map's first frame, on the first map too, not from its first period's end.
TEST_F(Pacing, TakesTheMapsConfigurationFromItsFirstFrame) {
  server_ = std::make_unique<emu::Session>(OnReHLDS());
  server().StartServer();
  server().WriteFile("cstrike/addons/qrv_vemtark/configs/vemtark.cfg",
                     "qrv_vemtark_pace 1\nqrv_vemtark_sysrate 500\nqrv_vemtark_hitch_ms 20\n");
  server().StartMap("de_dust2");
  server().RunFrames(1, 100.0);
  EXPECT_EQ(1, server().RehldsEngine().HookCount());
  EXPECT_EQ("1000", Var("sys_ticrate"));
  server().RunFrames(201, 100.0);  // the map's start-up, whose frames are never hitches
  server().RunLongFrame(0.03);
  FinishPeriod(100.0);
  EXPECT_EQ("1", Var("qrv_hitches"));
  EXPECT_EQ("pacing          on at 500 FPS", StatusLine("pacing").substr(0, 29));
}

// However pacing stops, sys_ticrate gets at once what the tick-rate rules give, or where no rule
// is left the value it had before pacing raised it: nothing of pacing's stays behind an unload.
TEST_F(Pacing, GivesTheTickRateBackWhenPacingStops) {
  enum class Stop { kSettingOff, kNoRuleLeft, kForcedDetach, kUnloadWithoutDetach };
  struct Row {
    const char *rule;
    Stop stop;
    const char *sysTicrate;  // at once; a setting changed is read at the period's end
  };
  const Row rows[] = {
      {"qrv_vemtark_sysrate 1000", Stop::kSettingOff, "1000"},
      // The adjustment steps on from its own rate before pacing (100, not the operator's 333).
      {"qrv_vemtark_autofps 500", Stop::kSettingOff, "175"},
      {"qrv_vemtark_autofps 500", Stop::kNoRuleLeft, "333"},
      {"qrv_vemtark_sysrate 1000", Stop::kForcedDetach, "1000"},
      {"qrv_vemtark_autofps 500", Stop::kForcedDetach, "333"},
      {"qrv_vemtark_autofps 500", Stop::kUnloadWithoutDetach, "333"},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(std::string(row.rule) + " stop " + std::to_string(static_cast<int>(row.stop)));
    Start({"sys_ticrate 333", "qrv_vemtark_pace 1", row.rule});
    periodEnd_ = 5.0;
    FinishPeriod(100.0);
    ASSERT_NE("333", Var("sys_ticrate"));  // raised to twice the target
    switch (row.stop) {
      case Stop::kSettingOff:
        server().Command("qrv_vemtark_pace 0");
        break;
      case Stop::kNoRuleLeft:
        server().Command("qrv_vemtark_autofps 0");
        break;
      case Stop::kForcedDetach:
        ASSERT_EQ(1, server().metamod().CallMetaDetach(PT_ANYTIME, PNL_CMD_FORCED));
        break;
      case Stop::kUnloadWithoutDetach:
        server().metamod().Unload();
        break;
    }
    if (row.stop == Stop::kSettingOff || row.stop == Stop::kNoRuleLeft) {
      // Read again at the period's end, which then decides as it did before pacing.
      while (server().engine().Time() < periodEnd_) server().RunFrames(1, 100.0);
    }
    EXPECT_EQ(row.sysTicrate, Var("sys_ticrate"));
    EXPECT_EQ(0, server().RehldsEngine().HookCount());
  }
}

// Targets pacing cannot use and a -sys_ticrate that holds its frames back are named, on the
// status screen and once a map in the log, with what to do; no figure wraps to 4294967295.
TEST_F(Pacing, NamesTheTrueReasonWhenItCannotPaceToTheTarget) {
  struct Row {
    Texts settings;
    const char *commandLine;
    const char *status;   // the pacing lines, joined with " | "
    const char *warning;  // the pacing warning of every map
  };
  const Row rows[] = {
      {{"qrv_vemtark_autofps -5"},
       "hlds",
       "pacing          no target: qrv_vemtark_autofps -5 is negative",
       "[QRV] WARNING: Frame pacing has no target: qrv_vemtark_autofps -5 is negative, so the "
       "server runs unpaced."},
      {{"qrv_vemtark_autofps 20000"},
       "hlds",
       "pacing          no target: qrv_vemtark_autofps 20000 is above 10000 FPS, the highest paced "
       "rate",
       "[QRV] WARNING: Frame pacing has no target: qrv_vemtark_autofps 20000 is above 10000 FPS, "
       "the highest rate it paces to, so the server runs unpaced."},
      {{"qrv_vemtark_sysrate 10001"},
       "hlds",
       "pacing          no target: qrv_vemtark_sysrate 10001 is above 10000 FPS, the highest paced "
       "rate",
       "[QRV] WARNING: Frame pacing has no target: qrv_vemtark_sysrate 10001 is above 10000 FPS, "
       "the highest rate it paces to, so the server runs unpaced."},
      {{"qrv_vemtark_sysrate 500"},
       "hlds -sys_ticrate 100",
       "pacing          on at 500 FPS, 0 of 0 frames late last period (ReHLDS API 3.15) | pacing "
       "held     by -sys_ticrate 100 on the command line, which the engine reads before "
       "sys_ticrate: drop it",
       "[QRV] WARNING: Frame pacing at 500 FPS is held back by -sys_ticrate 100 on the command "
       "line: ReHLDS reads that option before sys_ticrate, so the engine's frame gate stays below "
       "the target. Drop -sys_ticrate from the server's command line."},
      // High enough for the gate: nothing to say.
      {{"qrv_vemtark_sysrate 500"},
       "hlds -sys_ticrate 1000",
       "pacing          on at 500 FPS, 0 of 0 frames late last period (ReHLDS API 3.15)",
       nullptr},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.status);
    ASSERT_TRUE(StartWithCommandLine(row.commandLine));
    server().Command("qrv_vemtark_pace 1");
    for (const std::string &setting : row.settings) server().Command(setting);
    for (const char *map : {"de_dust2", "de_inferno"}) {
      server().StartMap(map);
      server().RunFrames(2, 100.0);
    }
    server().engine().TakeConsole();
    server().Command("qrv_vemtark_status");
    const std::string console = server().engine().Console();
    std::string pacing;
    for (const std::string &line : qrvtest::Lines(console)) {
      if (line.rfind("pacing", 0) != 0) continue;
      pacing += (pacing.empty() ? "" : " | ") + line;
    }
    EXPECT_EQ(row.status, pacing);
    EXPECT_EQ(std::string::npos, console.find("4294967295"));
    server().engine().TakeConsole();
    server().Command("qrv_vemtark_stats");
    EXPECT_EQ(std::string::npos, server().engine().Console().find("4294967295"));
    Texts expected;
    if (row.warning != nullptr) expected = {row.warning, row.warning};
    EXPECT_EQ(expected, PacingWarnings());
  }
  // The tick-rate line says what a negative target does rather than showing it unsigned.
  EXPECT_EQ("tick rate       follows qrv_vemtark_sysrate (pinned at 500)", StatusLine("tick rate"));
  server().Command("qrv_vemtark_sysrate 0");
  server().Command("qrv_vemtark_autofps -1");
  EXPECT_EQ(
      "tick rate       follows qrv_vemtark_autofps (target -1 FPS: a negative target steps the "
      "tick rate up every period)",
      StatusLine("tick rate"));
}

// The cause of late frames in the "cannot reach" warning: the command line's gate rather than
// the -pingboost 3 advice, and the target the late period was paced to, even when the setting
// changed before the warning was written.
TEST_F(Pacing, SaysWhichTargetWasMissedAndWhy) {
  struct Row {
    const char *commandLine;
    const char *cause;  // the warning's end
  };
  const std::string pingboost =
      " The server's loop sleeps 1 ms a pass: start it with -pingboost 3 for targets near 1000.";
  const Row rows[] = {
      {"hlds -sys_ticrate 100",
       " -sys_ticrate 100 on the command line holds the engine's frames back: drop it."},
      {"hlds", platform::kLauncherSleepsEveryPass ? pingboost.c_str() : ""},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.commandLine);
    ASSERT_TRUE(StartWithCommandLine(row.commandLine));
    server().Command("qrv_vemtark_pace 1");
    server().Command("qrv_vemtark_sysrate 500");
    server().StartMap("de_dust2");
    periodEnd_ = 5.0;
    server().RunFrames(200, 101.0);
    // Switched off before the late period ends: the warning still names what it was paced to.
    server().Command("qrv_vemtark_pace 0");
    FinishPeriod(101.0);
    Texts unreachable;
    for (const std::string &line : PacingWarnings()) {
      if (line.find("cannot reach") != std::string::npos) unreachable.push_back(line);
    }
    ASSERT_EQ(1u, unreachable.size());
    EXPECT_EQ(0u, unreachable[0].rfind("[QRV] WARNING: Frame pacing cannot reach 500 FPS: ", 0))
        << unreachable[0];
    const std::string cause = row.cause;
    EXPECT_EQ(cause, unreachable[0].substr(unreachable[0].size() - cause.size())) << unreachable[0];
  }
}

// With -pingboost 3 and sys_ticrate above 1000 the loop polls: the status names it and what pacing
// does instead, and the log says it once a map, where the engine can pace.
TEST_F(Pacing, NamesTheLoopThatPollsWithoutSleeping) {
  struct Row {
    bool rehlds;
    const char *commandLine;
    Texts settings;
    bool named;
  };
  const bool linuxLoop = platform::kLauncherSleepsEveryPass;
  const Row rows[] = {
      {true, "hlds -pingboost 3", {"qrv_vemtark_sysrate 1001"}, linuxLoop},
      {true, "hlds -pingboost 3", {"qrv_vemtark_sysrate 1000"}, false},
      {true, "hlds -pingboost 2", {"qrv_vemtark_sysrate 1001"}, false},
      {true, "hlds -pingboost 3", {"qrv_vemtark_sysrate 1001", "qrv_vemtark_pace 1"}, false},
      {false, "hlds -pingboost 3", {"qrv_vemtark_sysrate 1001"}, false},
  };
  const std::string sentence =
      "The server's loop polls without sleeping (-pingboost 3 with sys_ticrate above 1000 waits 1 "
      "us a pass and keeps a core busy): qrv_vemtark_pace 1 gives the same frame rate sleeping.";
  for (const Row &row : rows) {
    SCOPED_TRACE(row.commandLine + std::string(" ") + row.settings[0]);
    ASSERT_TRUE(StartWithCommandLine(row.commandLine, row.rehlds));
    for (const std::string &setting : row.settings) server().Command(setting);
    for (const char *map : {"de_dust2", "de_inferno"}) {
      server().StartMap(map);
      periodEnd_ = 5.0;
      FinishPeriod(100.0);
      FinishPeriod(100.0);
    }
    EXPECT_EQ(row.named ? "server loop     " + sentence : "<missing>", StatusLine("server loop"));
    Texts logged;
    for (const std::string &line : qrvtest::LogMessages(server())) {
      if (line.find("polls without sleeping") != std::string::npos) logged.push_back(line);
    }
    const std::string warning = "[QRV] WARNING: " + sentence;
    const Texts expected = row.named ? Texts{warning, warning} : Texts{};
    EXPECT_EQ(expected, logged);
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
