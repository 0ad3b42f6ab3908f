// The Metamod handshake with the built binary: version negotiation, attach and detach by load
// time and reason, the timer resolution attach raises, and the table requests.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/plugin_fixture.h"

namespace {

using ::qrvtest::FakePlatform;
using Log = std::vector<std::string>;

const char kMismatch[] =
    "QRV Vem-Tark: meta-interface version mismatch (metamod: %s, QRV Vem-Tark: 5:13)";
const char kTooOld[] = "metamod version is too old for this plugin; update metamod";
const char kIncompatible[] =
    "metamod version is incompatible with this plugin; please find a newer version of this "
    "plugin";

std::string Mismatch(const std::string &metaVersion) {
  std::string text = kMismatch;
  return text.replace(text.find("%s"), 2, metaVersion);
}

class Handshake : public ::testing::Test {
 protected:
  explicit Handshake(emu::SessionOptions options = emu::SessionOptions()) : server_(options) {}

  void SetUp() override {
    ASSERT_TRUE(host().Load(server_.PluginPath())) << host().Error();
    host().CallMetaInit();
    host().CallGiveFnptrs();
    server_.engine().TakeConsole();
  }

  emu::MetamodHost &host() { return server_.metamod(); }

  emu::Session server_;
};

TEST_F(Handshake, OwnInterfaceVersionIsAcceptedWithoutAWord) {
  EXPECT_EQ(1, host().CallMetaQuery("5:13"));
  EXPECT_EQ(Log{}, host().MetaLog());
  ASSERT_NE(nullptr, host().PluginInfo());
  EXPECT_STREQ("5:13", host().PluginInfo()->ifvers);
}

TEST_F(Handshake, PluginInformationRecord) {
  ASSERT_EQ(1, host().CallMetaQuery("5:13"));
  const plugin_info_t *info = host().PluginInfo();
  EXPECT_STREQ("QRV Vem-Tark", info->name);
  EXPECT_STREQ("1.60.05A", info->version);
  EXPECT_STREQ("Oct 22 2008", info->date);
  EXPECT_STREQ("QRV Dev Team", info->author);
  EXPECT_STREQ("QRV Vem-Tark", info->logtag);
  EXPECT_NE(0u, std::strlen(info->url));
  EXPECT_EQ(PT_STARTUP, info->loadable);
  EXPECT_EQ(PT_NEVER, info->unloadable);
}

TEST_F(Handshake, NewerMinorIsAcceptedAndAdoptedAfterTheMismatchLine) {
  EXPECT_EQ(1, host().CallMetaQuery("5:14"));
  EXPECT_EQ((Log{"console: " + Mismatch("5:14"), "message: " + Mismatch("5:14")}),
            host().MetaLog());
  EXPECT_STREQ("5:14", host().PluginInfo()->ifvers);
  EXPECT_NE(std::string::npos, server_.engine().Console().find(Mismatch("5:14")));
}

TEST_F(Handshake, TextuallyDifferentButEqualVersionIsAcceptedAndAdopted) {
  EXPECT_EQ(1, host().CallMetaQuery("05:13"));
  EXPECT_EQ((Log{"console: " + Mismatch("05:13"), "message: " + Mismatch("05:13")}),
            host().MetaLog());
  EXPECT_STREQ("05:13", host().PluginInfo()->ifvers);
}

TEST_F(Handshake, OlderMetamodIsRefused) {
  for (const char *version : {"5:12", "4:20"}) {
    SCOPED_TRACE(version);
    Log expected{"console: " + Mismatch(version), "message: " + Mismatch(version),
                 std::string("console: ") + kTooOld, std::string("error: ") + kTooOld};
    size_t before = host().MetaLog().size();
    EXPECT_EQ(0, host().CallMetaQuery(version));
    EXPECT_EQ(expected, Log(host().MetaLog().begin() + before, host().MetaLog().end()));
    EXPECT_STREQ("5:13", host().PluginInfo()->ifvers);
  }
}

TEST_F(Handshake, NewerMajorIsRefusedAsIncompatible) {
  EXPECT_EQ(0, host().CallMetaQuery("6:0"));
  EXPECT_EQ((Log{"console: " + Mismatch("6:0"), "message: " + Mismatch("6:0"),
                 std::string("console: ") + kIncompatible, std::string("error: ") + kIncompatible}),
            host().MetaLog());
}

TEST_F(Handshake, UnreadableVersionCountsAsZeroAndIsTooOld) {
  EXPECT_EQ(0, host().CallMetaQuery("metamod"));
  ASSERT_EQ(4u, host().MetaLog().size());
  EXPECT_EQ(std::string("error: ") + kTooOld, host().MetaLog()[3]);
}

TEST_F(Handshake, FormatCharactersInMetamodsVersionAreShownLiterally) {
  EXPECT_EQ(1, host().CallMetaQuery("5:99%s%n"));
  ASSERT_EQ(2u, host().MetaLog().size());
  EXPECT_EQ("console: " + Mismatch("5:99%s%n"), host().MetaLog()[0]);
  EXPECT_STREQ("5:99%s%n", host().PluginInfo()->ifvers);
}

TEST_F(Handshake, WithoutAUtilityTableNothingIsPrintedAndTheQueryFails) {
  EXPECT_EQ(0, host().CallMetaQuery("5:13", false));
  EXPECT_EQ(0, host().CallMetaQuery("5:14", false));
  EXPECT_EQ(Log{}, host().MetaLog());
  EXPECT_EQ("", server_.engine().Console());
  ASSERT_NE(nullptr, host().PluginInfo());
  EXPECT_STREQ("5:13", host().PluginInfo()->ifvers);
}

TEST_F(Handshake, AttachIsAllowedOnlyWhileTheServerStarts) {
  ASSERT_EQ(1, host().CallMetaQuery());
  for (PLUG_LOADTIME late : {PT_CHANGELEVEL, PT_ANYTIME, PT_ANYPAUSE}) {
    SCOPED_TRACE(late);
    size_t before = host().MetaLog().size();
    EXPECT_EQ(0, host().CallMetaAttach(late));
    const char *refusal = "QRV Vem-Tark: plugin NOT attaching (can't load plugin right now)";
    EXPECT_EQ((Log{std::string("console: ") + refusal, std::string("error: ") + refusal}),
              Log(host().MetaLog().begin() + before, host().MetaLog().end()));
  }
  EXPECT_EQ(nullptr, server_.engine().FindCvar("qrv_fps"));

  EXPECT_EQ(1, host().CallMetaAttach(PT_STARTUP));
  const META_FUNCTIONS &table = host().MetaFunctions();
  EXPECT_EQ(nullptr, table.pfnGetEntityAPI);
  EXPECT_EQ(nullptr, table.pfnGetEntityAPI_Post);
  EXPECT_NE(nullptr, table.pfnGetEntityAPI2);
  EXPECT_NE(nullptr, table.pfnGetEntityAPI2_Post);
  EXPECT_EQ(nullptr, table.pfnGetNewDLLFunctions);
  EXPECT_EQ(nullptr, table.pfnGetNewDLLFunctions_Post);
  EXPECT_EQ(nullptr, table.pfnGetEngineFunctions);
  EXPECT_EQ(nullptr, table.pfnGetEngineFunctions_Post);
  EXPECT_NE(nullptr, server_.engine().FindCvar("qrv_fps"));
}

TEST_F(Handshake, DetachIsRefusedUnlessForcedOrNeverLoaded) {
  ASSERT_EQ(1, host().CallMetaQuery());
  ASSERT_EQ(1, host().CallMetaAttach(PT_STARTUP));
  const char *refusal = "QRV Vem-Tark: plugin not detaching (can't unload plugin right now)";
  for (PL_UNLOAD_REASON reason : {PNL_NULL, PNL_INI_DELETED, PNL_FILE_NEWER, PNL_COMMAND,
                                  PNL_DELAYED, PNL_PLUGIN, PNL_PLG_FORCED, PNL_RELOAD}) {
    for (PLUG_LOADTIME now : {PT_STARTUP, PT_CHANGELEVEL, PT_ANYTIME, PT_ANYPAUSE}) {
      size_t before = host().MetaLog().size();
      EXPECT_EQ(0, host().CallMetaDetach(now, reason)) << now << " " << reason;
      EXPECT_EQ((Log{std::string("console: ") + refusal, std::string("error: ") + refusal}),
                Log(host().MetaLog().begin() + before, host().MetaLog().end()));
    }
  }
  EXPECT_EQ(1, host().CallMetaDetach(PT_NEVER, PNL_COMMAND));
  EXPECT_EQ(1, host().CallMetaDetach(PT_ANYTIME, PNL_CMD_FORCED));
}

TEST_F(Handshake, HookTablesAreHandedOutAndTheGameLibraryRequestsRefused) {
  ASSERT_TRUE(host().CallMetaQuery() == 1 && host().CallMetaAttach() == 1);
  EXPECT_TRUE(host().RequestTables());
  EXPECT_NE(nullptr, host().PreHooks().pfnStartFrame);
  EXPECT_NE(nullptr, host().PostHooks().pfnGameInit);

  auto getEntityApi2 = host().library().Export<GETENTITYAPI2_FN>("GetEntityAPI2");
  ASSERT_NE(nullptr, getEntityApi2);
  DLL_FUNCTIONS table;
  std::memset(&table, 0xAB, sizeof(table));
  int version = 139;
  EXPECT_EQ(0, getEntityApi2(&table, &version));
  EXPECT_EQ(140, version);
  DLL_FUNCTIONS untouched;
  std::memset(&untouched, 0xAB, sizeof(untouched));
  EXPECT_EQ(0, std::memcmp(&table, &untouched, sizeof(table)));
  EXPECT_EQ(0, getEntityApi2(nullptr, &version));

  auto getNewDllFunctions = host().library().Export<GETNEWDLLFUNCTIONS_FN>("GetNewDLLFunctions");
  NEW_DLL_FUNCTIONS newTable{};
  int newVersion = NEW_DLL_FUNCTIONS_VERSION;
  EXPECT_EQ(0, getNewDllFunctions(&newTable, &newVersion));
  auto blending = host().library().Export<GETBLENDAPI_FN>("Server_GetBlendingInterface");
  EXPECT_EQ(0, blending(SV_BLENDING_INTERFACE_VERSION, nullptr, nullptr, nullptr, nullptr));
}

class TimerHandshake : public Handshake {
 protected:
  TimerHandshake() : Handshake(qrvtest::TestBuild()) {}
};

TEST_F(TimerHandshake, AttachRaisesTheTimerByTheDeviceMinimumAndDetachEndsExactlyThat) {
  FakePlatform fake(host().library());
  ASSERT_TRUE(fake.Resolved());
  fake.SetTimerMinimum(1);
  ASSERT_EQ(1, host().CallMetaQuery());
  ASSERT_EQ(1, host().CallMetaAttach());
  EXPECT_EQ((Log{"begin 3"}), fake.TimerEvents());
  EXPECT_EQ(0, host().CallMetaDetach(PT_ANYTIME, PNL_COMMAND));
  EXPECT_EQ((Log{"begin 3"}), fake.TimerEvents());
  EXPECT_EQ(1, host().CallMetaDetach(PT_ANYTIME, PNL_CMD_FORCED));
  EXPECT_EQ((Log{"begin 3", "end 3"}), fake.TimerEvents());
  // A second unload ends nothing more: every begun period is ended exactly once.
  EXPECT_EQ(1, host().CallMetaDetach(PT_ANYTIME, PNL_CMD_FORCED));
  EXPECT_TRUE(fake.TimerBalanced());
  EXPECT_EQ(2u, fake.TimerEvents().size());
}

TEST_F(TimerHandshake, CoarseDeviceKeepsItsOwnMinimum) {
  FakePlatform fake(host().library());
  fake.SetTimerMinimum(5);
  ASSERT_EQ(1, host().CallMetaQuery());
  ASSERT_EQ(1, host().CallMetaAttach());
  ASSERT_EQ(1, host().CallMetaDetach(PT_NEVER, PNL_NULL));
  EXPECT_EQ((Log{"begin 5", "end 5"}), fake.TimerEvents());
}

TEST_F(TimerHandshake, RefusedAttachTouchesNoTimer) {
  FakePlatform fake(host().library());
  ASSERT_EQ(1, host().CallMetaQuery());
  EXPECT_EQ(0, host().CallMetaAttach(PT_CHANGELEVEL));
  EXPECT_EQ(1, host().CallMetaDetach(PT_ANYTIME, PNL_CMD_FORCED));
  EXPECT_EQ(Log{}, fake.TimerEvents());
}

}  // namespace
