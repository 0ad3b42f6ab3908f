// A map start as the server sees it: the configuration files read, the commands they queue, the
// warnings in the plug-in's log, the measuring period and the processor counter.
#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "tests/plugin_fixture.h"

namespace {

using Texts = std::vector<std::string>;

const char kConfigs[] = "cstrike/addons/qrv_vemtark/configs/";
const char kExec[] = "exec addons/qrv_vemtark/configs/vemtark.cfg";

// One map activation without running the command buffer, after clearing what was queued and
// logged before: what it queued and logged is then all there is.
void ActivateMap(emu::Session &server) {
  server.engine().ClearServerCommands();
  server.WriteFile(qrvtest::LogPath(), "");
  emu::Engine &engine = server.engine();
  server.Call<&DLL_FUNCTIONS::pfnServerActivate>(engine.EdictList(), engine.EdictCount(),
                                                 engine.MaxClients());
}

class MapCycle : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.Attach());
    server_.StartServer();
  }
  void TearDown() override { EXPECT_EQ(Texts{}, server_.Faults()); }

  void WriteConfig(const std::string &name, const std::string &contents) {
    ASSERT_TRUE(server_.WriteFile(kConfigs + name, contents));
  }

  void Activate() { ActivateMap(server_); }
  Texts Queued() const { return qrvtest::QueuedCommands(server_); }

  Texts Logged() const { return qrvtest::LogMessages(server_); }

  emu::Session server_;
};

// Only vemtark.cfg present, so that the log shows the configuration's own lines.
struct LoadCase {
  const char *name;
  std::optional<std::string> settings;  // vemtark.ini; missing when empty
  std::optional<std::string> engine;    // engine.cfgs; missing when empty
  Texts queued;                         // after the exec command
  Texts logged;                         // after "Server reads configs files..."
};

const char kEngineMissing[] = "[QRV] ERROR: Engine cfg file not found.";
const char kEngineDisabled[] = "[QRV] ERROR: Disabled Engine.";
const char kIniMissing[] = "[QRV] ERROR: Ini file not found. Loading defaults";
const char kEngineProc[] = "[QRV] LOG: Engine proc MDLs.";

const std::string kHundred(100, 'a');
const std::string kThreeHundred(300, 'b');

const LoadCase kLoadCases[] = {
    {"settings keys answered once per word, values ignored",
     "CPU_AUTREG 3\nCPU_AUTREG 1\nRUN\nCPU_FPS_FNSPDREG on\n/SYS_IF\n\"HPK_FNCN x\"\ncpu_autreg\n",
     std::nullopt,
     {},
     {"[QRV] WARNING: NOT FOUND CPU_AUTREG", "[QRV] WARNING: NOT FOUND CPU_AUTREG",
      "[QRV] WARNING: NOT FOUND RUN FUNCTION", "[QRV] WARNING: NOT FOUND FPS_CPU_FNSPDREG",
      "[QRV] WARNING: NOT FOUND HPK_FNCN", kEngineMissing, kEngineDisabled}},
    {"every settings key in table order",
     "RUN FPS_PRLTB FPS_SPDHX_DELAY FPS_LOSSCHOKEST FPS_WIN32 FPS_LCSPDXGFDGRT_X "
     "FPS_LCSPDXGFDGRT_Y FPS_LCSPDXGFDGRT_Z CPU_FNSP CPU_PREPROC CPU_MINSLPX CPU_SPKLVL "
     "CPU_SPKMAX CPU_PROCLVL CPU_PREPROCREST ENGINE_FNCN CMD_FNCN SYS_IF",
     std::nullopt,
     {},
     {"[QRV] WARNING: NOT FOUND RUN FUNCTION",
      "[QRV] WARNING: NOT FOUND FPS_PRLTB",
      "[QRV] WARNING: NOT FOUND FPS_SPDHX_DELAY",
      "[QRV] WARNING: NOT FOUND FPS_LOSSCHOKEST",
      "[QRV] WARNING: NOT FOUND FPS_WIN32",
      "[QRV] WARNING: NOT FOUND FPS_LCSPDXGFDGRT_X",
      "[QRV] WARNING: NOT FOUND FPS_LCSPDXGFDGRT_Y",
      "[QRV] WARNING: NOT FOUND FPS_LCSPDXGFDGRT_Z",
      "[QRV] WARNING: NOT FOUND CPU_FNSP",
      "[QRV] WARNING: NOT FOUND CPU_PREPROC",
      "[QRV] WARNING: NOT FOUND CPU_MINSLPX",
      "[QRV] WARNING: NOT FOUND CPU_SPKLVL",
      "[QRV] WARNING: NOT FOUND CPU_SPKMAX",
      "[QRV] WARNING: NOT FOUND CPU_PROCLVL",
      "[QRV] WARNING: NOT FOUND CPU_PREPROCREST",
      "[QRV] WARNING: NOT FOUND ENGINE_FNCN",
      "[QRV] WARNING: NOT FOUND CMD_FNCN",
      "[QRV] WARNING: NOT FOUND SYS_IF",
      kEngineMissing,
      kEngineDisabled}},
    {"server section: its switch, and the warning of its plus entry",
     std::nullopt,
     "[SERVER]\n+server\n",
     {"qrv_vemtark_sepd 1"},
     {kIniMissing, "[QRV] WARNING: NOT FOUND +server"}},
    {"the plug-in's own section switches itself off again",
     std::nullopt,
     "[VEMTARK]\n-vemtark\nother\n",
     {"qrv_vemtark_fepd 1", "qrv_vemtark_fepd 0", "qrv_vemtark_fepd 1"},
     {kIniMissing, "[QRV] WARNING: NOT FOUND -vemtark"}},
    {"every section queues its command for every entry",
     std::nullopt,
     "[FPS] +fps -fps [CPU] +cpu [PING] -ping [METAMOD] +meta [AMXX] -amxx [QRVBOTS] +qrvbots "
     "x",
     {"qrv_vemtark_engine_check 1", "qrv_vemtark_engine_check 1", "qrv_vemtark_engine_test 1",
      "qrv_vemtark_engine 1", "qrv_vemtark_xepd 1", "qrv_vemtark_yepd 1", "qrv_vemtark_zepd 1",
      "qrv_vemtark_zepd 1"},
     {kIniMissing, "[QRV] WARNING: NOT FOUND +fps", "[QRV] WARNING: NOT FOUND -fps",
      "[QRV] WARNING: NOT FOUND +cpu", "[QRV] WARNING: NOT FOUND -ping",
      "[QRV] WARNING: NOT FOUND +meta", "[QRV] WARNING: NOT FOUND -amxx",
      "[QRV] WARNING: NOT FOUND +qrvbots"}},
    {"headers are case-sensitive: [fps] is an entry",
     std::nullopt,
     "[FPS]\n[fps]\n",
     {"qrv_vemtark_engine_check 1"},
     {kIniMissing}},
    {"engine entries are plain server commands, one per word",
     std::nullopt,
     "[ENGINE]\nsv_gravity 800\n%n%s%s\n",
     {"sv_gravity", "800", "%n%s%s"},
     {kIniMissing, kEngineProc, kEngineProc, kEngineProc}},
    {"long engine entries are cut to 79 characters; 300 characters are two words",
     std::nullopt,
     "[ENGINE]\n" + kHundred + "\n" + kThreeHundred + "\n",
     {kHundred.substr(0, 79), kThreeHundred.substr(0, 79), std::string(45, 'b')},
     {kIniMissing, kEngineProc, kEngineProc, kEngineProc}},
    {"a file without a final line break",
     std::nullopt,
     "[PING]\n+ping",
     {"qrv_vemtark_engine 1"},
     {kIniMissing, "[QRV] WARNING: NOT FOUND +ping"}},
};

TEST(MainConfiguration, LoadingQueuesAndWarnsInFileOrder) {
  for (const LoadCase &loadCase : kLoadCases) {
    SCOPED_TRACE(loadCase.name);
    emu::Session server(qrvtest::TestBuild());
    ASSERT_TRUE(server.Attach());
    server.StartServer();
    auto write = [&](const char *name, const std::optional<std::string> &contents) {
      if (contents) {
        ASSERT_TRUE(server.WriteFile(std::string(kConfigs) + name, *contents));
      }
    };
    write("vemtark.cfg", "sv_maxspeed 320\n");
    write("vemtark.ini", loadCase.settings);
    write("engine.cfgs", loadCase.engine);
    Texts queued = loadCase.queued;
    Texts logged = loadCase.logged;
    ActivateMap(server);

    queued.insert(queued.begin(), kExec);
    logged.insert(logged.begin(), "[QRV] LOG: Server reads configs files...");
    EXPECT_EQ(queued, qrvtest::QueuedCommands(server));
    EXPECT_EQ(logged, qrvtest::LogMessages(server));
    EXPECT_EQ(Texts{}, server.Faults());
  }
}

TEST_F(MapCycle, WithAllThreeFilesMissingOnlyTheExecIsQueued) {
  Activate();
  EXPECT_EQ(Texts{kExec}, Queued());
  EXPECT_EQ((Texts{"[QRV] LOG: Server reads configs files...",
                   "[QRV] ERROR: Configuration file not found.", kIniMissing, kEngineMissing,
                   kEngineDisabled}),
            Logged());
  // The echo reaches the operator too.
  EXPECT_NE(std::string::npos, server_.engine().Console().find("[QRV] ERROR: Disabled Engine."));
}

TEST_F(MapCycle, EntriesBeforeTheFirstHeaderBelongToTheSectionOfThePreviousMap) {
  WriteConfig("engine.cfgs", "+fps\n[FPS]\nx\n[SERVER]\n");
  Activate();
  EXPECT_EQ((Texts{kExec, "qrv_vemtark_engine_check 1"}), Queued());
  server_.Call<&DLL_FUNCTIONS::pfnServerDeactivate>();  // its summary, before the log is cleared
  Activate();
  EXPECT_EQ((Texts{kExec, "qrv_vemtark_sepd 1", "qrv_vemtark_engine_check 1"}), Queued());
  EXPECT_EQ((Texts{"[QRV] LOG: Server reads configs files...",
                   "[QRV] ERROR: Configuration file not found.", kIniMissing}),
            Logged());
}

TEST_F(MapCycle, BinaryFilesAreReadWithoutHarm) {
  // Every byte but the separators and Ctrl-Z (which ends a file read in text mode on Windows),
  // a zero byte in the middle: one word, of which the text before the zero counts.
  std::string word;
  for (int byte = 0x21; byte <= 0xff; ++byte) word += static_cast<char>(byte);
  word += '\0';
  for (int byte = 0x01; byte <= 0x08; ++byte) word += static_cast<char>(byte);
  const std::string binary = word + "\n" + word + " " + word;
  WriteConfig("vemtark.cfg", binary);
  WriteConfig("vemtark.ini", binary);
  WriteConfig("engine.cfgs", "[ENGINE]\n" + binary);
  Activate();
  const std::string entry = word.substr(0, 79);
  EXPECT_EQ((Texts{kExec, entry, entry, entry}), Queued());
  EXPECT_EQ(
      (Texts{"[QRV] LOG: Server reads configs files...", kEngineProc, kEngineProc, kEngineProc}),
      Logged());
}

TEST_F(MapCycle, QueuedSwitchCommandsTakeEffectWhenTheBufferRuns) {
  WriteConfig("vemtark.cfg", "echo from_the_server_file\n");
  WriteConfig("engine.cfgs", "[SERVER]\nx\ny\n[VEMTARK]\n+vemtark\n");
  server_.engine().TakeConsole();
  server_.StartMap("de_dust2");
  std::string console = server_.engine().TakeConsole();
  size_t executed = console.find("from_the_server_file");
  size_t enabled = console.find("[QRV Vem-Tark] QRV Vem-Tark S EPD enabled.\n");
  size_t already = console.find("[QRV Vem-Tark] QRV Vem-Tark S EPD already enabled.\n");
  size_t fEnabled = console.find("[QRV Vem-Tark] QRV Vem-Tark F EPD enabled.\n");
  size_t fDisabled = console.find("[QRV Vem-Tark] QRV Vem-Tark F EPD disabled.\n");
  ASSERT_NE(std::string::npos, executed) << console;
  ASSERT_NE(std::string::npos, enabled) << console;
  ASSERT_NE(std::string::npos, already) << console;
  ASSERT_NE(std::string::npos, fEnabled) << console;
  ASSERT_NE(std::string::npos, fDisabled) << console;
  EXPECT_LT(executed, enabled);
  EXPECT_LT(enabled, already);
  EXPECT_LT(fEnabled, fDisabled);
}

TEST_F(MapCycle, ActivationRestartsTheMeasuringPeriodAfterTheConfiguration) {
  server_.StartMap("de_dust2");
  server_.RunFrames(800, 100.0);
  EXPECT_STREQ("100", server_.engine().FindCvar("qrv_fps")->string);
  server_.StartMap("de_inferno");  // game time starts at 1 again
  EXPECT_STREQ("1.0", server_.engine().FindCvar("qrv_fps")->string);
  EXPECT_STREQ("1.0", server_.engine().FindCvar("qrv_ticrate")->string);
  server_.RunFrames(399, 100.0);  // game time 4.99: the period is still running
  EXPECT_STREQ("1.0", server_.engine().FindCvar("qrv_fps")->string);
  server_.RunFrames(1, 100.0);  // 5.0: four seconds after the activation
  EXPECT_STREQ("100", server_.engine().FindCvar("qrv_fps")->string);
  EXPECT_STREQ("100", server_.engine().FindCvar("qrv_ticrate")->string);
}

TEST_F(MapCycle, ANormalMapOpensAndClosesTheCounterSilently) {
  server_.StartMap("de_dust2");
  server_.RunFrames(10, 100.0);
  server_.WriteFile(qrvtest::LogPath(), "");
  server_.EndMap();
  server_.StartMap("de_inferno");
  for (const std::string &line : Logged()) {
    EXPECT_EQ(std::string::npos, line.find("Monitor")) << line;
  }
}

TEST_F(MapCycle, AMapEndWithoutAStartWarnsAndShowsNoBox) {
  emu::Session server(qrvtest::TestBuild());
  ASSERT_TRUE(server.Attach());
  server.StartServer();
  qrvtest::FakePlatform fake(server.metamod().library());
  ASSERT_TRUE(fake.Resolved());
  server.WriteFile(qrvtest::LogPath(), "");
  // Loaded during a running map: the first thing the plug-in sees of it is its end.
  server.Call<&DLL_FUNCTIONS::pfnServerDeactivate>();
  EXPECT_EQ((Texts{"[QRV] WARNING: Close Error", "[QRV] WARNING: Win Monitor problem (ID:2)"}),
            qrvtest::LogMessages(server));
  EXPECT_EQ(Texts{}, fake.MessageBoxes());
}

// What an operator who installs the package sees at a map start: not one warning, although the
// shipped settings file still lists every key, silenced; the tests' copy reads every key.
TEST_F(MapCycle, TheShippedFilesStartAMapQuietlyAndListEveryKeyTheTestsRead) {
  ASSERT_TRUE(server_.CopyIntoAddon(QRV_SOURCE_DIR "/addons/qrv_vemtark/configs", "configs"));
  server_.WriteFile(qrvtest::LogPath(), "");
  server_.StartMap("de_dust2");
  server_.RunFrames(10, 100.0);
  EXPECT_FALSE(Logged().empty());
  for (const std::string &line : Logged()) {
    EXPECT_EQ(std::string::npos, line.find("WARNING")) << line;
  }

  const std::string shipped = server_.ReadFile(kConfigs + std::string("vemtark.ini"));
  std::ifstream fixture(QRV_SOURCE_DIR "/tests/fixtures/configs/vemtark.ini");
  std::string line;
  int keys = 0;
  while (std::getline(fixture, line)) {
    if (line.empty() || line[0] == '/') continue;
    ++keys;
    const std::string key = line.substr(0, line.find(' '));
    EXPECT_NE(std::string::npos, shipped.find("\n/" + key + " ")) << key << " is not listed";
  }
  ASSERT_TRUE(server_.CopyIntoAddon(QRV_SOURCE_DIR "/tests/fixtures/configs", "configs"));
  server_.WriteFile(qrvtest::LogPath(), "");
  server_.EndMap();
  server_.StartMap("de_inferno");
  int notFound = 0;
  for (const std::string &logged : Logged())
    notFound += logged.find("NOT FOUND") != std::string::npos;
  EXPECT_EQ(21, keys);
  EXPECT_EQ(keys, notFound);
}

// Where the processor counter cannot be had: on Windows when pdh.dll is missing; elsewhere the
// counter library is built in, and it is the kernel's statistics that can be missing.
struct CounterLossCase {
  const char *name;
  const char *source;
  bool onWindows;
};

const CounterLossCase kCounterLossCases[] = {
    {"LibraryMissing", "qrv_no_such_pdh.dll", true},
    {"StatisticsMissing", "no-such-dir/stat", false},
};

class CounterLoss : public ::testing::TestWithParam<CounterLossCase> {};

TEST_P(CounterLoss, EveryMapStartAndEndWarnsAfterTheConfigurationAndTheServerRunsOn) {
#if defined(_WIN32)
  const bool windows = true;
#else
  const bool windows = false;
#endif
  if (GetParam().onWindows != windows) {
    GTEST_SKIP() << (windows ? "pdh.dll reads no statistics file"
                             : "the counter library is built into the plug-in here");
  }
  emu::Session server(qrvtest::TestBuild());
  ASSERT_TRUE(server.Attach());
  qrvtest::FakePlatform fake(server.metamod().library());
  ASSERT_TRUE(fake.Resolved());
  fake.SetCounterSource(GetParam().source);
  server.StartServer();
  const Texts mapStart = {"[QRV] LOG: Server reads configs files...",
                          "[QRV] ERROR: Configuration file not found.",
                          kIniMissing,
                          kEngineMissing,
                          kEngineDisabled,
                          "[QRV] WARNING: Win Monitor problem (ID:1)"};
  for (const char *map : {"de_dust2", "de_inferno"}) {
    SCOPED_TRACE(map);
    server.WriteFile(qrvtest::LogPath(), "");
    server.StartMap(map);
    EXPECT_EQ(mapStart, qrvtest::LogMessages(server));
    server.RunFrames(500, 100.0);
    EXPECT_STREQ("100", server.engine().FindCvar("qrv_fps")->string);
    server.WriteFile(qrvtest::LogPath(), "");
    server.EndMap();
    // The map's summary, without a processor figure, comes before the counter's warning.
    EXPECT_EQ((Texts{"[QRV] LOG: Map " + std::string(map) +
                         " ran 0:05: 100.0 FPS on average (lowest 4 s: 100.0), longest frame 10.0 "
                         "ms, 0 hitches, processor n/a, up to 0 players.",
                     "[QRV] WARNING: Win Monitor problem (ID:2)"}),
              qrvtest::LogMessages(server));
  }
  const std::string console = server.engine().Console();
  EXPECT_NE(std::string::npos, console.find("[QRV] WARNING: Win Monitor problem (ID:1)"));
  EXPECT_NE(std::string::npos, console.find("[QRV] WARNING: Win Monitor problem (ID:2)"));
  EXPECT_EQ(Texts{}, fake.MessageBoxes());
  EXPECT_EQ(Texts{}, server.Faults());
}

INSTANTIATE_TEST_SUITE_P(Maps, CounterLoss, ::testing::ValuesIn(kCounterLossCases),
                         [](const ::testing::TestParamInfo<CounterLossCase> &info) {
                           return std::string(info.param.name);
                         });

}  // namespace
