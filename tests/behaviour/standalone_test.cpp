// Loaded by the engine in place of the game library, without Metamod: the plug-in loads our stub
// game library from <gamedir>/dlls/, hands the engine the game's table with its own hooks on top,
// and forwards everything else to the game.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "entry/export_api.h"
#include "tests/plugin_fixture.h"

namespace {

using Texts = std::vector<std::string>;

// The library file names a server of this build may hold, in the order the plug-in tries them;
// the last is the supported-game table's, the one looked for in the Steam cache.
#if defined(_WIN32)
const Texts kLibraryNames = {"mp.dll"};
#elif defined(__x86_64__)
const Texts kLibraryNames = {"cs_amd64.so", "cs_i386.so"};
#else
const Texts kLibraryNames = {"cs.so", "cs_i386.so"};
#endif

emu::SessionOptions Standalone(emu::SessionOptions options = emu::SessionOptions()) {
  options.host = emu::HostMode::kStandalone;
  return options;
}

bool Contains(const std::string &text, const std::string &part) {
  return text.find(part) != std::string::npos;
}

TEST(Standalone, LoadsTheGameLibraryUnderEveryNameThisBuildKnows) {
  for (const char *gameDir : {"cstrike", "czero"}) {
    for (const std::string &name : kLibraryNames) {
      SCOPED_TRACE(std::string(gameDir) + "/dlls/" + name);
      emu::SessionOptions options = Standalone();
      options.gameDir = gameDir;
      options.gameLibraryName = name;
      emu::Session server(options);
      ASSERT_TRUE(server.Attach()) << server.standalone().Error();
      ASSERT_TRUE(server.StubGame().IsOpen());
      // Initialised first, with the very engine table and globals the plug-in was given; the
      // start-up of the plug-in's own variables comes after.
      EXPECT_EQ("GiveFnptrsToDll first\nGetNewDLLFunctions 1\nGetEntityAPI 140\n",
                server.StubGame().Calls());
      EXPECT_EQ(server.engine().Functions(), server.StubGame().ReceivedEngine());
      EXPECT_EQ(server.engine().Globals(), server.StubGame().ReceivedGlobals());
      EXPECT_NE(nullptr, server.engine().FindCvar("qrv_fps"));
      EXPECT_EQ(Texts{}, server.engine().RequestedFiles());  // nothing to extract
      EXPECT_EQ(Texts{}, server.Faults());
    }
  }
}

TEST(Standalone, ExtractsTheLibraryOutOfTheSteamCacheThroughTheEngine) {
  emu::SessionOptions options = Standalone();
  options.gameLibrary = emu::GameLibrary::kSteamCache;
  options.gameLibraryName = kLibraryNames.back();
  emu::Session server(options);
  const std::string path = "cstrike/dlls/" + kLibraryNames.back();
  ASSERT_FALSE(server.FileExists(path));
  ASSERT_TRUE(server.Attach()) << server.standalone().Error();
  EXPECT_EQ(Texts{path}, server.engine().RequestedFiles());
  EXPECT_EQ(0, server.engine().LoadedFilesNotFreed());
  EXPECT_TRUE(server.FileExists(path));
  const std::string notice = "Trying to extract dll '" + path + "' out of the steam cache";
  Texts log = qrvtest::LogMessages(server);
  ASSERT_LE(2u, log.size());
  EXPECT_EQ("[QRV] LOG: Plugin loaded successfully.", log[0]);
  EXPECT_EQ("[QRV] LOG: " + notice, log[1]);
  EXPECT_TRUE(Contains(server.engine().Console(), "] [QRV] LOG: " + notice + "\n"));
  EXPECT_EQ("GiveFnptrsToDll first", qrvtest::Lines(server.StubGame().Calls()).at(0));
  EXPECT_EQ(Texts{}, server.Faults());
}

// A game library the plug-in cannot use is fatal: the server stops with exit code 1 after the
// FATAL ERROR line, unless the log cannot be written, and then the plug-in answers failure.
struct FatalCase {
  const char *name;
  emu::GameLibrary library;
  const char *refusal;  // stub game entry told to refuse, or null
  const char *message;
  bool entityTableHandedOver;
};

const FatalCase kFatalCases[] = {
    {"LibraryMissing", emu::GameLibrary::kMissing, nullptr,
     "GetEntityAPI2: ERROR - Not Initialized.", false},
    {"EntityInterfaceRefused", emu::GameLibrary::kOnDisk, "GetEntityAPI",
     "GetEntityAPI2: ERROR - Not Initialized.", false},
    {"NewFunctionsRefused", emu::GameLibrary::kOnDisk, "GetNewDLLFunctions",
     "GetNewDLLFunctions: ERROR - Not Initialized.", true},
};

class StandaloneFatal : public ::testing::TestWithParam<FatalCase> {
 protected:
  emu::SessionOptions Options(bool logsFolder) const {
    emu::SessionOptions options = Standalone(qrvtest::TestBuild());
    options.gameLibrary = GetParam().library;
    options.createLogsFolder = logsFolder;
    return options;
  }
  void Refuse(emu::Session &server) const {
    if (GetParam().refusal == nullptr) return;
    ASSERT_TRUE(server.StubGame().IsOpen());
    ASSERT_TRUE(server.StubGame().Refuse(GetParam().refusal, true));
  }
};

TEST_P(StandaloneFatal, StopsTheServer) {
  emu::Session server(Options(true));
  Refuse(server);
  std::string pattern = GetParam().message;
  pattern.insert(pattern.size() - 1, "\\");  // the full stop, literally
  EXPECT_EXIT(server.Attach(), ::testing::ExitedWithCode(1), "Critical Error.*" + pattern);
}

TEST_P(StandaloneFatal, GoesOnWithFailureWhereTheLogCannotBeWritten) {
  emu::Session server(Options(false));
  Refuse(server);
  EXPECT_EQ(GetParam().entityTableHandedOver, server.Attach());
  if (GetParam().entityTableHandedOver) {
    EXPECT_FALSE(server.standalone().HasNewFunctions());
    server.StartServer();
    server.StartMap("de_dust2");
    server.RunFrames(10, 100.0);
    EXPECT_EQ(Texts{}, server.Faults());
  } else {
    EXPECT_EQ("GetEntityAPI2 answered failure (version 140)", server.standalone().Error());
  }
  if (GetParam().library == emu::GameLibrary::kMissing) {
    // Nothing on disk, so the table's path was asked of the engine's Steam cache, in vain.
    EXPECT_EQ(Texts{"cstrike/dlls/" + kLibraryNames.back()}, server.engine().RequestedFiles());
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, StandaloneFatal, ::testing::ValuesIn(kFatalCases),
                         [](const ::testing::TestParamInfo<FatalCase> &info) {
                           return std::string(info.param.name);
                         });

// The entries the plug-in hooks, by index in DLL_FUNCTIONS; every other one is the game's own.
const int kHookedEntries[] = {0, 1, 15, 16, 18, 19, 20, 21, 22, 23, 25};
constexpr int kEntries = 50;
static_assert(sizeof(DLL_FUNCTIONS) == kEntries * sizeof(void *), "50 entry pointers");

std::vector<uintptr_t> Entries(const DLL_FUNCTIONS &table) {
  std::vector<uintptr_t> entries(kEntries);
  std::memcpy(entries.data(), &table, sizeof table);
  return entries;
}

TEST(Standalone, HooksSitOnTopOfTheGameAndEveryCallReachesItWithItsArguments) {
  emu::Session server(Standalone());
  ASSERT_TRUE(server.Attach()) << server.standalone().Error();
  ASSERT_TRUE(server.StubGame().IsOpen());
  const std::vector<uintptr_t> engineTable = Entries(server.standalone().Functions());
  const std::vector<uintptr_t> gameTable = Entries(*server.StubGame().Functions());
  for (int index = 0; index < kEntries; ++index) {
    const bool hooked = std::count(std::begin(kHookedEntries), std::end(kHookedEntries), index);
    SCOPED_TRACE("entry " + std::to_string(index));
    if (hooked) {
      EXPECT_NE(gameTable[index], engineTable[index]);
      EXPECT_NE(0u, engineTable[index]);
    } else {
      EXPECT_EQ(gameTable[index], engineTable[index]);
    }
  }
  EXPECT_NE(0u, gameTable[2]);  // pfnThink: the game has one, and the engine calls it directly

  server.StubGame().ClearCalls();
  server.StartServer();
  server.StartMap("de_dust2");
  const int alice = server.ConnectClient("Alice");
  ASSERT_EQ(1, alice);
  server.RunFrames(1, 100.0);
  server.ClientCommand(alice, "say hello");
  char info[] = "\\name\\Alice";
  server.Call<&DLL_FUNCTIONS::pfnClientUserInfoChanged>(server.engine().Edict(alice), info);
  edict_t *brush = server.engine().CreateEntity("func_wall");
  brush->v.rendermode = kRenderTransTexture;
  EXPECT_EQ(7, server.Call<&DLL_FUNCTIONS::pfnSpawn>(brush));
  EXPECT_EQ(0, brush->v.flags & FL_WORLDBRUSH);  // the game's spawn set it; the plug-in clears it
  server.Call<&DLL_FUNCTIONS::pfnThink>(brush);
  server.DisconnectClient(alice);
  server.EndMap();
  const std::string brushIndex = std::to_string(server.engine().IndexOf(brush));
  const Texts expected = {
      "GameInit",
      "ServerActivate 0 33 32",
      "ClientConnect 1 Alice 127.0.0.1:27006",
      "ClientPutInServer 1",
      "StartFrame",
      "PlayerPreThink 1",
      "ClientCommand 1 say",
      "ClientUserInfoChanged 1 \\name\\Alice",
      "Spawn " + brushIndex + " func_wall",
      "Think " + brushIndex,
      "ClientDisconnect 1",
      "ServerDeactivate",
  };
  EXPECT_EQ(expected, qrvtest::Lines(server.StubGame().Calls()));
  EXPECT_EQ(Texts{}, server.Faults());
}

TEST(Standalone, AConnectionTheGameRefusesIsRefusedAfterTheJoinMessages) {
  emu::Session server(Standalone());
  server.StartServer();
  server.StartMap("de_dust2");
  server.RunFrames(400, 100.0);
  ASSERT_TRUE(server.StubGame().Refuse("ClientConnect", true));
  server.StubGame().ClearCalls();
  EXPECT_EQ(0, server.ConnectClient("Mallory"));
  EXPECT_EQ("stub game says no", server.LastRejectReason());
  EXPECT_EQ("ClientConnect 1 Mallory 127.0.0.1:27006\n", server.StubGame().Calls());
  EXPECT_TRUE(Contains(server.ClientConsole(1), "QRV Vem-Tark v1.60.05"));
  EXPECT_FALSE(server.IsInGame(1));

  ASSERT_TRUE(server.StubGame().Refuse("ClientConnect", false));
  EXPECT_EQ(1, server.ConnectClient("Alice"));
  EXPECT_EQ(Texts{}, server.Faults());
}

TEST(Standalone, RegistersTwentyThreeCommandsAndMetaTellsTheOperator) {
  emu::Session server(Standalone());
  const Texts before = server.engine().CommandNames();
  server.StartServer();
  Texts names = server.engine().CommandNames();
  names.erase(names.begin(), names.begin() + static_cast<std::ptrdiff_t>(before.size()));
  EXPECT_EQ(23u, names.size());
  EXPECT_EQ("qrv_vemtark_about", names.front());
  EXPECT_EQ("meta", names.back());

  server.engine().TakeConsole();
  server.Command("meta");
  const std::string notice =
      "You're launched standalone version of test. Metamod is not installed or not enabled!";
  const Texts console = qrvtest::Lines(server.engine().TakeConsole());
  ASSERT_EQ(2u, console.size());
  EXPECT_EQ("[QRV Vem-Tark] [QRV]" + notice, console[0]);
  EXPECT_TRUE(Contains(console[1], "] [QRV] ERROR: " + notice));
  EXPECT_EQ("[QRV] ERROR: " + notice, qrvtest::LogMessages(server).back());
  EXPECT_EQ(Texts{}, server.Faults());
}

TEST(Standalone, NewFunctionsAndBlendingInterfaceAreTheGames) {
  emu::Session server(Standalone());
  ASSERT_TRUE(server.Attach());
  ASSERT_TRUE(server.standalone().HasNewFunctions());
  server.StubGame().ClearCalls();
  server.Call<&NEW_DLL_FUNCTIONS::pfnGameShutdown>();
  EXPECT_EQ("GameShutdown\n", server.StubGame().Calls());

  const auto blending =
      server.standalone().library().Export<GETBLENDAPI_FN>("Server_GetBlendingInterface");
  ASSERT_NE(nullptr, blending);
  sv_blending_interface_s *interface = nullptr;
  float rotation[3][4] = {};
  float bones[MAXSTUDIOBONES][3][4] = {};
  auto *studio = reinterpret_cast<engine_studio_api_s *>(&rotation[1]);
  for (int version : {SV_BLENDING_INTERFACE_VERSION, 2}) {
    SCOPED_TRACE(version);
    server.StubGame().ClearCalls();
    interface = nullptr;
    const int expected = version == SV_BLENDING_INTERFACE_VERSION ? 1 : 0;
    EXPECT_EQ(expected, blending(version, &interface, studio, &rotation, &bones));
    EXPECT_EQ(expected == 1 ? server.StubGame().BlendingInterface() : nullptr, interface);
    char call[160];
    std::snprintf(call, sizeof call, "Server_GetBlendingInterface %d %p %p %p\n", version,
                  static_cast<void *>(studio), static_cast<void *>(&rotation),
                  static_cast<void *>(&bones));
    EXPECT_EQ(call, server.StubGame().Calls());
  }
}

TEST(Standalone, UnderMetamodNoGameLibraryIsLoadedAndBothAnswerZero) {
  emu::Session server;
  ASSERT_TRUE(server.WriteFile("cstrike/dlls/.keep", ""));
  for (const std::string &name : kLibraryNames) {
    std::filesystem::copy_file(emu::StubGameBinaryPath(), server.Root() + "/cstrike/dlls/" + name);
  }
  server.StartServer();
  const auto library = &server.metamod().library();
  const auto getNew = library->Export<GETNEWDLLFUNCTIONS_FN>("GetNewDLLFunctions");
  const auto blending = library->Export<GETBLENDAPI_FN>("Server_GetBlendingInterface");
  ASSERT_NE(nullptr, getNew);
  ASSERT_NE(nullptr, blending);
  NEW_DLL_FUNCTIONS table{};
  int version = NEW_DLL_FUNCTIONS_VERSION;
  EXPECT_EQ(0, getNew(&table, &version));
  EXPECT_EQ(nullptr, table.pfnGameShutdown);
  sv_blending_interface_s *interface = nullptr;
  EXPECT_EQ(0, blending(SV_BLENDING_INTERFACE_VERSION, &interface, nullptr, nullptr, nullptr));
  const Texts names = server.engine().CommandNames();
  EXPECT_EQ(0, std::count(names.begin(), names.end(), "meta"));
  // The game library files were there, and nothing called them.
  for (const std::string &name : kLibraryNames) {
    emu::StubGameLibrary game;
    ASSERT_TRUE(game.Open(server.Root() + "/cstrike/dlls/" + name)) << game.Error();
    EXPECT_EQ("", game.Calls());
  }
  EXPECT_EQ(Texts{}, server.Faults());
}

std::vector<std::string> g_timerHeard;
void HearTimer(const char *event) { g_timerHeard.emplace_back(event); }

TEST(Standalone, RunsTheAttachWorkOnceAndEndsItsTimerPeriodAtProcessDetach) {
  emu::Session server(Standalone(qrvtest::TestBuild()));
  ASSERT_TRUE(server.Attach());
  qrvtest::FakePlatform fake(server.standalone().library());
  ASSERT_TRUE(fake.Resolved());
  EXPECT_EQ(Texts{"begin 3"}, fake.TimerEvents());
  // The banner of the start-up, and the variables the monitors work with.
  EXPECT_TRUE(Contains(server.engine().Console(), "QRV Vem-Tark v1.60.05A"));
  server.StartServer();
  server.StartMap("de_dust2");
  server.RunFrames(500, 100.0);
  EXPECT_STRNE("1.0", server.engine().FindCvar("qrv_fps")->string);

  // The frame-rate monitor re-tunes the period as it goes; one is still begun.
  EXPECT_FALSE(fake.TimerBalanced());
  g_timerHeard = fake.TimerEvents();
  const size_t heardBefore = g_timerHeard.size();
  fake.SetTimerEventSink(&HearTimer);
  server.standalone().Unload();  // the process lets go of the library
  ASSERT_EQ(heardBefore + 1, g_timerHeard.size());
  EXPECT_EQ("end 3\n", g_timerHeard.back());
  g_timerHeard.back() = "end 3";
  EXPECT_TRUE(qrvtest::FakePlatform::Balanced(g_timerHeard));
}

// What the plug-in's detach and the game library's own clean-up report, in order.
std::vector<std::string> g_detachHeard;
void HearDetach(const char *event) { g_detachHeard.emplace_back(event); }

// Freeing a library while the process lets go of ours would run under the Windows loader lock,
// or inside exit() on Linux: the game library stays until the process ends, and its clean-up
// never runs from the plug-in's.
TEST(Standalone, LeavesTheGameLibraryLoadedThroughItsOwnProcessDetach) {
  emu::Session server(Standalone(qrvtest::TestBuild()));
  ASSERT_TRUE(server.Attach());
  qrvtest::FakePlatform fake(server.standalone().library());
  ASSERT_TRUE(fake.Resolved());
  server.StartServer();
  server.StartMap("de_dust2");
  server.EndMap();
  g_detachHeard.clear();
  ASSERT_TRUE(server.StubGame().SetUnloadSink(&HearDetach));
  server.StubGame().Close();  // from here on only the plug-in holds the game library
  EXPECT_EQ(Texts{}, g_detachHeard);
  fake.SetTimerEventSink(&HearDetach);
  server.standalone().Unload();
  EXPECT_EQ((Texts{"end 3\n"}), g_detachHeard);
  // Still the library that served the map: it remembers the server's calls.
  EXPECT_TRUE(Contains(server.StubGame().Calls(), "GameInit\n"));
  server.StubGame().Close();
  server.standalone().EndProcess();
  EXPECT_EQ((Texts{"end 3\n", "stub game unloaded"}), g_detachHeard);
}

}  // namespace
