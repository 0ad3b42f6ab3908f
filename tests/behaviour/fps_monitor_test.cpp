// The frame-rate engine through the built binary: start-up, the measuring periods, the tick
// rate it decides (fixed or steered) and the timer resolution it keeps.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/plugin_fixture.h"

namespace {

using ::qrvtest::FakePlatform;
using Log = std::vector<std::string>;

class FrameRate : public ::testing::Test {
 protected:
  explicit FrameRate(emu::SessionOptions options = qrvtest::TestBuild()) : server_(options) {}

  void SetUp() override {
    ASSERT_TRUE(server_.Attach());
    server_.StartServer();
    server_.StartMap("de_dust2");  // game time 1: the first period ends at 5
  }
  void TearDown() override { EXPECT_EQ(Log{}, server_.Faults()); }

  std::string Var(const char *name) {
    const cvar_t *variable = server_.engine().FindCvar(name);
    return variable != nullptr ? variable->string : "<missing>";
  }

  void Frame(double time) {
    server_.engine().SetTime(time);
    server_.Call<&DLL_FUNCTIONS::pfnStartFrame>();
  }

  // One measuring period in which `frames` frames are counted, the last one ending it.
  void Period(int frames) {
    double start = server_.engine().Time();
    for (int frame = 1; frame < frames; ++frame) Frame(start + 3.9 * frame / frames);
    Frame(start + 4.0);
  }

  emu::Session server_;
};

TEST_F(FrameRate, StartupTakesOverSysTicrateAndRegistersTheVariables) {
  struct Row {
    const char *name;
    const char *value;
    int flags;
  };
  const Row rows[] = {
      {"qrv_vemtark_autofps", "100", 0x8},
      {"qrv_vemtark_sleepsm", "3", 0x8},
      {"qrv_vemtark_join_msg", "1", 0x8},
      {"qrv_vemtark_info", "1", 0x8},
      {"qrv_vemtark_sysrate", "0", 0x8},
      {"qrv_vemtark_cpu", "0", 0x8},
      {"qrv_vemtark_cpu_mspike", "3", 0x8},
      {"qrv_vemtark_cpu_spikelevel", "75", 0x8},
      {"qrv_vemtark_cpu_timer", "2", 0x8},
      {"qrv_vemtark_version", "1.60.05A", 0xc},
      {"qrv_vemtark_engine", "0", 0x8},
      {"qrv_vemtark_proc_mdl", "0", 0x8},
      {"qrv_fps", "1.0", 0x10c},
      {"qrv_ticrate", "1.0", 0x10c},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    const cvar_t *variable = server_.engine().FindCvar(row.name);
    ASSERT_NE(nullptr, variable);
    EXPECT_STREQ(row.value, variable->string);
    EXPECT_EQ(row.flags, variable->flags);
  }
  const cvar_t *sysTicrate = server_.engine().FindCvar("sys_ticrate");
  EXPECT_STREQ("100.0", sysTicrate->string);
  // The engine's own flag stays.
  EXPECT_EQ(FCVAR_ARCHIVE | FCVAR_SERVER | FCVAR_UNLOGGED, sysTicrate->flags);
}

TEST_F(FrameRate, TheFrameEndingAPeriodCountsAndTheDivisorIsFour) {
  Period(401);
  EXPECT_EQ("100", Var("qrv_fps"));
  Period(403);
  EXPECT_EQ("100", Var("qrv_fps"));
  Period(400);
  EXPECT_EQ("100", Var("qrv_fps"));
  Period(399);
  EXPECT_EQ("99", Var("qrv_fps"));
  // A stalled server: few frames over a long time still divide by 4.
  Frame(server_.engine().Time() + 60.0);
  EXPECT_EQ("0", Var("qrv_fps"));
}

TEST_F(FrameRate, FixedRateOverridesAboveFortyNineNinetyNine) {
  server_.Command("qrv_vemtark_autofps 300");
  server_.Command("qrv_vemtark_sysrate 50");
  Period(100);
  EXPECT_EQ("50", Var("sys_ticrate"));
  EXPECT_EQ("100", Var("qrv_ticrate"));  // the decision of the period before
  Period(100);
  EXPECT_EQ("50", Var("qrv_ticrate"));
  server_.Command("qrv_vemtark_sysrate 512.9");
  Period(100);
  EXPECT_EQ("512", Var("sys_ticrate"));

  server_.Command("qrv_vemtark_sysrate 49.99");
  server_.Command("qrv_vemtark_autofps 100");
  Period(160);  // measured 40: automatic, 512 + 38
  EXPECT_EQ("550", Var("sys_ticrate"));
}

TEST_F(FrameRate, AutomaticStepsTowardTheTarget) {
  Period(160);  // measured 40 against 100: gap 60, step 38
  EXPECT_EQ("40", Var("qrv_fps"));
  EXPECT_EQ("138", Var("sys_ticrate"));
  Period(384);  // measured 96: gap 4, step 1
  EXPECT_EQ("139", Var("sys_ticrate"));
  EXPECT_EQ("138", Var("qrv_ticrate"));
  Period(412);  // measured 103: three above, one down
  EXPECT_EQ("138", Var("sys_ticrate"));
  Period(400);  // on target: step 0, written all the same
  server_.Command("sys_ticrate 333");
  Period(400);
  EXPECT_EQ("138", Var("sys_ticrate"));
}

TEST_F(FrameRate, TickRateNeverLeavesItsBounds) {
  server_.Command("qrv_vemtark_sysrate 1180");
  Period(400);
  EXPECT_EQ("1180", Var("sys_ticrate"));
  server_.Command("qrv_vemtark_sysrate 0");
  Period(160);  // 1180 + 38 = 1218 is over 1200: back to 1000
  EXPECT_EQ("1000", Var("sys_ticrate"));

  server_.Command("qrv_vemtark_sysrate 100");
  Period(400);
  server_.Command("qrv_vemtark_sysrate 0");
  Period(600);  // measured 150: 100 - 15 is under the floor
  EXPECT_EQ("100", Var("sys_ticrate"));
}

TEST_F(FrameRate, LowTargetLeavesTheTickRateAlone) {
  server_.Command("qrv_vemtark_autofps 49");
  server_.Command("sys_ticrate 77");
  Period(160);
  EXPECT_EQ("77", Var("sys_ticrate"));
  Period(160);
  EXPECT_EQ("100", Var("qrv_ticrate"));
}

TEST_F(FrameRate, NegativeTargetCountsAsAHugeOneAndStepsUp) {
  server_.Command("qrv_vemtark_autofps -5");
  Period(400);  // gap |-5 - 100| = 105: step 75 up
  EXPECT_EQ("175", Var("sys_ticrate"));
  server_.Command("qrv_vemtark_autofps -1e30");
  Period(400);
  EXPECT_EQ("250", Var("sys_ticrate"));
}

TEST_F(FrameRate, VersionComesBackEveryPeriod) {
  server_.Command("qrv_vemtark_version 9.9");
  EXPECT_EQ("9.9", Var("qrv_vemtark_version"));
  Period(100);
  EXPECT_EQ("1.60.05A", Var("qrv_vemtark_version"));
}

TEST_F(FrameRate, TimerResolutionFollowsSleepsmAndStaysBalanced) {
  FakePlatform fake(server_.metamod().library());
  ASSERT_TRUE(fake.Resolved());
  fake.SetTimerMinimum(2);
  server_.Command("qrv_vemtark_sleepsm 20");
  Period(100);
  server_.Command("qrv_vemtark_sleepsm 0");
  Period(100);
  server_.Command("qrv_vemtark_sleepsm -7");
  Period(100);
  server_.Command("qrv_vemtark_sleepsm 4.8");
  Period(100);
  EXPECT_EQ((Log{"begin 3", "end 3", "begin 10", "end 10", "begin 2", "end 2", "begin 10", "end 10",
                 "begin 4"}),
            fake.TimerEvents());
  for (int period = 0; period < 20; ++period) Period(50 + period);
  EXPECT_EQ(1, server_.metamod().CallMetaDetach(PT_ANYTIME, PNL_CMD_FORCED));
  EXPECT_TRUE(fake.TimerBalanced());
  EXPECT_EQ(2u * (1 + 4 + 20), fake.TimerEvents().size());
}

TEST_F(FrameRate, WithoutDeathmatchNothingIsCountedOrTouched) {
  FakePlatform fake(server_.metamod().library());
  server_.engine().Globals()->deathmatch = 0.0f;
  server_.Command("sys_ticrate 66");
  for (int frame = 0; frame < 3; ++frame) Period(200);
  EXPECT_EQ("1.0", Var("qrv_fps"));
  EXPECT_EQ("66", Var("sys_ticrate"));
  EXPECT_EQ((Log{"begin 3"}), fake.TimerEvents());
  server_.engine().Globals()->deathmatch = 1.0f;
  Period(200);
  EXPECT_EQ("138", Var("sys_ticrate"));
}

class AttachedDuringAMap : public FrameRate {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.Attach());
    server_.StartServer();
  }
};

TEST_F(AttachedDuringAMap, FirstFrameEndsAPeriodAtOnce) {
  EXPECT_EQ("100", Var("qrv_fps"));
  EXPECT_EQ("100", Var("qrv_ticrate"));
  Frame(250.0);
  EXPECT_EQ("0", Var("qrv_fps"));
  EXPECT_EQ("100", Var("qrv_ticrate"));
  Frame(253.9);
  Frame(254.0);
  EXPECT_EQ("0", Var("qrv_fps"));  // two frames in the new period
  Frame(300.0);
  Period(800);
  EXPECT_EQ("200", Var("qrv_fps"));
}

TEST_F(FrameRate, MapActivationStartsAFreshPeriodAndKeepsTheTickRate) {
  Period(160);
  EXPECT_EQ("138", Var("sys_ticrate"));
  server_.StartMap("de_inferno");
  EXPECT_EQ("1.0", Var("qrv_fps"));
  EXPECT_EQ("1.0", Var("qrv_ticrate"));
  Frame(4.99);
  EXPECT_EQ("1.0", Var("qrv_fps"));
  Frame(5.0);
  EXPECT_EQ("0", Var("qrv_fps"));
  EXPECT_EQ("138", Var("qrv_ticrate"));
}

// An engine that does not answer a variable lookup: the plug-in reports it and carries on.
cvar_t *(*g_realCVarGetPointer)(const char *) = nullptr;
cvar_t *CVarGetPointerWithoutTicrate(const char *name) {
  if (std::string(name) == "sys_ticrate" || std::string(name) == "qrv_vemtark_sleepsm") {
    return nullptr;
  }
  return g_realCVarGetPointer(name);
}

TEST(MissingBinding, IsReportedOnceAndItsWorkSkipped) {
  emu::Session server(qrvtest::TestBuild());
  emu::MetamodHost &host = server.metamod();
  ASSERT_TRUE(host.Load(server.PluginPath()));
  g_realCVarGetPointer = server.engine().Functions()->pfnCVarGetPointer;
  server.engine().Functions()->pfnCVarGetPointer = CVarGetPointerWithoutTicrate;
  host.CallMetaInit();
  host.CallGiveFnptrs();
  ASSERT_EQ(1, host.CallMetaQuery());
  ASSERT_EQ(1, host.CallMetaAttach());
  ASSERT_TRUE(host.RequestTables());
  server.Call<&DLL_FUNCTIONS::pfnGameInit>();
  server.StartMap("de_dust2");
  server.RunFrames(2000, 100.0);

  int errors = 0;
  for (const std::string &line : qrvtest::LogMessages(server)) {
    // The configuration files are missing too; only the binding errors count here.
    if (line.find("[QRV] ERROR: Console variable") == 0) {
      ++errors;
      EXPECT_TRUE(line.find("sys_ticrate") != std::string::npos ||
                  line.find("qrv_vemtark_sleepsm") != std::string::npos)
          << line;
    }
  }
  EXPECT_EQ(2, errors);
  EXPECT_STREQ("100", server.engine().FindCvar("sys_ticrate")->string);
  EXPECT_NE("1.0", std::string(server.engine().FindCvar("qrv_fps")->string));
  FakePlatform fake(host.library());
  EXPECT_EQ((Log{"begin 3"}), fake.TimerEvents());
  EXPECT_EQ(Log{}, server.Faults());
}

TEST(CommandLineTickRate, IsNamedInOneWarningAtStartUp) {
  struct Case {
    const char *commandLine;
    const char *warning;  // null: none
  };
  const Case cases[] = {
      {"hlds_run -game cstrike -sys_ticrate 1000 +map de_dust2",
       "[QRV] WARNING: The server was started with -sys_ticrate 1000, but QRV Vem-Tark sets the "
       "tick rate itself: drop -sys_ticrate from the command line."},
      {"hlds -game cstrike -sys_ticrate",
       "[QRV] WARNING: The server was started with -sys_ticrate (no value), but QRV Vem-Tark sets "
       "the tick rate itself: drop -sys_ticrate from the command line."},
      {"hlds -sys_ticrate %s%n%s",
       "[QRV] WARNING: The server was started with -sys_ticrate %s%n%s, but QRV Vem-Tark sets the "
       "tick rate itself: drop -sys_ticrate from the command line."},
      {"hlds -game cstrike +sys_ticrate 500 -pingboost 3", nullptr},
      {"hlds -game \"my -sys_ticrate folder\"", nullptr},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.commandLine);
    emu::Session server(qrvtest::TestBuild());
    emu::MetamodHost &host = server.metamod();
    ASSERT_TRUE(host.Load(server.PluginPath()));
    auto setCommandLine = host.library().Export<QrvFakeSetCommandLineFn>(QRV_FAKE_SET_COMMAND_LINE);
    ASSERT_NE(nullptr, setCommandLine);
    setCommandLine(c.commandLine);
    ASSERT_TRUE(server.Attach());
    Log warnings;
    for (const std::string &line : qrvtest::LogMessages(server)) {
      if (line.find("WARNING") != std::string::npos) warnings.push_back(line);
    }
    EXPECT_EQ(c.warning != nullptr ? Log{c.warning} : Log{}, warnings);
    // Nothing else changes: the tick rate is set as always.
    EXPECT_STREQ("100.0", server.engine().FindCvar("sys_ticrate")->string);
  }
}

}  // namespace
