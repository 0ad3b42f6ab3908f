// The hook tables and what every handler does: the Metamod result, the registrations of game
// initialisation, entity spawn adjustments and the player presence table.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "tests/plugin_fixture.h"

namespace {

using Names = std::vector<std::string>;

const Names kCommands = {
    "qrv_vemtark_about",
    "qrv_vemtark_help",
    "qrv_helpme",
    "qrv_info",
    "qrv_systems",
    "qrv_debug",
    "qrv_vemtark_strengthening",
    "qrv_vemtark_debug",
    "qrv_vemtark_premonitor_win",
    "qrv_vemtark_qrvbots_support",
    "qrv_vemtark_engine_check",
    "qrv_vemtark_engine_test",
    "qrv_vemtark_sepd",
    "qrv_vemtark_xepd",
    "qrv_vemtark_yepd",
    "qrv_vemtark_zepd",
    "qrv_vemtark_fepd",
    "qrv_vemtark_hpk",
    "messagebox",
    "check_code",
    "qrv_vemtark_status",
    "qrv_vemtark_stats",
};

struct RegistryRow {
  const char *name;
  const char *value;
};
const RegistryRow kRegistry[] = {
    {"qrv_vemtark_hpk_mping", "30"},
    {"qrv_vemtark_hpk_tests", "2"},
    {"qrv_vemtark_hpk_checks", "3"},
    {"qrv_vemtark_hpk_delay", "15"},
    {"qrv_vemtark_hostname", "Hostname"},
    {"qrv_vemtark_website", nullptr},
    {"CMD_FULL", "2"},
    {"CMD_CVARS", "2"},
    {"DLL_CVARS", "1"},
    {"DLL_CMD", "1"},
    {"DLL_PERMISSION", "1"},
    {"DLL_ACCES", "none"},
    {"DLL_TESTING", "1"},
    {"CHECK", "null"},
    {"TEST", "null"},
    {"START", "null"},
    {"CLOSE", "null"},
    {"META_X", "null"},
    {"_DEBUG", "null"},
    {"_DEBUG_WNC", "null"},
    {"_DEBUG_DLL", "null"},
    {"UNLOAD", "null"},
    {"RELOAD", "null"},
    {"ADDWEAPON_A", "{null}"},
    {"ADDWEAPON_B", "{null}"},
    {"ADDWEAPON_C", "{null}"},
    {"ADDWEAPON_D", "{null}"},
    {"ADDWEAPON_E", "{null}"},
    {"ADDWEAPON_F", "{null}"},
    {"ADDWEAPON_G", "{null}"},
    {"ADDWEAPON_H", "{null}"},
    {"ADDWEAPON_I", "{null}"},
    {"ADDWEAPON_J", "{null}"},
    {"ADDWEAPON_K", "{null}"},
};

template <typename Table>
std::set<size_t> FilledEntries(const Table &table) {
  std::set<size_t> filled;
  const void *const *entries = reinterpret_cast<const void *const *>(&table);
  for (size_t index = 0; index < sizeof(Table) / sizeof(void *); ++index) {
    if (entries[index] != nullptr) filled.insert(index);
  }
  return filled;
}

class Hooks : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(server_.Attach()); }
  void TearDown() override { EXPECT_EQ(Names{}, server_.Faults()); }

  // The count the long join message reports to a client that connects now.
  int PlayersReportedToNewcomer() {
    server_.Command("qrv_vemtark_join_msg 2");
    server_.engine().ClearClientConsoles();
    int index = server_.ConnectClient("Counter");
    std::string console = server_.ClientConsole(index);
    size_t with = console.find(" FPS with ");
    size_t clients = console.find(" clients present.");
    server_.DisconnectClient(index);
    if (with == std::string::npos || clients == std::string::npos) return -1;
    return std::stoi(console.substr(with + 10, clients - with - 10));
  }

  emu::Session server_;
};

TEST_F(Hooks, TablesHoldExactlyTheHandledEntries) {
  EXPECT_EQ((std::set<size_t>{0, 1, 15, 16, 18, 19, 20, 21, 22, 23, 25}),
            FilledEntries(server_.metamod().PreHooks()));
  // StartFrame's post hook (25) brackets the game's StartFrame for the frame's parts, on an
  // engine without hooks of its own, unless the command line turned the anatomy off.
  EXPECT_EQ((std::set<size_t>{0, 1, 21, 25}), FilledEntries(server_.metamod().PostHooks()));
  for (const bool rehlds : {false, true}) {
    emu::SessionOptions options = qrvtest::TestBuild();
    options.rehldsEngine = rehlds;
    emu::Session off(options);
    ASSERT_TRUE(off.metamod().Load(off.PluginPath()));
    qrvtest::FakePlatform(off.metamod().library()).SetCommandLine("hlds +qrv_vemtark_anatomy 0");
    ASSERT_TRUE(off.metamod().Attach());
    EXPECT_EQ((std::set<size_t>{0, 1, 21}), FilledEntries(off.metamod().PostHooks()));
  }
}

TEST_F(Hooks, EveryHookLeavesTheGameItsTurn) {
  emu::MetamodHost &host = server_.metamod();
  server_.StartServer();
  EXPECT_EQ(MRES_IGNORED, host.LastPreResult());
  EXPECT_EQ(MRES_IGNORED, host.LastPostResult());
  server_.StartMap("de_dust2");
  EXPECT_EQ(MRES_IGNORED, host.LastPreResult());
  EXPECT_EQ(MRES_IGNORED, host.LastPostResult());
  int alice = server_.ConnectClient("Alice");
  ASSERT_NE(0, alice);
  server_.RunFrames(3, 100.0);
  server_.ClientCommand(alice, "say hello");
  EXPECT_EQ(MRES_IGNORED, host.LastPreResult());
  server_.Call<&DLL_FUNCTIONS::pfnClientUserInfoChanged>(server_.engine().Edict(alice),
                                                         const_cast<char *>("\\name\\Alice"));
  EXPECT_EQ(MRES_IGNORED, host.LastPreResult());
  server_.Spawn("info_target");
  EXPECT_EQ(MRES_IGNORED, host.LastPreResult());
  EXPECT_EQ(MRES_IGNORED, host.LastPostResult());
  server_.DisconnectClient(alice);
  EXPECT_EQ(MRES_IGNORED, host.LastPreResult());
  server_.EndMap();
  EXPECT_EQ(MRES_IGNORED, host.LastPreResult());

  const emu::StubGame &game = host.Game();
  for (const char *entry : {"GameInit", "Spawn", "ClientConnect", "ClientDisconnect",
                            "ClientPutInServer", "ClientCommand", "ClientUserInfoChanged",
                            "ServerActivate", "ServerDeactivate", "PlayerPreThink", "StartFrame"}) {
    EXPECT_GE(game.CountOf(entry), 1) << entry;
  }
}

TEST_F(Hooks, ConnectReportsHandledOnlyWhenItGreeted) {
  server_.StartServer();
  server_.StartMap("de_dust2");
  char reason[128] = "";
  EXPECT_EQ(1, server_.Call<&DLL_FUNCTIONS::pfnClientConnect>(server_.engine().Edict(4), "Alice",
                                                              "10.0.0.4", reason));
  EXPECT_EQ(MRES_HANDLED, server_.metamod().LastPreResult());
  server_.Command("qrv_vemtark_join_msg 0");
  EXPECT_EQ(1, server_.Call<&DLL_FUNCTIONS::pfnClientConnect>(server_.engine().Edict(5), "Bob",
                                                              "10.0.0.5", reason));
  EXPECT_EQ(MRES_IGNORED, server_.metamod().LastPreResult());
}

TEST_F(Hooks, GameInitRegistersTheTwentyTwoCommandsInOrderAndNotMeta) {
  server_.StartServer();
  Names ours;
  for (const std::string &name : server_.engine().CommandNames()) {
    if (name != "exec" && name != "echo" && name != "meta") ours.push_back(name);
  }
  EXPECT_EQ(kCommands, ours);
}

TEST_F(Hooks, GameInitRegistersTheThirtyFourRegistryVariables) {
  server_.StartServer();
  for (const RegistryRow &row : kRegistry) {
    SCOPED_TRACE(row.name);
    const cvar_t *variable = server_.engine().FindCvar(row.name);
    ASSERT_NE(nullptr, variable);
    EXPECT_STREQ(row.name, variable->name);
    if (row.value != nullptr) {
      EXPECT_STREQ(row.value, variable->string);
    } else {
      std::string site = variable->string;
      EXPECT_FALSE(site.empty());
      EXPECT_EQ(std::string::npos, site.find("://"));
    }
    EXPECT_EQ(FCVAR_SERVER | FCVAR_EXTDLL, variable->flags);
  }
  EXPECT_EQ(nullptr, server_.engine().FindCvar("ADDWEAPON_L"));
}

TEST_F(Hooks, WeaponStripTargetsReadFake) {
  server_.StartServer();
  server_.StartMap("de_dust2");
  emu::Engine &engine = server_.engine();
  edict_t *strip = engine.CreateEntity("player_weaponstrip");
  strip->v.targetname = engine.AllocString("strip_everyone");
  server_.Call<&DLL_FUNCTIONS::pfnSpawn>(strip);
  EXPECT_STREQ("fake", engine.String(strip->v.target));
  EXPECT_STREQ("fake", engine.String(strip->v.targetname));
  // The engine's own copy, made once a map: a text of the plug-in's would go with it.
  ASSERT_TRUE(engine.InStringPool(strip->v.target));
  ASSERT_TRUE(engine.InStringPool(strip->v.targetname));
  edict_t *second = server_.Spawn("player_weaponstrip");
  EXPECT_EQ(strip->v.target, second->v.target);

  edict_t *other = engine.CreateEntity("player_weaponstrip_x");
  other->v.targetname = engine.AllocString("keep");
  server_.Call<&DLL_FUNCTIONS::pfnSpawn>(other);
  EXPECT_STREQ("keep", engine.String(other->v.targetname));
  EXPECT_EQ(0u, other->v.target);

  // The engine frees its strings with the map, so the next map gets a copy of its own.
  server_.StartMap("de_inferno");
  edict_t *next = server_.Spawn("player_weaponstrip");
  EXPECT_TRUE(engine.InStringPool(next->v.target));
  EXPECT_NE(strip->v.target, next->v.target);
  server_.metamod().Unload();  // a forced unload: the entities keep reading their target
  EXPECT_STREQ("fake", engine.String(strip->v.target));
}

TEST_F(Hooks, WorldBrushFlagIsClearedAfterSpawnOnlyForTransTexture) {
  server_.StartServer();
  emu::Engine &engine = server_.engine();
  for (int mode = kRenderNormal; mode <= kRenderTransAdd; ++mode) {
    SCOPED_TRACE(mode);
    edict_t *brush = engine.CreateEntity("func_wall");
    brush->v.rendermode = mode;
    brush->v.flags = FL_WORLDBRUSH | FL_ONGROUND;
    server_.Call<&DLL_FUNCTIONS::pfnSpawn>(brush);
    int expected = mode == kRenderTransTexture ? FL_ONGROUND : (FL_WORLDBRUSH | FL_ONGROUND);
    EXPECT_EQ(expected, brush->v.flags);
  }
}

TEST_F(Hooks, PresenceFollowsClientsAndMapActivationClearsIt) {
  server_.StartServer();
  server_.StartMap("de_dust2");
  EXPECT_EQ(0, PlayersReportedToNewcomer());
  int alice = server_.ConnectClient("Alice");
  int bob = server_.ConnectClient("Bob");
  ASSERT_TRUE(alice != 0 && bob != 0);
  EXPECT_EQ(2, PlayersReportedToNewcomer());
  server_.DisconnectClient(bob);
  EXPECT_EQ(1, PlayersReportedToNewcomer());

  // A map activation forgets everyone until their next think marks them again.
  emu::Engine &engine = server_.engine();
  server_.Call<&DLL_FUNCTIONS::pfnServerActivate>(engine.EdictList(), engine.EdictCount(),
                                                  engine.MaxClients());
  EXPECT_EQ(0, PlayersReportedToNewcomer());
  server_.RunFrames(1, 100.0);
  EXPECT_EQ(1, PlayersReportedToNewcomer());
}

TEST_F(Hooks, NullEntitiesAreIgnored) {
  server_.StartServer();
  server_.StartMap("de_dust2");
  server_.Call<&DLL_FUNCTIONS::pfnClientPutInServer>(nullptr);
  server_.Call<&DLL_FUNCTIONS::pfnPlayerPreThink>(nullptr);
  server_.Call<&DLL_FUNCTIONS::pfnClientDisconnect>(nullptr);
  server_.Call<&DLL_FUNCTIONS::pfnSpawn>(nullptr);
  char reason[128] = "";
  EXPECT_EQ(1, server_.Call<&DLL_FUNCTIONS::pfnClientConnect>(nullptr, "x", "y", reason));
  EXPECT_EQ(0, PlayersReportedToNewcomer());
}

}  // namespace
