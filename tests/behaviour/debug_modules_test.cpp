// The debug mode over debug.cfgs, debug.ini and the module files, qrv_debug, and the two
// status-box switches, through the test build (its message boxes are recorded, never shown).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "tests/plugin_fixture.h"

namespace {

using Texts = std::vector<std::string>;

const char kConfigs[] = "cstrike/addons/qrv_vemtark/configs/";
const char kDlls[] = "cstrike/addons/qrv_vemtark/dlls/";
const char kPrefix[] = "[QRV Vem-Tark] ";

class DebugModules : public ::testing::Test {
 protected:
  DebugModules() : server_(qrvtest::TestBuild()) {}

  void SetUp() override {
    server_.StartServer();
    fake_ = std::make_unique<qrvtest::FakePlatform>(server_.metamod().library());
    ASSERT_TRUE(fake_->Resolved());
    server_.engine().TakeConsole();
    server_.engine().ClearServerCommands();
    logLinesBefore_ = qrvtest::LogMessages(server_).size();
  }

  void Config(const std::string &name, const std::string &contents) {
    ASSERT_TRUE(server_.WriteFile(kConfigs + name, contents));
  }
  void Module(const std::string &name, const std::string &contents) {
    ASSERT_TRUE(server_.WriteFile(kDlls + name + ".lib", contents));
  }
  // A module file of exactly `size` bytes that declares a version.
  void SizedModule(const std::string &name, size_t size, const std::string &versionWord) {
    std::string contents = "// " + versionWord + "\n";
    contents.resize(size, 'x');
    Module(name, contents);
  }

  // The operator's answers: the prefixed console lines, without the prefix.
  Texts Answers() {
    Texts answers;
    for (const std::string &line : qrvtest::Lines(server_.engine().TakeConsole())) {
      if (line.rfind(kPrefix, 0) == 0) answers.push_back(line.substr(sizeof(kPrefix) - 1));
    }
    return answers;
  }
  Texts Queued() {
    Texts queued = server_.engine().ServerCommands();
    server_.engine().ClearServerCommands();
    return queued;
  }
  Texts NewLogMessages() {
    Texts all = qrvtest::LogMessages(server_);
    Texts fresh(all.begin() + static_cast<long>(logLinesBefore_), all.end());
    logLinesBefore_ = all.size();
    return fresh;
  }

  emu::Session server_;
  std::unique_ptr<qrvtest::FakePlatform> fake_;
  size_t logLinesBefore_ = 0;
};

TEST_F(DebugModules, BothModulesPresentRunTheFileCheckBothAndShowTheirVersions) {
  Config("debug.cfgs", "//cheats_for_debugging\nsv_cheats\n");
  Config("debug.ini", "alpha\n#beta_is_next\nbeta\n");
  SizedModule("alpha", 1500, "version=1.0");
  SizedModule("beta", 1023, "VERSION:2.1");

  server_.Command("qrv_vemtark_debug 1");
  EXPECT_EQ(
      (Texts{"QRV Debug enabled.", "Loading Debug...", "Checking Debug...",
             "Debug file: \"alpha\" Size: 1kb", "Debug file: \"beta\" Size: 0kb",
             "All engines loaded.", "Debug  loading", "alpha version: 1.0", "beta version: 2.1"}),
      Answers());
  EXPECT_EQ((Texts{"sv_cheats\n", "qrv_debug alpha\n", "qrv_debug beta\n", "meta_debug 8\n"}),
            Queued());
  EXPECT_EQ((Texts{"Debug|Check one|0", "Debug|Debug Work Now|0"}), fake_->MessageBoxes());
  EXPECT_EQ((Texts{"[QRV] LOG: Loading Debug...", "[QRV] LOG: Debug file: \"alpha\" Size: 1kb",
                   "[QRV] LOG: Debug file: \"beta\" Size: 0kb", "[QRV] LOG: All engines loaded.",
                   "[QRV] LOG: Debug enabled.", "[QRV] LOG: alpha version: 1.0",
                   "[QRV] LOG: beta version: 2.1"}),
            NewLogMessages());

  server_.Command("qrv_vemtark_debug 1");
  EXPECT_EQ(Texts{"QRV Debug already enabled."}, Answers());
  server_.Command("qrv_vemtark_debug 0");
  EXPECT_EQ(Texts{"QRV Debug disabled."}, Answers());
  EXPECT_EQ((Texts{"meta_level 1\n", "meta_debug 1\n", "amx_debug 2\n"}), Queued());
  EXPECT_EQ(Texts{"[QRV] WARNING: Debug disabled."}, NewLogMessages());
  EXPECT_TRUE(server_.Faults().empty());
}

// What goes wrong with the files, row by row: the operator's answers (including those of the
// commands the check queues), and the boxes shown.
TEST_F(DebugModules, FailedChecksSwitchTheModeOffAgain) {
  struct Case {
    const char *what;
    const char *debugCfgs;  // null: missing
    const char *debugIni;   // null: missing
    Texts answers;
    Texts boxes;
  };
  const Case cases[] = {
      {"one module missing",
       "sv_cheats",
       "alpha missing",
       {"QRV Debug enabled.", "Loading Debug...", "Checking Debug...",
        "Debug file: \"alpha\" Size: 0kb", "Debug file missing not found...",
        "Some of engine do not exist. Check debug.ini", "Debug cant find debug.ini!",
        "alpha version: 1.0", "QRV Debug disabled."},
       {"Debug|Check one|0"}},
      {"list missing",
       "sv_cheats",
       nullptr,
       {"QRV Debug enabled.", "Debug.ini does not exists! Please check files...",
        "Debug cant find debug.ini!", "QRV Debug disabled.", "QRV debug already disabled."},
       {"Debug|Check one|0"}},
      {"only comment words",
       "sv_cheats",
       "#alpha /beta // -gamma",
       {"QRV Debug enabled.", "Loading Debug...", "Checking Debug...",
        "All engines disabled or missing..", "Debug cant find debug.ini!", "QRV Debug disabled."},
       {"Debug|Check one|0"}},
      {"debug.cfgs missing", nullptr, "alpha", {"QRV Debug enabled."}, {}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    emu::Session server(qrvtest::TestBuild());
    server.StartServer();
    qrvtest::FakePlatform fake(server.metamod().library());
    if (c.debugCfgs != nullptr) server.WriteFile(kConfigs + std::string("debug.cfgs"), c.debugCfgs);
    if (c.debugIni != nullptr) server.WriteFile(kConfigs + std::string("debug.ini"), c.debugIni);
    server.WriteFile(kDlls + std::string("alpha.lib"), "name=alpha version=1.0");
    server.engine().TakeConsole();
    server.Command("qrv_vemtark_debug 1");
    Texts answers;
    for (const std::string &line : qrvtest::Lines(server.engine().TakeConsole())) {
      if (line.rfind(kPrefix, 0) == 0) answers.push_back(line.substr(sizeof(kPrefix) - 1));
    }
    EXPECT_EQ(c.answers, answers);
    EXPECT_EQ(c.boxes, fake.MessageBoxes());
    Texts log = qrvtest::LogMessages(server);
    ASSERT_FALSE(log.empty());
    if (c.debugCfgs == nullptr) {
      // The mode stays on without its command file.
      EXPECT_EQ("[QRV] ERROR: Debug.cfgs file not found.", log[log.size() - 2]);
      EXPECT_EQ("[QRV] LOG: Debug enabled.", log.back());
      server.Command("qrv_vemtark_debug 1");
      EXPECT_NE(std::string::npos,
                server.engine().TakeConsole().find("QRV Debug already enabled."));
    }
  }
}

TEST_F(DebugModules, ModuleNamesMustFitTheModulePath) {
  // "cstrike/addons/qrv_vemtark/dlls/" is 32 characters: 219 more and ".lib" make 255.
  const std::string fits(219, 'f');
  const std::string tooLong(220, 't');
  Config("debug.cfgs", "sv_cheats");
  Config("debug.ini", fits + "\n" + tooLong + "\n" + std::string(300, 'a') + "\n");
  Module(fits, "version=9");
  Module(tooLong, "version=9");

  server_.Command("qrv_vemtark_debug 1");
  Texts answers = Answers();
  ASSERT_GE(answers.size(), 8u);
  EXPECT_EQ("Debug file: \"" + fits + "\" Size: 0kb", answers[3]);
  EXPECT_EQ("Debug file " + tooLong + " not found...", answers[4]);
  // The 300-character word is read as 255 characters and the rest: neither is a module.
  EXPECT_EQ("Debug file " + std::string(255, 'a') + " not found...", answers[5]);
  EXPECT_EQ("Debug file " + std::string(45, 'a') + " not found...", answers[6]);
  EXPECT_EQ("Some of engine do not exist. Check debug.ini", answers[7]);

  server_.Command("qrv_debug " + tooLong);
  EXPECT_EQ(Texts{"Cannot open Debug library " + tooLong}, Answers());
  server_.Command("qrv_debug " + std::string(300, 'a'));
  EXPECT_EQ(Texts{"Debug file " + std::string(300, 'a') + " not listed in debug.ini!"}, Answers());
  EXPECT_TRUE(server_.Faults().empty());
}

TEST_F(DebugModules, NamesThatWouldSplitTheQueuedCommandAreNotModules) {
  Config("debug.cfgs", "sv_cheats");
  Config("debug.ini", "probe;quit\nup/../probe\nprobe\n");
  Module("probe", "version=1");
  Module("probe;quit", "version=1");
  server_.Command("qrv_vemtark_debug 0");
  server_.engine().ClearServerCommands();
  server_.engine().TakeConsole();
  server_.Command("qrv_vemtark_debug 1");
  Texts answers = Answers();
  EXPECT_NE(answers.end(),
            std::find(answers.begin(), answers.end(), "Debug file probe;quit not found..."));
  EXPECT_NE(answers.end(),
            std::find(answers.begin(), answers.end(), "Debug file up/../probe not found..."));
  for (const std::string &command : server_.engine().ServerCommands()) {
    EXPECT_EQ(std::string::npos, command.find("quit")) << command;
  }
  EXPECT_NE(server_.engine().ServerCommands().end(),
            std::find(server_.engine().ServerCommands().begin(),
                      server_.engine().ServerCommands().end(), "qrv_debug probe\n"));
}

TEST_F(DebugModules, QrvDebugLooksTheModuleUpAndPrintsItsVersion) {
  Config("debug.ini", "// modules\nALPHA beta plain empty missing\n");
  Module("alpha", "name=alpha\nversion=1.0 more=words version=2.0\n");
  Module("beta", "Version:2.1\n");
  Module("plain", "nothing to declare: ver=1.0 v3rsion=2 -version=3\n");
  Module("empty", "version=\n");
  struct Case {
    const char *line;
    Texts answers;
    Texts log;
  };
  const Case cases[] = {
      {"qrv_debug", {"Must specify name of debug module"}, {}},
      {"qrv_debug alpha", {"alpha version: 1.0"}, {"[QRV] LOG: alpha version: 1.0"}},
      {"QRV_DEBUG beta extra words", {"beta version: 2.1"}, {"[QRV] LOG: beta version: 2.1"}},
      {"qrv_debug plain", {}, {}},
      {"qrv_debug empty", {"empty version: "}, {"[QRV] LOG: empty version: "}},
      {"qrv_debug gamma", {"Debug file gamma not listed in debug.ini!"}, {}},
      {"qrv_debug missing",
       {"Cannot open Debug library missing"},
       {"[QRV] LOG: Cannot open Debug library missing"}},
      {"qrv_debug %s%n", {"Debug file %s%n not listed in debug.ini!"}, {}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.line);
    server_.Command(c.line);
    EXPECT_EQ(c.answers, Answers());
    EXPECT_EQ(c.log, NewLogMessages());
  }
  EXPECT_TRUE(Queued().empty());

  ASSERT_EQ(0, std::remove((server_.Root() + "/" + kConfigs + "debug.ini").c_str()));
  server_.Command("qrv_debug alpha");
  EXPECT_EQ(Texts{"Cannot find debug.ini"}, Answers());
}

TEST(DebugModulesOfCzero, FilesAreLookedUpUnderTheDetectedGameDirectory) {
  emu::SessionOptions options = qrvtest::TestBuild();
  options.gameDir = "czero";
  emu::Session server(options);
  server.StartServer();
  ASSERT_TRUE(server.WriteFile("czero/addons/qrv_vemtark/configs/debug.cfgs", "sv_cheats"));
  ASSERT_TRUE(server.WriteFile("czero/addons/qrv_vemtark/configs/debug.ini", "zeta"));
  ASSERT_TRUE(server.WriteFile("czero/addons/qrv_vemtark/dlls/zeta.lib", "version=0.9"));
  server.engine().TakeConsole();
  server.Command("qrv_vemtark_debug 1");
  const std::string console = server.engine().TakeConsole();
  EXPECT_NE(std::string::npos, console.find("[QRV Vem-Tark] All engines loaded.\n"));
  EXPECT_NE(std::string::npos, console.find("[QRV Vem-Tark] zeta version: 0.9\n"));
  EXPECT_EQ("[QRV] LOG: zeta version: 0.9", qrvtest::LogMessages(server, "czero").back());
}

TEST_F(DebugModules, DebugSwitchesTakeOnlyOneOrZero) {
  for (const char *line : {"qrv_vemtark_debug 2", "qrv_vemtark_debug", "messagebox 01",
                           "check_code yes", "qrv_vemtark_debug \" 1\""}) {
    SCOPED_TRACE(line);
    server_.Command(line);
    EXPECT_EQ(Texts{"Invalid value!"}, Answers());
  }
  server_.Command("qrv_vemtark_debug 0");
  EXPECT_EQ(Texts{"QRV debug already disabled."}, Answers());
  EXPECT_TRUE(Queued().empty());
  EXPECT_TRUE(fake_->MessageBoxes().empty());
  EXPECT_TRUE(NewLogMessages().empty());
}

// Both status-box switches: a second "1" in the same buffer finds the switch still on, since
// the "0" it queued runs only after both.
TEST_F(DebugModules, StatusBoxSeriesRunOnceAndSwitchThemselvesOff) {
  struct Series {
    const char *command;
    const char *enabled;
    const char *disabled;
    const char *alreadyEnabled;
    const char *alreadyDisabled;
    Texts steps;  // log line, then box text
    const char *finished;
  };
  const Series series[] = {
      {"messagebox",
       "DEBUG: BOX enabled.",
       "DEBUG: BOX disabled.",
       "DEBUG: BOX Already enabled!",
       "DEBUG: BOX  Already disabled!",
       {"DEBUG: DLL_ENTRYPOINT  Checking....", "DLL_ENTRYPOINT = Status 1",
        "DEBUG: Meta Attach  Checking....", "Meta Attach = Status 1",
        "DEBUG: Meta Init  Checking....", "Meta Init = Status 1",
        "DEBUG: Meta Detach  Checking....", "Meta Detach = Status 1",
        "DEBUG: Meta Query  Checking....", "Meta Query = Status 1",
        "DEBUG: GiveFnptrsToDll Checking....", "GiveFnptrsToDll = Status 1"},
       "DEBUG General checkingg Finished: 0-Errors, 0-Warnings."},
      {"check_code",
       "DEBUG: Code Check enabled.",
       "DEBUG: Code Check disabled.",
       "DEBUG: Code Check Already enabled!",
       "DEBUG: Code Check  Already disabled!",
       {"DEBUG: Server_GetBlendingInterface  Checking....",
        "Server_GetBlendingInterface = Status 1", "DEBUG: GetNewDLLFunctions  Checking....",
        "GetNewDLLFunctions = Status 1", "DEBUG: GetEntityAPI2_Post  Checking....",
        "GetEntityAPI2_Post = Status 1", "DEBUG: GetEntityAPI2  Checking....",
        "GetEntityAPI2 = Status 1", "DEBUG: StartFrame, StartFrameB Checking....",
        "StartFrame, StartFrameB  = Status 1",
        "DEBUG: ServerActivate, ServerDeactivate Checking....",
        "ServerActivate, ServerDeactivate = Status 1", "DEBUG: cvar_t Commands Checking....",
        "cvar_t Commands = Status 2"},
       "DEBUG General checkingg Finished: 0-Errors, 1-Warnings."},
  };
  for (const Series &s : series) {
    SCOPED_TRACE(s.command);
    const std::string command = s.command;
    server_.Command(command + " 0");
    EXPECT_EQ(Texts{s.alreadyDisabled}, Answers());

    size_t boxesBefore = fake_->MessageBoxes().size();
    server_.Command(command + " 1; " + command + " 1");
    EXPECT_EQ((Texts{s.enabled, s.alreadyEnabled, s.disabled}), Answers());
    EXPECT_EQ((Texts{command + " 0\n"}), Queued());

    Texts log = {std::string("[QRV] LOG: ") + s.enabled};
    Texts boxes;
    for (size_t index = 0; index < s.steps.size(); index += 2) {
      log.push_back("[QRV] LOG: " + s.steps[index]);
      boxes.push_back("Debug|" + s.steps[index + 1] + "|0");
    }
    log.push_back(std::string("[QRV] LOG: ") + s.finished);
    log.push_back(std::string("[QRV] LOG: ") + s.disabled);
    EXPECT_EQ(log, NewLogMessages());
    Texts allBoxes = fake_->MessageBoxes();
    EXPECT_EQ(boxes, Texts(allBoxes.begin() + static_cast<long>(boxesBefore), allBoxes.end()));
  }
}

}  // namespace
