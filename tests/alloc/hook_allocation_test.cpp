// No hook allocates heap memory: every allocation in the process is counted while a hook of the
// built binary runs, called straight through the table the binary hands out. The engine entries
// the hooks call are replaced by ones that allocate nothing themselves, so any count is the
// plug-in's.
#include <gtest/gtest.h>

#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "session.h"
#include "tests/plugin_fixture.h"

// Counting replaces malloc in this program. That reaches the plug-in's allocations only where the
// plug-in shares the program's C library (glibc) and no sanitizer owns malloc.
#if defined(__SANITIZE_ADDRESS__)
#define QRV_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QRV_UNDER_ASAN 1
#endif
#endif
#if defined(QRV_UNDER_ASAN)
#define QRV_CANNOT_COUNT "AddressSanitizer owns malloc here, so the test cannot replace it"
#elif !defined(__GLIBC__)
#define QRV_CANNOT_COUNT \
  "the plug-in carries its own C run-time, whose malloc the test program cannot replace"
#endif

namespace {
bool g_counting = false;
int g_allocations = 0;
}  // namespace

#if defined(QRV_CANNOT_COUNT)
#define QRV_SKIP_UNLESS_COUNTING() GTEST_SKIP() << QRV_CANNOT_COUNT
#else
#define QRV_SKIP_UNLESS_COUNTING() static_cast<void>(0)

extern "C" {
void *__libc_malloc(size_t size);
void *__libc_calloc(size_t count, size_t size);
void *__libc_realloc(void *pointer, size_t size);
void __libc_free(void *pointer);
}

extern "C" {
void *malloc(size_t size) {
  if (g_counting) ++g_allocations;
  return __libc_malloc(size);
}
void *calloc(size_t count, size_t size) {
  if (g_counting) ++g_allocations;
  return __libc_calloc(count, size);
}
void *realloc(void *pointer, size_t size) {
  if (g_counting) ++g_allocations;
  return __libc_realloc(pointer, size);
}
void free(void *pointer) { __libc_free(pointer); }
}
#endif

namespace {

// Engine entries that keep what they receive in fixed storage.
char g_variableTexts[64][256];
int g_nextVariableText = 0;
char g_lastPrint[4096];

void QuietDirectSet(struct cvar_s *variable, char *value) {
  char *text = g_variableTexts[g_nextVariableText++ % 64];
  std::strncpy(text, value, 255);
  text[255] = '\0';
  variable->string = text;
  variable->value = static_cast<float>(std::atof(text));
}
void QuietClientPrintf(edict_t *, PRINT_TYPE, const char *text) {
  std::strncpy(g_lastPrint, text, sizeof(g_lastPrint) - 1);
}
void QuietServerPrint(const char *text) {
  std::strncpy(g_lastPrint, text, sizeof(g_lastPrint) - 1);
}
char g_lastAlert[1024];
void QuietAlertMessage(ALERT_TYPE, char *format, ...) {
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(g_lastAlert, sizeof(g_lastAlert), format, arguments);
  va_end(arguments);
}

template <typename Call>
int AllocationsDuring(Call call) {
  g_allocations = 0;
  g_counting = true;
  call();
  g_counting = false;
  return g_allocations;
}

TEST(HookAllocations, TheCounterSeesAnAllocation) {
  QRV_SKIP_UNLESS_COUNTING();
  EXPECT_EQ(1, AllocationsDuring([] {
              void *volatile block = std::malloc(16);
              std::free(block);
            }));
}

void QuietLog(plid_t, const char *, ...) {}

TEST(HookAllocations, ThePluginsOwnAllocationsAreCounted) {
  QRV_SKIP_UNLESS_COUNTING();
  emu::Session server;
  ASSERT_TRUE(server.metamod().Load(server.PluginPath()));
  auto query = server.metamod().library().Export<META_QUERY_FN>("Meta_Query");
  ASSERT_NE(nullptr, query);
  mutil_funcs_t util{};
  util.pfnLogConsole = QuietLog;
  util.pfnLogMessage = QuietLog;
  util.pfnLogError = QuietLog;
  char version[] = "5:14";  // a newer minor: the plug-in keeps a heap copy of the text
  plugin_info_t *info = nullptr;
  EXPECT_EQ(1, AllocationsDuring([&] { query(version, &info, &util); }));
}

TEST(HookAllocations, NoHookPathAllocates) {
  QRV_SKIP_UNLESS_COUNTING();
  // The test build: its clock is the fake one, which the test moves on for long frames; its frames
  // paced on the stand-in ReHLDS engine.
  emu::SessionOptions options = qrvtest::TestBuild();
  options.rehldsEngine = true;
  emu::Session server(options);
  enginefuncs_t *engine = server.engine().Functions();
  engine->pfnCvar_DirectSet = QuietDirectSet;
  engine->pfnClientPrintf = QuietClientPrintf;
  engine->pfnServerPrint = QuietServerPrint;
  engine->pfnAlertMessage = QuietAlertMessage;
  ASSERT_TRUE(server.Attach());
  server.StartServer();
  server.Command("qrv_vemtark_pace 1");
  server.Command("qrv_vemtark_sysrate 1000");
  server.StartMap("de_dust2");
  int alice = server.ConnectClient("Alice");
  ASSERT_NE(0, alice);
  server.RunFrames(300, 100.0);  // past the map's start-up

  const DLL_FUNCTIONS &pre = server.metamod().PreHooks();
  const DLL_FUNCTIONS &post = server.metamod().PostHooks();
  emu::Engine &state = server.engine();
  edict_t *client = state.Edict(alice);
  globalvars_t *globals = state.Globals();
  const qrvtest::FakePlatform fake(server.metamod().library());
  ASSERT_TRUE(fake.Resolved());
  // The fake's own clock of the day reads the time zone through the C library, which allocates.
  fake.SetLocalTime(12, 0, 0);

  EXPECT_EQ(0, AllocationsDuring([&] {
              for (int frame = 0; frame < 1000; ++frame) pre.pfnStartFrame();
            }))
      << "frames inside a period";
  EXPECT_EQ(0, AllocationsDuring([&] {
              for (int period = 0; period < 50; ++period) {
                globals->time += 4.0f;
                pre.pfnStartFrame();
              }
            }))
      << "frames that end a period";
  // The first period's hitch is written to the log at once, the rest summed a minute later.
  EXPECT_EQ(0, AllocationsDuring([&] {
              for (int period = 0; period < 10; ++period) {
                fake.AdvanceClock(300000000 + 10000000 * period);
                pre.pfnStartFrame();
                fake.AdvanceClock(10000000);
                globals->time += 4.0f;
                pre.pfnStartFrame();
                pre.pfnStartFrame();  // publishes the period's longest frame and hitches
              }
            }))
      << "hitches, their warning line, and the frames after a period";
  ASSERT_NE(std::string::npos, server.ReadFile(qrvtest::LogPath()).find("Frame hitch"));
  // Frames through the engine's hook chain: most wait for their deadline, some come late, and
  // one in a hundred so late that the schedule starts again.
  const size_t waitsBefore = fake.WaitDeadlines().size();
  auto frameBody = [&] { pre.pfnStartFrame(); };
  EXPECT_EQ(0, AllocationsDuring([&] {
              for (int frame = 0; frame < 1000; ++frame) {
                fake.AdvanceClock(frame % 100 == 0 ? 5000000 : frame % 10 == 0 ? 1500000 : 500000);
                server.RehldsEngine().RunFrame(frameBody);
              }
            }))
      << "paced frames";
  EXPECT_LT(waitsBefore + 500, fake.WaitDeadlines().size());
  // The frame's anatomy: every command timed, every client update a border, and a slow command
  // in a hitch named in its warning with the player's name (longer than the hitches above, whose
  // frames ran outside the engine's chain and so have no parts).
  const emu::RehldsStandIn &rehlds = server.RehldsEngine();
  ASSERT_EQ(1, rehlds.HookCount(emu::RehldsChain::kExecuteServerStringCmd));
  EXPECT_EQ(0, AllocationsDuring([&] {
              for (int frame = 0; frame < 200; ++frame) {
                rehlds.RunFrame([&] {
                  rehlds.ExecuteServerStringCmd("say", 0, alice - 1, [&](const char *, int, int) {
                    if (frame % 50 == 0) fake.AdvanceClock(500000000);
                  });
                  pre.pfnStartFrame();
                  for (int update = 0; update < 8; ++update) {
                    rehlds.CreatePacketEntities(0, alice - 1, nullptr, nullptr,
                                                [](int, int, void *, void *) { return 0; });
                  }
                });
                if (frame % 50 == 49) globals->time += 4.0f;
              }
            }))
      << "timed commands, client updates and split frames";
  // The waiting warning is written once a minute has passed since the last.
  for (int period = 0; period < 16; ++period) {
    globals->time += 4.0f;
    pre.pfnStartFrame();
    pre.pfnStartFrame();
  }
  ASSERT_NE(std::string::npos,
            server.ReadFile(qrvtest::LogPath()).find("(command \"say\" from player 1 \"Alice\""))
      << server.ReadFile(qrvtest::LogPath());
  EXPECT_EQ(0, AllocationsDuring([&] {
              pre.pfnPlayerPreThink(client);
              pre.pfnClientPutInServer(client);
              pre.pfnClientCommand(client);
              pre.pfnClientUserInfoChanged(client, const_cast<char *>("\\name\\Alice"));
              pre.pfnClientDisconnect(client);
            }))
      << "player hooks";
  // Information mode 0 writes "Info Disabled" to the log at every connect.
  for (const char *mode : {"1", "2", "0"}) {
    state.SetCvarString("qrv_vemtark_join_msg", mode[0] == '0' ? "1" : mode);
    state.SetCvarString("qrv_vemtark_info", mode);
    char reason[128] = "";
    EXPECT_EQ(
        0, AllocationsDuring([&] { pre.pfnClientConnect(client, "Alice", "127.0.0.1", reason); }))
        << "join messages, mode " << mode;
  }
  edict_t *strip = state.CreateEntity("player_weaponstrip");
  edict_t *brush = state.CreateEntity("func_wall");
  brush->v.rendermode = kRenderTransTexture;
  EXPECT_EQ(0, AllocationsDuring([&] {
              pre.pfnSpawn(strip);
              post.pfnSpawn(strip);
              pre.pfnSpawn(brush);
              post.pfnSpawn(brush);
            }))
      << "spawn";
  // A hitch waits for the map's end, which writes it, then the map's summary, each to both logs.
  fake.AdvanceClock(300000000);
  pre.pfnStartFrame();
  EXPECT_EQ(0, AllocationsDuring([&] { pre.pfnServerDeactivate(); })) << "map end";
  EXPECT_EQ(0, std::strncmp(g_lastAlert, "[QRV] Map de_dust2 ran ", 23)) << g_lastAlert;
  // Map activation reads the configuration files and map changes are rare: opening a stream
  // allocates inside the C library, so the map's start is not counted here.
  EXPECT_NE('\0', g_lastPrint[0]);
}

// The status and stats commands are typed at the console rather than run by a hook, but they read
// the same state the hooks keep and print through the same fixed buffers. Standalone, the plug-in
// registers them with the engine itself, so the handlers can be taken on the way.
void (*g_engineAddCommand)(char *, void (*)());
void (*g_statusCommand)();
void (*g_statsCommand)();
void NoteStatusCommand(char *name, void (*handler)()) {
  if (std::strcmp(name, "qrv_vemtark_status") == 0) g_statusCommand = handler;
  if (std::strcmp(name, "qrv_vemtark_stats") == 0) g_statsCommand = handler;
  g_engineAddCommand(name, handler);
}

TEST(HookAllocations, TheStatusAndStatsCommandsAllocateNothing) {
  QRV_SKIP_UNLESS_COUNTING();
  emu::SessionOptions standalone;
  standalone.host = emu::HostMode::kStandalone;
  emu::Session server(standalone);
  enginefuncs_t *engine = server.engine().Functions();
  engine->pfnServerPrint = QuietServerPrint;
  g_engineAddCommand = engine->pfnAddServerCommand;
  engine->pfnAddServerCommand = NoteStatusCommand;
  ASSERT_TRUE(server.Attach());
  server.StartServer();
  server.StartMap("de_dust2");
  ASSERT_NE(0, server.ConnectClient("Alice"));
  server.RunFrames(1200, 100.0);
  ASSERT_NE(nullptr, g_statusCommand);
  g_lastPrint[0] = '\0';
  EXPECT_EQ(0, AllocationsDuring([] { g_statusCommand(); }));
  EXPECT_EQ(0, std::strncmp(g_lastPrint, "map             de_dust2", 24)) << g_lastPrint;
  ASSERT_NE(nullptr, g_statsCommand);
  g_lastPrint[0] = '\0';
  EXPECT_EQ(0, AllocationsDuring([] { g_statsCommand(); }));
  EXPECT_EQ(0, std::strncmp(g_lastPrint, "        100        100", 22)) << g_lastPrint;
}

}  // namespace
