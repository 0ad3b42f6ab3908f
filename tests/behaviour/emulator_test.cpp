// The engine emulator itself: console text, the command buffer, console variables, the engine
// table, strings and edicts, the game folder, private library copies, the emulated Metamod (with
// the emulator's stub plug-in) and the standalone host. The plug-in's own tests stand on these.
#include "emulator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Texts = std::vector<std::string>;

// ---- Helpers

// What registered test commands saw, one entry per run.
Texts g_seen;

enginefuncs_t &Table() { return *emu::Engine::Current().Functions(); }

// Records the words of the running command as the engine table reports them.
void ProbeCommand() {
  const char *args = Table().pfnCmd_Args();
  std::string seen = std::to_string(Table().pfnCmd_Argc());
  for (int index = 0; index < Table().pfnCmd_Argc(); ++index) {
    seen += std::string("|") + Table().pfnCmd_Argv(index);
  }
  seen += std::string("|args=") + (args != nullptr ? args : "(null)");
  seen += std::string("|past end=") + Table().pfnCmd_Argv(Table().pfnCmd_Argc() + 3);
  g_seen.push_back(seen);
}

void MarkCommand() { g_seen.push_back(Table().pfnCmd_Argv(1)); }

// Queues another command while the buffer runs.
void ChainCommand() {
  g_seen.push_back("chain");
  char text[] = "qrv_mark queued-while-running\n";
  Table().pfnServerCommand(text);
}

void RequeueCommand() {
  char text[] = "qrv_again\n";
  Table().pfnServerCommand(text);
}

void Register(const char *name, void (*handler)()) {
  std::string writable = name;
  Table().pfnAddServerCommand(&writable[0], handler);
}

class EmulatorEngine : public ::testing::Test {
 protected:
  void SetUp() override { g_seen.clear(); }
  emu::Engine engine_;
};

const char *StubEvents(const emu::Library &library) {
  auto events = library.Export<const char *(*)()>("StubPlugin_Events");
  return events != nullptr ? events() : "(no StubPlugin_Events export)";
}

cvar_t *StubOwnValue(const emu::Library &library) {
  auto own = library.Export<cvar_t *(*)()>("StubPlugin_OwnValue");
  return own != nullptr ? own() : nullptr;
}

emu::SessionOptions StubUnder(emu::HostMode host) {
  emu::SessionOptions options;
  options.pluginPath = emu::StubPluginPath();
  options.host = host;
  return options;
}

// ---- Console text

TEST(EmulatorCommandText, SplitsWordsLikeTheEngineConsole) {
  emu::CommandWords words = emu::SplitWords("say  \"hello  world\" again  \n");
  EXPECT_EQ((Texts{"say", "hello  world", "again"}), words.argv);
  EXPECT_TRUE(words.hasArgs);
  EXPECT_EQ("\"hello  world\" again", words.args);

  words = emu::SplitWords("status // everything after is a comment");
  EXPECT_EQ(Texts{"status"}, words.argv);
  EXPECT_FALSE(words.hasArgs);

  words = emu::SplitWords("map de_dust2 // and a comment");
  EXPECT_EQ((Texts{"map", "de_dust2"}), words.argv);
  EXPECT_EQ("de_dust2", words.args);

  // Only a word that starts with // opens a comment.
  words = emu::SplitWords("url http://example.com");
  EXPECT_EQ((Texts{"url", "http://example.com"}), words.argv);

  words = emu::SplitWords("name \"unterminated text");
  EXPECT_EQ((Texts{"name", "unterminated text"}), words.argv);

  words = emu::SplitWords("empty \"\"");
  EXPECT_EQ((Texts{"empty", ""}), words.argv);
  EXPECT_TRUE(words.hasArgs);

  EXPECT_TRUE(emu::SplitWords("  \t ").argv.empty());
  EXPECT_FALSE(emu::SplitWords("alone   ").hasArgs);
}

TEST(EmulatorCommandText, BufferCommandsEndAtNewlinesAndAtSemicolonsOutsideQuotesAndComments) {
  std::string buffer = "a 1;b \"x;y\"\nc // d; e\n\nf";
  Texts commands;
  while (!buffer.empty()) commands.push_back(emu::TakeFirstCommand(&buffer));
  EXPECT_EQ((Texts{"a 1", "b \"x;y\"", "c // d; e", "", "f"}), commands);
}

TEST(EmulatorCommandText, NamesCompareWithoutRegardToCase) {
  EXPECT_TRUE(emu::SameName("QRV_Fps", "qrv_fPS"));
  EXPECT_FALSE(emu::SameName("qrv_fps", "qrv_fp"));
  EXPECT_FALSE(emu::SameName("qrv_fps", "qrv_fpt"));
}

// ---- Commands and the buffer

TEST_F(EmulatorEngine, CommandsRunWithTheirWordsWhateverTheCaseTyped) {
  Register("Qrv_Probe", &ProbeCommand);
  engine_.Command("QRV_PROBE one \"two three\"");
  engine_.Command("qrv_probe");
  EXPECT_EQ((Texts{"3|QRV_PROBE|one|two three|args=one \"two three\"|past end=",
                   "1|qrv_probe|args=(null)|past end="}),
            g_seen);

  Register("qrv_PROBE", &MarkCommand);
  engine_.Command("nosuchthing 1 2");
  EXPECT_EQ("Cmd_AddCommand: qrv_PROBE already defined\nUnknown command: nosuchthing\n",
            engine_.Console());
  engine_.Command("qrv_probe again");
  EXPECT_EQ(3u, g_seen.size()) << "the first handler keeps the name";
}

TEST_F(EmulatorEngine, QueuedCommandsWaitForTheBufferAndThoseQueuedWhileItRunsGoToItsEnd) {
  Register("qrv_mark", &MarkCommand);
  Register("qrv_chain", &ChainCommand);
  char first[] = "qrv_mark first\nqrv_chain\n";
  char last[] = "qrv_mark last\n";
  Table().pfnServerCommand(first);
  Table().pfnServerCommand(last);
  EXPECT_TRUE(g_seen.empty()) << "pfnServerCommand must not run anything";

  Table().pfnServerExecute();
  EXPECT_EQ((Texts{"first", "chain", "last", "queued-while-running"}), g_seen);
  EXPECT_EQ("", engine_.PendingBuffer());
  EXPECT_EQ(
      (Texts{"qrv_mark first\nqrv_chain\n", "qrv_mark last\n", "qrv_mark queued-while-running\n"}),
      engine_.ServerCommands());
  EXPECT_TRUE(engine_.Faults().empty());
}

TEST_F(EmulatorEngine, CommandsQueuingThemselvesForeverAreCutOffAsAFault) {
  Register("qrv_again", &RequeueCommand);
  engine_.ServerCommand("qrv_again\n");
  engine_.ExecuteBuffer();
  EXPECT_EQ("", engine_.PendingBuffer());
  ASSERT_EQ(1u, engine_.Faults().size());
  EXPECT_NE(std::string::npos, engine_.Faults()[0].find("in one pass"));
}

// ---- Console variables

TEST_F(EmulatorEngine, RegistrationLinksTheCallersRecordAndWarnsOfASecondOne) {
  static const char kInitial[] = "5.5";
  cvar_t variable = {"qrv_x", kInitial, FCVAR_SERVER, 0.0f, nullptr};
  cvar_t again = {"QRV_X", "9", 0, 0.0f, nullptr};
  Table().pfnCVarRegister(&variable);
  Table().pfnCvar_RegisterVariable(&again);

  EXPECT_EQ(&variable, Table().pfnCVarGetPointer("Qrv_X"));
  EXPECT_EQ(FCVAR_SERVER | FCVAR_EXTDLL, variable.flags);
  EXPECT_NE(kInitial, variable.string) << "the engine keeps its own copy of the text";
  EXPECT_STREQ("5.5", variable.string);
  EXPECT_FLOAT_EQ(5.5f, variable.value);
  EXPECT_STREQ("5.5", Table().pfnCVarGetString("qrv_x"));
  EXPECT_EQ("Can't register variable QRV_X, already defined\n", engine_.TakeConsole());
  EXPECT_STREQ("9", again.string) << "a refused record is left alone";

  engine_.Command("qrv_x");
  EXPECT_EQ("\"qrv_x\" is \"5.5\"\n", engine_.TakeConsole());
  engine_.Command("qrv_x 7 ignored");
  EXPECT_STREQ("7", variable.string);
  EXPECT_FLOAT_EQ(7.0f, variable.value);
  Table().pfnCVarSetFloat("qrv_x", 2.5f);
  EXPECT_STREQ("2.500000", variable.string);
  Table().pfnCVarSetFloat("qrv_x", -3.0f);
  EXPECT_STREQ("-3", variable.string);
  char text[] = "abc";
  Table().pfnCvar_DirectSet(&variable, text);
  EXPECT_STREQ("abc", variable.string);
  EXPECT_FLOAT_EQ(0.0f, variable.value);

  EXPECT_EQ(nullptr, Table().pfnCVarGetPointer("qrv_missing"));
  EXPECT_STREQ("", Table().pfnCVarGetString("qrv_missing"));
  EXPECT_FLOAT_EQ(0.0f, Table().pfnCVarGetFloat("qrv_missing"));
}

TEST_F(EmulatorEngine, EngineVariablesExistFromTheStart) {
  const cvar_t *ticrate = Table().pfnCVarGetPointer("sys_ticrate");
  ASSERT_NE(nullptr, ticrate);
  EXPECT_STREQ("100", ticrate->string);
  EXPECT_FLOAT_EQ(100.0f, ticrate->value);
  EXPECT_EQ(FCVAR_ARCHIVE, ticrate->flags);
  EXPECT_NE(nullptr, Table().pfnCVarGetPointer("hostname"));
}

TEST_F(EmulatorEngine, ServerVariableChangesAreAnnouncedToConnectedClientsUnlessUnlogged) {
  cvar_t server = {"qrv_server", "1", FCVAR_SERVER, 0.0f, nullptr};
  cvar_t quiet = {"qrv_quiet", "1", FCVAR_SERVER | FCVAR_UNLOGGED, 0.0f, nullptr};
  cvar_t secret = {"qrv_secret", "1", FCVAR_SERVER | FCVAR_PROTECTED, 0.0f, nullptr};
  cvar_t plain = {"qrv_plain", "1", 0, 0.0f, nullptr};
  for (cvar_t *variable : {&server, &quiet, &secret, &plain}) Table().pfnCVarRegister(variable);
  engine_.SetClientConnected(2, true);
  engine_.SetClientConnected(5, true);

  char two[] = "2";
  Table().pfnCvar_DirectSet(&server, two);
  Table().pfnCvar_DirectSet(&server, two);  // same text: nothing to announce
  engine_.Command("qrv_server \"3 4\"");
  Table().pfnCVarSetString("qrv_quiet", "2");
  Table().pfnCVarSetString("qrv_plain", "2");
  Table().pfnCVarSetString("qrv_secret", "hidden");

  const std::string expected =
      "\"qrv_server\" changed to \"2\"\n"
      "\"qrv_server\" changed to \"3 4\"\n"
      "\"qrv_secret\" changed to \"***PROTECTED***\"\n";
  EXPECT_EQ(expected, engine_.ClientConsole(2));
  EXPECT_EQ(expected, engine_.ClientConsole(5));
  EXPECT_EQ("", engine_.ClientConsole(3)) << "slot 3 has nobody connected";
  ASSERT_FALSE(engine_.ClientPrints(2).empty());
  EXPECT_EQ(print_console, engine_.ClientPrints(2)[0].type);
  EXPECT_STREQ("2", quiet.string);
}

// ---- The engine table, strings and edicts

TEST_F(EmulatorEngine, EveryEntryIsSetAndUnimplementedOnesRecordTheirNameAndAnswerZero) {
#define QRV_EXPECT_ENTRY_SET(index, name) EXPECT_NE(nullptr, Table().name) << #name;
  QRV_ENGINEFUNCS_ENTRIES(QRV_EXPECT_ENTRY_SET)
#undef QRV_EXPECT_ENTRY_SET

  char model[] = "models/player.mdl";
  EXPECT_EQ(0, Table().pfnPrecacheModel(model));
  char format[] = "echo %d\n";
  Table().pfnClientCommand(engine_.Edict(1), format, 5);
  EXPECT_EQ(nullptr, Table().pfnGetInfoKeyBuffer(engine_.Edict(1)));
  EXPECT_EQ(0u, Table().pfnFunctionFromName("worldspawn"));
  EXPECT_EQ(
      (Texts{"pfnPrecacheModel", "pfnClientCommand", "pfnGetInfoKeyBuffer", "pfnFunctionFromName"}),
      engine_.UnimplementedCalls());

  // Implemented ones do not show up there.
  EXPECT_EQ(1, Table().pfnIsDedicatedServer());
  char alert[] = "%s has %d\n";
  Table().pfnAlertMessage(at_console, alert, "server", 3);
  Table().pfnAlertMessage(at_logged, alert, "log", 4);
  EXPECT_EQ("server has 3\nlog has 4\n", engine_.Console());
  ASSERT_EQ(2u, engine_.Alerts().size());
  EXPECT_EQ(at_console, engine_.Alerts()[0].level);
  EXPECT_EQ("server has 3\n", engine_.Alerts()[0].text);
  EXPECT_EQ(at_logged, engine_.Alerts()[1].level);
  EXPECT_EQ("log has 4\n", engine_.Alerts()[1].text);
  EXPECT_EQ(4u, engine_.UnimplementedCalls().size());
}

TEST_F(EmulatorEngine, StringsAreOffsetsFromTheBaseThatFitAnInt) {
  const globalvars_t *globals = engine_.Globals();
  const int first = Table().pfnAllocString("de_dust2");
  const int second = Table().pfnAllocString("de_dust2");
  EXPECT_GT(first, 0);
  EXPECT_NE(first, second) << "every allocation is a copy of its own";
  EXPECT_STREQ("de_dust2", globals->pStringBase + first);
  EXPECT_EQ(globals->pStringBase + second, Table().pfnSzFromIndex(second));
  EXPECT_STREQ("", globals->pStringBase + 0);

  engine_.SetMapName("cs_office");
  EXPECT_STREQ("cs_office", globals->pStringBase + static_cast<int>(globals->mapname));
  EXPECT_LE(globals->mapname, static_cast<string_t>(INT_MAX));
  EXPECT_FLOAT_EQ(1.0f, globals->deathmatch);
  EXPECT_EQ(32, globals->maxClients);
}

TEST_F(EmulatorEngine, EdictsConvertBetweenPointerIndexAndOffset) {
  edict_t *spawned = engine_.CreateEntity("info_target");
  ASSERT_NE(nullptr, spawned);
  EXPECT_EQ(emu::Engine::kMaxClients + 1, engine_.IndexOf(spawned));
  EXPECT_STREQ("info_target", engine_.String(spawned->v.classname));
  EXPECT_STREQ("worldspawn", engine_.String(engine_.Edict(0)->v.classname));

  for (edict_t *edict : {engine_.Edict(0), engine_.Edict(1), engine_.Edict(32), spawned}) {
    const int index = Table().pfnIndexOfEdict(edict);
    SCOPED_TRACE(index);
    EXPECT_EQ(edict, edict->v.pContainingEntity);
    EXPECT_EQ(edict, Table().pfnPEntityOfEntIndex(index));
    EXPECT_EQ(edict, Table().pfnPEntityOfEntOffset(Table().pfnEntOffsetOfPEntity(edict)));
    EXPECT_EQ(&edict->v, Table().pfnGetVarsOfEnt(edict));
  }
  EXPECT_EQ(static_cast<int>(sizeof(edict_t)), Table().pfnEntOffsetOfPEntity(engine_.Edict(1)));
  EXPECT_EQ(nullptr, Table().pfnPEntityOfEntIndex(emu::Engine::kMaxClients + 2)) << "free slot";
  EXPECT_EQ(emu::Engine::kMaxClients + 2, engine_.EdictCount());

  edict_t outsider{};
  EXPECT_EQ(-1, engine_.IndexOf(&outsider));
  Table().pfnRemoveEntity(spawned);
  EXPECT_EQ(nullptr, Table().pfnPEntityOfEntIndex(emu::Engine::kMaxClients + 1));
}

TEST_F(EmulatorEngine, ClientPrintsAreKeptPerClientWithTheirType) {
  Table().pfnClientPrintf(engine_.Edict(4), print_chat, "hello\n");
  Table().pfnClientPrintf(engine_.Edict(4), print_console, "world\n");
  Table().pfnClientPrintf(engine_.Edict(0), print_console, "to the world entity\n");
  ASSERT_EQ(2u, engine_.ClientPrints(4).size());
  EXPECT_EQ(print_chat, engine_.ClientPrints(4)[0].type);
  EXPECT_EQ("hello\nworld\n", engine_.ClientConsole(4));
  EXPECT_EQ("tried to sprint to a non-client\n", engine_.Console());
}

// ---- The game folder

TEST(EmulatorSession, GameRootIsTheWorkingDirectoryForTheSessionAndGoesAwayAfterIt) {
  const fs::path before = fs::current_path();
  std::string root;
  {
    emu::Session server;
    root = server.Root();
    EXPECT_TRUE(fs::equivalent(fs::path(root), fs::current_path()));
    for (const char *folder : {"configs", "logs", "dlls"}) {
      EXPECT_TRUE(fs::is_directory(fs::path("cstrike/addons/qrv_vemtark") / folder)) << folder;
    }
    char gameDir[256] = {};
    server.engine().Functions()->pfnGetGameDir(gameDir);
    EXPECT_STREQ("cstrike", gameDir);
  }
  EXPECT_EQ(before, fs::current_path());
  EXPECT_FALSE(fs::exists(root));

  emu::SessionOptions options;
  options.gameDir = "czero";
  options.createLogsFolder = false;
  emu::Session other(options);
  EXPECT_TRUE(fs::is_directory("czero/addons/qrv_vemtark/configs"));
  EXPECT_FALSE(fs::exists("czero/addons/qrv_vemtark/logs"));
  char gameDir[256] = {};
  other.engine().Functions()->pfnGetGameDir(gameDir);
  EXPECT_STREQ("czero", gameDir);
}

TEST(EmulatorSession, FilesLoadFromTheGameDirectory) {
  emu::Session server;
  enginefuncs_t &table = *server.engine().Functions();
  ASSERT_TRUE(server.WriteFile("cstrike/events/galil.sc", "abc"));
  EXPECT_EQ("abc", server.ReadFile("cstrike/events/galil.sc"));

  int length = -1;
  char name[] = "events/galil.sc";
  byte *contents = table.pfnLoadFileForMe(name, &length);
  ASSERT_NE(nullptr, contents);
  EXPECT_EQ(3, length);
  EXPECT_STREQ("abc", reinterpret_cast<char *>(contents));
  EXPECT_EQ(1, server.engine().LoadedFilesNotFreed());
  table.pfnFreeFile(contents);
  EXPECT_EQ(0, server.engine().LoadedFilesNotFreed());

  char missing[] = "events/missing.sc";
  length = -1;
  EXPECT_EQ(nullptr, table.pfnLoadFileForMe(missing, &length));
  EXPECT_EQ(0, length);
  EXPECT_EQ(nullptr, table.pfnLoadFileForMe(missing, nullptr));
  EXPECT_TRUE(server.Faults().empty());

  char notOurs[4] = {};
  table.pfnFreeFile(notOurs);
  EXPECT_EQ(1u, server.Faults().size());
}

TEST(EmulatorSession, ExecRunsAFileBeforeWhatWasQueuedBehindIt) {
  emu::Session server;
  g_seen.clear();
  server.engine().AddCommand("qrv_mark", &MarkCommand);
  server.WriteFile("cstrike/addons/qrv_vemtark/configs/test.cfg",
                   "qrv_mark a\nqrv_mark b; qrv_mark c // not d\n");
  server.Command("exec addons/qrv_vemtark/configs/test.cfg; qrv_mark after");
  EXPECT_EQ((Texts{"a", "b", "c", "after"}), g_seen);

  server.Command("exec nothere.cfg");
  server.Command("echo  one   \"two  three\"");
  EXPECT_EQ("couldn't exec nothere.cfg\none two  three\n", server.engine().Console());
}

TEST(EmulatorSession, BinariesAreFoundNextToTheProgram) {
  for (emu::PluginBuild build : {emu::PluginBuild::kRelease, emu::PluginBuild::kTest}) {
    EXPECT_TRUE(fs::is_regular_file(emu::PluginBinaryPath(build))) << emu::PluginBinaryPath(build);
  }
  EXPECT_TRUE(fs::is_regular_file(emu::StubPluginPath()));
#if defined(_WIN32)
  EXPECT_EQ("qrv_vemtark_mm.dll",
            fs::path(emu::PluginBinaryPath(emu::PluginBuild::kRelease)).filename().string());
#elif defined(__i386__)
  EXPECT_EQ("qrv_vemtark_mm_i386.so",
            fs::path(emu::PluginBinaryPath(emu::PluginBuild::kRelease)).filename().string());
#else
  EXPECT_EQ("qrv_vemtark_mm_amd64.so",
            fs::path(emu::PluginBinaryPath(emu::PluginBuild::kRelease)).filename().string());
#endif
}

// ---- Private copies

TEST(EmulatorLibrary, EveryOpenLoadsAFreshCopyThatCloseRemoves) {
  emu::Library first;
  emu::Library second;
  ASSERT_TRUE(first.Open(emu::StubPluginPath())) << first.Error();
  ASSERT_TRUE(second.Open(emu::StubPluginPath())) << second.Error();
  EXPECT_NE(first.CopyPath(), second.CopyPath());
  EXPECT_NE(emu::StubPluginPath(), first.CopyPath());
  EXPECT_TRUE(fs::exists(first.CopyPath()));

  first.Export<META_INIT_FN>("Meta_Init")();
  EXPECT_STREQ("Meta_Init\n", StubEvents(first));
  EXPECT_STREQ("", StubEvents(second)) << "the second copy has module state of its own";

  const std::string copy = first.CopyPath();
  first.Close();
  EXPECT_FALSE(fs::exists(copy));
  EXPECT_FALSE(first.IsOpen());

  emu::Library missing;
  EXPECT_FALSE(missing.Open("no/such/library.so"));
  EXPECT_NE(std::string::npos, missing.Error().find("no/such/library.so"));
}

// ---- The emulated Metamod

class EmulatorMetamod : public ::testing::Test {
 protected:
  EmulatorMetamod() : server_(StubUnder(emu::HostMode::kMetamod)) {}
  emu::MetamodHost &host() { return server_.metamod(); }
  emu::Session server_;
};

TEST_F(EmulatorMetamod, AttachRunsMetamodsSequenceAndCollectsTheTables) {
  ASSERT_TRUE(server_.Attach()) << host().Error();
  const emu::PluginExports &exports = host().Exports();
  EXPECT_NE(nullptr, exports.getEntityApi2);
  EXPECT_EQ(nullptr, exports.getEntityApi2Post) << "the stub does not export it";
  EXPECT_NE(nullptr, exports.metaDetach);
  EXPECT_STREQ("Meta_Init\nGiveFnptrsToDll\nMeta_Query\nMeta_Attach\n",
               StubEvents(host().library()));
  EXPECT_EQ((Texts{"console: stub queried (1)", "message: a message", "error: an error"}),
            host().MetaLog());
  EXPECT_EQ("stub queried (1)\n", server_.engine().Console());
  ASSERT_NE(nullptr, host().PluginInfo());
  EXPECT_STREQ("Stub", host().PluginInfo()->name);
  EXPECT_NE(nullptr, host().PreHooks().pfnGameInit);
  EXPECT_NE(nullptr, host().PostHooks().pfnClientConnect);
  EXPECT_EQ(nullptr, host().PostHooks().pfnGameInit);
  EXPECT_NE(nullptr, host().NewPreHooks().pfnGameShutdown);
  EXPECT_TRUE(server_.Faults().empty());
}

TEST_F(EmulatorMetamod, ThePluginsVariablesLiveInMetamodsCopies) {
  ASSERT_TRUE(server_.Attach());
  cvar_t *own = StubOwnValue(host().library());
  cvar_t *live = server_.engine().FindCvar("stub_value");
  ASSERT_NE(nullptr, own);
  ASSERT_NE(nullptr, live);
  EXPECT_NE(own, live);
  EXPECT_EQ(FCVAR_SERVER | FCVAR_EXTDLL, live->flags);

  server_.StartServer();
  server_.Command("stub_value 5");
  EXPECT_STREQ("5", live->string);
  EXPECT_STREQ("1", own->string) << "the plug-in's own record is never touched";
  server_.engine().TakeConsole();
  server_.Command("stub_report");
  EXPECT_EQ("own=1 live=5\n", server_.engine().TakeConsole());

  server_.Command("stub_register_again");
  EXPECT_EQ(live, server_.engine().FindCvar("stub_value"));
  EXPECT_STREQ("5", live->string);
  EXPECT_EQ("", server_.engine().Console()) << "Metamod keeps its copy without asking the engine";
}

TEST_F(EmulatorMetamod, HooksDecideWhetherTheGameRunsAndWhoseAnswerCounts) {
  ASSERT_TRUE(server_.Attach());
  server_.StartServer();
  EXPECT_EQ(MRES_IGNORED, host().LastPreResult());
  EXPECT_EQ(1, host().Game().CountOf("GameInit"));

  struct Case {
    META_RES mres;
    int answer;
    int gameCalls;
  };
  // The stub's Spawn hook answers 7, the game 0.
  const Case cases[] = {
      {MRES_IGNORED, 0, 1}, {MRES_HANDLED, 0, 1}, {MRES_OVERRIDE, 7, 1}, {MRES_SUPERCEDE, 7, 0}};
  for (const Case &expected : cases) {
    SCOPED_TRACE(expected.mres);
    server_.Command("stub_mres " + std::to_string(expected.mres));
    host().Game().ClearCalls();
    edict_t *entity = server_.engine().CreateEntity("info_target");
    EXPECT_EQ(expected.answer, host().Call<&DLL_FUNCTIONS::pfnSpawn>(entity));
    EXPECT_EQ(expected.gameCalls, host().Game().CountOf("Spawn"));
    EXPECT_EQ(expected.mres, host().LastPreResult());
    EXPECT_EQ(MRES_UNSET, host().LastPostResult()) << "the stub has no Spawn post hook";
  }

  // A superseded ClientConnect: the plug-in refuses, the game never hears of it, and the post
  // hook sees the plug-in's answer as the original.
  server_.Command("stub_refuse 1");
  host().Game().ClearCalls();
  EXPECT_EQ(0, server_.ConnectClient("Alice"));
  EXPECT_EQ("stub says no", server_.LastRejectReason());
  EXPECT_EQ(0, host().Game().CountOf("ClientConnect"));
  // Merely ignored, the refusal does not count: the game admits.
  server_.Command("stub_mres 1");
  EXPECT_EQ(1, server_.ConnectClient("Bob"));
  EXPECT_EQ((Texts{"ClientConnect", "ClientPutInServer"}), host().GameCalls());
  const std::string events = StubEvents(host().library());
  EXPECT_NE(std::string::npos, events.find("ClientConnect Alice\nClientConnect_Post orig=0\n"));
  EXPECT_NE(std::string::npos, events.find("ClientConnect Bob\nClientConnect_Post orig=1\n"));
  EXPECT_TRUE(server_.Faults().empty());
}

TEST_F(EmulatorMetamod, AHookThatLeavesMresUnsetOrInvalidIsAFault) {
  ASSERT_TRUE(server_.Attach());
  server_.StartServer();
  server_.Command("stub_mres 0");
  server_.RunFrames(2, 100.0);
  server_.Command("stub_mres 9");
  server_.RunFrames(1, 100.0);
  EXPECT_EQ((Texts{"StartFrame: plug-in left mres unset", "StartFrame: plug-in left mres unset",
                   "StartFrame: plug-in set mres to 9, which is no META_RES"}),
            server_.Faults());
  EXPECT_EQ(3, host().Game().CountOf("StartFrame")) << "a missing result still calls the game";
}

TEST_F(EmulatorMetamod, SessionStepsReachTheGameThroughTheHooks) {
  ASSERT_TRUE(server_.Attach());
  server_.StartServer();
  server_.StartMap("de_dust2");
  const int alice = server_.ConnectClient("Alice");
  ASSERT_EQ(1, alice);
  server_.RunFrames(3, 50.0);
  EXPECT_NEAR(1.06, server_.engine().Time(), 1e-9);
  server_.ClientCommand(alice, "say hi");
  server_.StartMap("de_inferno");
  EXPECT_DOUBLE_EQ(1.0, server_.engine().Time()) << "each map's clock starts at 1 s";
  server_.DisconnectClient(alice);
  server_.Call<&NEW_DLL_FUNCTIONS::pfnGameShutdown>();

  EXPECT_EQ((Texts{"GameInit", "ServerActivate", "ClientConnect", "ClientPutInServer", "StartFrame",
                   "PlayerPreThink", "StartFrame", "PlayerPreThink", "StartFrame", "PlayerPreThink",
                   "ClientCommand", "ServerDeactivate", "ServerActivate", "ClientConnect",
                   "ClientPutInServer", "ClientDisconnect", "GameShutdown"}),
            host().GameCalls());
  EXPECT_EQ("de_inferno", server_.engine().MapName());
  const std::string events = StubEvents(host().library());
  EXPECT_NE(std::string::npos, events.find("ClientCommand say\n"));
  EXPECT_NE(std::string::npos, events.find("GameShutdown\n"));
  EXPECT_TRUE(server_.Faults().empty());
}

TEST_F(EmulatorMetamod, CommandsOfAnUnloadedPluginNoLongerCallIntoIt) {
  ASSERT_TRUE(server_.Attach());
  server_.StartServer();
  server_.engine().TakeConsole();
  server_.Command("STUB_ARGS a b");
  EXPECT_EQ("argc=3 argv0=STUB_ARGS argv1=a args=a b\n", server_.engine().TakeConsole());
  host().Unload();
  server_.Command("stub_args");
  EXPECT_EQ("Command stub_args belongs to a plug-in that is no longer loaded\n",
            server_.engine().Console());
}

TEST_F(EmulatorMetamod, MetamodRefusesAPluginThatIsNotOne) {
  EXPECT_FALSE(host().Load(emu::PluginBinaryPath(emu::PluginBuild::kRelease) + ".missing"));
  EXPECT_FALSE(server_.metamod().IsLoaded());
  EXPECT_FALSE(host().Attach());
  ASSERT_EQ(1u, server_.Faults().size());
  EXPECT_NE(std::string::npos, server_.Faults()[0].find("no plug-in loaded"));
}

// Metamod's `meta unload` and `meta force_unload`: Meta_Detach with the reason, and the library
// gone at once when the plug-in agrees, also from an rcon command inside a ReHLDS frame; the
// server runs on without it.
TEST(EmulatorMetamodCommand, MetaUnloadsThePluginAtOnceWhenItAgreesEvenInsideAFrame) {
  struct Row {
    const char *line;
    bool keep;  // the plug-in refuses to detach
    bool rcon;  // inside a frame
    bool unloaded;
    const char *console;
  };
  const Row rows[] = {
      {"meta force_unload stub", false, true, true,
       "stub detach now=3 reason=4\nUnloaded plugin \"Stub\"\n"},
      {"meta unload anything", false, false, true,
       "stub detach now=3 reason=3\nUnloaded plugin \"Stub\"\n"},
      {"meta unload stub", true, true, false,
       "stub detach now=3 reason=3 refused\nPlugin \"Stub\" refused to unload\n"},
      {"meta force_unload stub", true, false, false,
       "stub detach now=3 reason=4 refused\nPlugin \"Stub\" refused to unload\n"},
      {"meta unload", false, false, false, "usage: meta unload <plugin>\n"},
      {"meta list", false, false, false, "Unrecognized meta command: list\n"},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.line);
    emu::SessionOptions options = StubUnder(emu::HostMode::kMetamod);
    options.rehldsEngine = true;
    emu::Session server(options);
    ASSERT_TRUE(server.Attach());
    server.StartServer();
    server.StartMap("de_dust2");
    EXPECT_TRUE(server.engine().HasCommand("meta"));
    const Texts names = server.engine().CommandNames();
    EXPECT_EQ(names.end(), std::find(names.begin(), names.end(), "meta"))
        << "Metamod's own command is not one the game side registered";
    if (row.keep) server.Command("stub_keep 1");
    const std::string copy = server.metamod().library().CopyPath();
    const int startFrames = server.metamod().Game().CountOf("StartFrame");
    server.engine().TakeConsole();
    if (row.rcon) {
      server.QueueRconCommand(row.line);
      server.RunFrames(1, 100.0);
      // The frame's StartFrame came after the rcon command: without the plug-in's hook.
      EXPECT_EQ(row.unloaded ? MRES_UNSET : MRES_IGNORED, server.metamod().LastPreResult());
    } else {
      server.Command(row.line);
    }
    EXPECT_EQ(row.console, server.engine().TakeConsole());
    EXPECT_EQ(!row.unloaded, server.metamod().IsLoaded());
    EXPECT_EQ(!row.unloaded, fs::exists(copy));
    server.RunFrames(3, 100.0);
    EXPECT_EQ(startFrames + (row.rcon ? 4 : 3), server.metamod().Game().CountOf("StartFrame"));
    EXPECT_EQ(Texts{}, server.Faults());
  }
}

TEST(EmulatorMetamodLifetime, AHostThatGoesBeforeTheEngineTakesItsCopiesAlong) {
  emu::Engine engine;
  {
    emu::MetamodHost host(engine);
    ASSERT_TRUE(host.Load(emu::StubPluginPath())) << host.Error();
    ASSERT_TRUE(host.Attach());
    EXPECT_NE(nullptr, engine.FindCvar("stub_value"));
  }
  EXPECT_EQ(nullptr, engine.FindCvar("stub_value"));
  EXPECT_NE(nullptr, engine.FindCvar("sys_ticrate"));
}

// ---- Standalone

TEST(EmulatorStandalone, TheEngineLoadsAGameLibraryAndCallsItsTable) {
  emu::Session server(StubUnder(emu::HostMode::kStandalone));
  ASSERT_TRUE(server.Attach()) << server.standalone().Error();
  EXPECT_TRUE(server.standalone().HasNewFunctions());
  EXPECT_STREQ("GiveFnptrsToDll\n", StubEvents(server.standalone().library()));
  EXPECT_EQ(StubOwnValue(server.standalone().library()), server.engine().FindCvar("stub_value"))
      << "without Metamod the engine links the library's own record";

  server.StartServer();
  EXPECT_TRUE(server.engine().HasCommand("stub_report"));
  edict_t *entity = server.Spawn("info_target");
  EXPECT_EQ(7, server.Call<&DLL_FUNCTIONS::pfnSpawn>(entity));
  server.Call<&NEW_DLL_FUNCTIONS::pfnGameShutdown>();
  EXPECT_TRUE(server.Faults().empty());

  server.Call<&DLL_FUNCTIONS::pfnThink>(entity);
  EXPECT_EQ((Texts{"Think: the game library's table has no such function"}), server.Faults());
  server.Call<&NEW_DLL_FUNCTIONS::pfnCvarValue>(entity, "1");
  EXPECT_EQ(1u, server.Faults().size()) << "the engine checks NEW_DLL_FUNCTIONS entries itself";
}

}  // namespace
