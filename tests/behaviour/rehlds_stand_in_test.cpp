// The emulator's stand-in ReHLDS engine, reached the way the plug-in reaches a real one: its
// factory export, then its objects' tables slot by slot as the engine's compiler laid them out.
// Hooks of the test's own run through its server frame chain; a session with a ReHLDS engine
// runs its frames inside that chain and lets game time follow the fake clock.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/plugin_fixture.h"

namespace {

using Texts = std::vector<std::string>;

// MSVC's layout on Windows (one destructor slot, `this` in ECX on i686), Itanium's elsewhere.
#if defined(_WIN32)
constexpr int kDestructorSlots = 1;
#else
constexpr int kDestructorSlots = 2;
#endif
#if defined(_WIN32) && defined(__i386__)
#define QRV_TEST_MEMBER __attribute__((thiscall))
#else
#define QRV_TEST_MEMBER
#endif

constexpr char kApiName[] = "VREHLDS_HLDS_API_VERSION001";
constexpr int kServerFrameAccessor = 40;

template <typename Result, typename... Arguments>
Result CallSlot(void *object, int slot, Arguments... arguments) {
  using Member = Result(QRV_TEST_MEMBER *)(void *, Arguments...);
  void *const *table = *static_cast<void *const *const *>(object);
  return reinterpret_cast<Member>(table[slot])(object, arguments...);
}

using HookFunction = void (*)(void *chain);

struct ServerFrame {
  void *registry;
  void Register(HookFunction hook, int priority) const {
    CallSlot<void>(registry, 0, hook, priority);
  }
  void Unregister(HookFunction hook) const { CallSlot<void>(registry, 1, hook); }
};

void CallNext(void *chain) { CallSlot<void>(chain, kDestructorSlots + 0); }
void CallOriginal(void *chain) { CallSlot<void>(chain, kDestructorSlots + 1); }

// ---- Hooks of the test's own: each records its letter, acts, and records its return.

enum class Act {
  kNext,
  kOriginal,
  kNothing,
  kNextTwice,
  kOriginalThenNext,
  kUnregisterBThenNext,
  kUnregisterSelfThenNext,
  kRegisterCThenNext,
};

constexpr int kHooks = 4;  // A, B, C, D
Act g_acts[kHooks];
Texts g_events;
ServerFrame g_serverFrame{nullptr};

template <int Id>
void TestHook(void *chain);

template <int Id>
HookFunction HookOf() {
  return &TestHook<Id>;
}

const HookFunction kHookFunctions[kHooks] = {HookOf<0>(), HookOf<1>(), HookOf<2>(), HookOf<3>()};

template <int Id>
void TestHook(void *chain) {
  const std::string name(1, static_cast<char>('A' + Id));
  g_events.push_back(name);
  switch (g_acts[Id]) {
    case Act::kNext:
      CallNext(chain);
      break;
    case Act::kOriginal:
      CallOriginal(chain);
      break;
    case Act::kNothing:
      break;
    case Act::kNextTwice:
      CallNext(chain);
      CallNext(chain);
      break;
    case Act::kOriginalThenNext:
      CallOriginal(chain);
      CallNext(chain);
      break;
    case Act::kUnregisterBThenNext:
      g_serverFrame.Unregister(kHookFunctions[1]);
      CallNext(chain);
      break;
    case Act::kUnregisterSelfThenNext:
      g_serverFrame.Unregister(kHookFunctions[Id]);
      CallNext(chain);
      break;
    case Act::kRegisterCThenNext:
      g_serverFrame.Register(kHookFunctions[2], 0);
      CallNext(chain);
      break;
  }
  g_events.push_back(name + " back");
}

struct Registration {
  char hook;  // 'A' to 'D'
  int priority;
};

bool Contains(const Texts &lines, const std::string &line) {
  for (const std::string &each : lines) {
    if (each == line) return true;
  }
  return false;
}

emu::SessionOptions WithRehlds(emu::SessionOptions options = emu::SessionOptions()) {
  options.rehldsEngine = true;
  return options;
}

// The SV_Frame registry, found as the plug-in finds it: factory, API, hook chains, accessor 40.
ServerFrame FindServerFrame(const emu::RehldsStandIn &engine) {
  int returnCode = -1;
  void *api = engine.CreateInterface(kApiName, &returnCode);
  if (api == nullptr || returnCode != 0) return ServerFrame{nullptr};
  void *hookchains = CallSlot<void *>(api, kDestructorSlots + 3);
  if (hookchains == nullptr) return ServerFrame{nullptr};
  return ServerFrame{CallSlot<void *>(hookchains, kDestructorSlots + kServerFrameAccessor)};
}

// Hooks A to D act as told; the test's registry is the session's.
void Prepare(const emu::RehldsStandIn &engine, const std::vector<Act> &acts) {
  g_serverFrame = FindServerFrame(engine);
  g_events.clear();
  for (int hook = 0; hook < kHooks; ++hook) {
    g_acts[hook] = hook < static_cast<int>(acts.size()) ? acts[hook] : Act::kNext;
  }
}

void Register(const std::vector<Registration> &registrations) {
  for (const Registration &each : registrations) {
    g_serverFrame.Register(kHookFunctions[each.hook - 'A'], each.priority);
  }
}

// One frame through the chain, whose own body records "frame"; answers what happened in order.
Texts RunFrame(const emu::RehldsStandIn &engine) {
  g_events.clear();
  const auto original = [] { g_events.push_back("frame"); };
  engine.RunFrame(original);
  return g_events;
}

TEST(RehldsStandIn, HooksWrapTheFrameByPriorityAndOnlyNextPassesItOn) {
  struct Row {
    const char *what;
    std::vector<Registration> registrations;
    std::vector<Act> acts;  // of A, B, ... in that order; kNext for the rest
    Texts events;
    std::vector<int> priorities;
    const char *callLine;  // a line the stand-in recorded
  };
  const Row rows[] = {
      {"no hook: the frame runs alone", {}, {}, {"frame"}, {}, "SV_Frame"},
      {"highest priority first",
       {{'A', 128}, {'B', 255}, {'C', 0}, {'D', 192}},
       {},
       {"B", "D", "A", "C", "frame", "C back", "A back", "D back", "B back"},
       {255, 192, 128, 0},
       "registerHook 192"},
      {"equal priorities in the order registered",
       {{'A', 128}, {'B', 128}, {'C', 255}, {'D', 128}},
       {},
       {"C", "A", "B", "D", "frame", "D back", "B back", "A back", "C back"},
       {255, 128, 128, 128},
       "callNext"},
      {"callOriginal runs the frame and skips later hooks",
       {{'A', 255}, {'B', 128}},
       {Act::kOriginal},
       {"A", "frame", "A back"},
       {255, 128},
       "callOriginal"},
      {"a hook that passes nothing on leaves the frame unrun",
       {{'A', 255}, {'B', 128}},
       {Act::kNext, Act::kNothing},
       {"A", "B", "B back", "A back"},
       {255, 128},
       "frame not run"},
      {"a second callNext is ignored",
       {{'A', 255}, {'B', 128}},
       {Act::kNextTwice},
       {"A", "B", "frame", "B back", "A back"},
       {255, 128},
       "callNext again"},
      {"callNext after callOriginal is ignored",
       {{'A', 128}, {'B', 64}},
       {Act::kOriginalThenNext},
       {"A", "frame", "A back"},
       {128, 64},
       "callNext again"},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.what);
    emu::Session server(WithRehlds());
    const emu::RehldsStandIn &engine = server.RehldsEngine();
    ASSERT_TRUE(engine.IsLoaded());
    Prepare(engine, row.acts);
    ASSERT_NE(nullptr, g_serverFrame.registry);
    Register(row.registrations);
    EXPECT_EQ(row.events, RunFrame(engine));
    EXPECT_EQ(row.priorities, engine.Priorities());
    EXPECT_EQ(static_cast<int>(row.registrations.size()), engine.HookCount());
    const Texts calls = engine.Calls();
    EXPECT_TRUE(Contains(calls, row.callLine)) << ::testing::PrintToString(calls);
    EXPECT_EQ(Contains(row.events, "frame"), !Contains(calls, "frame not run"));
    EXPECT_EQ(Texts{}, server.Faults());
  }
}

TEST(RehldsStandIn, ChangesToTheChainDuringAFrameCountFromTheNextFrame) {
  struct Row {
    const char *what;
    std::vector<Registration> registrations;
    Act actOfA;  // in the first frame only; A passes the frame on in the second
    Texts firstFrame;
    Texts secondFrame;
    int hooksAfter;
    const char *callLine;
  };
  const Row rows[] = {
      {"A unregisters B, which still runs in this frame",
       {{'A', 255}, {'B', 128}},
       Act::kUnregisterBThenNext,
       {"A", "B", "frame", "B back", "A back"},
       {"A", "frame", "A back"},
       1,
       "unregisterHook"},
      {"A unregisters itself",
       {{'A', 255}, {'B', 128}},
       Act::kUnregisterSelfThenNext,
       {"A", "B", "frame", "B back", "A back"},
       {"B", "frame", "B back"},
       1,
       "unregisterHook"},
      {"A registers C, which runs from the next frame",
       {{'A', 255}},
       Act::kRegisterCThenNext,
       {"A", "frame", "A back"},
       {"A", "C", "frame", "C back", "A back"},
       2,
       "registerHook 0"},
      {"unregistering a hook never registered changes nothing",
       {{'A', 255}},
       Act::kUnregisterBThenNext,
       {"A", "frame", "A back"},
       {"A", "frame", "A back"},
       1,
       "unregisterHook of a hook not registered"},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.what);
    emu::Session server(WithRehlds());
    const emu::RehldsStandIn &engine = server.RehldsEngine();
    Prepare(engine, {row.actOfA});
    ASSERT_NE(nullptr, g_serverFrame.registry);
    Register(row.registrations);
    EXPECT_EQ(row.firstFrame, RunFrame(engine));
    g_acts[0] = Act::kNext;
    EXPECT_EQ(row.secondFrame, RunFrame(engine));
    EXPECT_EQ(row.hooksAfter, engine.HookCount());
    const Texts calls = engine.Calls();
    EXPECT_TRUE(Contains(calls, row.callLine)) << ::testing::PrintToString(calls);
  }
}

TEST(RehldsStandIn, OnlyTheApisNameFindsItAndItAnswersTheVersionSet) {
  struct Row {
    const char *name;
    bool found;
    int major;  // set before the lookup; the API answers them
    int minor;
  };
  const Row rows[] = {
      {kApiName, true, 3, 15},  // what the stand-in answers until told otherwise
      {kApiName, true, 3, 6},   // older than the frame hook
      {kApiName, true, 4, 0},
      {"VREHLDS_HLDS_API_VERSION002", false, 3, 15},
      {"vrehlds_hlds_api_version001", false, 3, 15},
      {"", false, 3, 15},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(std::string(row.name) + " " + std::to_string(row.major) + "." +
                 std::to_string(row.minor));
    emu::Session server(WithRehlds());
    const emu::RehldsStandIn &engine = server.RehldsEngine();
    if (row.major != 3 || row.minor != 15) engine.SetApiVersion(row.major, row.minor);
    int returnCode = -1;
    void *api = engine.CreateInterface(row.name, &returnCode);
    EXPECT_EQ(row.found ? 0 : 1, returnCode);
    EXPECT_EQ(row.found, api != nullptr);
    // A caller that does not want the code may pass none.
    EXPECT_EQ(api, engine.CreateInterface(row.name, nullptr));
    if (api == nullptr) continue;
    EXPECT_EQ(row.major, CallSlot<int>(api, kDestructorSlots + 0));
    EXPECT_EQ(row.minor, CallSlot<int>(api, kDestructorSlots + 1));
    EXPECT_EQ(
        Texts({"CreateInterface " + std::string(row.name),
               "CreateInterface " + std::string(row.name), "GetMajorVersion", "GetMinorVersion"}),
        engine.Calls());
  }
}

TEST(RehldsStandIn, EverySlotOfTheApiAndTheHookChainsAnswersAndIsRecorded) {
  enum class Object { kApi, kHookchains };
  struct Row {
    Object object;
    int member;  // 0-based after the destructor slots
    bool answers;
    const char *line;
  };
  const Row rows[] = {
      {Object::kApi, 2, false, "GetFuncs"},
      {Object::kApi, 3, true, "GetHookchains"},
      {Object::kApi, 4, false, "GetServerStatic"},
      {Object::kApi, 5, false, "GetServerData"},
      {Object::kApi, 6, false, "GetFlightRecorder"},
      {Object::kApi, 7, false, "GetMessageManager"},
      {Object::kHookchains, 0, false, "hookchain 0"},
      {Object::kHookchains, 12, false, "hookchain 12"},
      {Object::kHookchains, 39, false, "hookchain 39"},
      {Object::kHookchains, 40, true, "SV_Frame"},
      {Object::kHookchains, 41, false, "hookchain 41"},
      {Object::kHookchains, 55, false, "hookchain 55"},
  };
  emu::Session server(WithRehlds());
  const emu::RehldsStandIn &engine = server.RehldsEngine();
  void *api = engine.CreateInterface(kApiName, nullptr);
  ASSERT_NE(nullptr, api);
  void *hookchains = CallSlot<void *>(api, kDestructorSlots + 3);
  ASSERT_NE(nullptr, hookchains);
  const ServerFrame serverFrame = FindServerFrame(engine);
  for (const Row &row : rows) {
    SCOPED_TRACE(row.line);
    engine.ClearCalls();
    void *object = row.object == Object::kApi ? api : hookchains;
    void *answer = CallSlot<void *>(object, kDestructorSlots + row.member);
    EXPECT_EQ(row.answers, answer != nullptr);
    EXPECT_EQ(Texts{row.line}, engine.Calls());
  }
  // The two that answer hand out the same objects every time.
  EXPECT_EQ(hookchains, CallSlot<void *>(api, kDestructorSlots + 3));
  EXPECT_EQ(serverFrame.registry, CallSlot<void *>(hookchains, kDestructorSlots + 40));
}

// ---- Sessions on a ReHLDS engine

emu::Session *g_session = nullptr;

// Sees whether the game's StartFrame ran before and after it passes the frame on.
void ObservingHook(void *chain) {
  const auto startFrames = [] {
    return std::to_string(g_session->metamod().Game().CountOf("StartFrame"));
  };
  g_events.push_back("StartFrame " + startFrames());
  if (g_acts[0] == Act::kNext) CallNext(chain);
  if (g_acts[0] == Act::kOriginal) CallOriginal(chain);
  g_events.push_back("back, StartFrame " + startFrames());
}

TEST(RehldsSession, TheServerFrameRunsInsideTheEnginesHookChain) {
  struct Row {
    Act act;
    Texts events;
    double gameTimeAfter;  // it starts at 1 second
  };
  const Row rows[] = {
      {Act::kNext, {"StartFrame 0", "back, StartFrame 1"}, 1.25},
      {Act::kOriginal, {"StartFrame 0", "back, StartFrame 1"}, 1.25},
      {Act::kNothing, {"StartFrame 0", "back, StartFrame 0"}, 1.0},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.events.back());
    emu::Session server(WithRehlds());
    g_session = &server;
    server.StartMap("de_dust2");
    Prepare(server.RehldsEngine(), {row.act});
    g_serverFrame.Register(&ObservingHook, 128);
    server.RunFrames(1, 4.0);
    EXPECT_EQ(row.events, g_events);
    EXPECT_DOUBLE_EQ(row.gameTimeAfter, server.engine().Time());
    EXPECT_EQ(Texts{}, server.Faults());
  }
  g_session = nullptr;
}

TEST(RehldsSession, TheEngineLibrarySitsInTheGameRootUnderItsOwnName) {
  for (const bool rehlds : {true, false}) {
    SCOPED_TRACE(rehlds ? "ReHLDS" : "no ReHLDS");
    emu::SessionOptions options;
    options.rehldsEngine = rehlds;
    emu::Session server(options);
    EXPECT_EQ(rehlds, server.FileExists(emu::RehldsEngineFileName()));
    EXPECT_EQ(rehlds, server.RehldsEngine().IsLoaded());
    server.StartMap("de_dust2");
    server.RunFrames(2, 100.0);
    EXPECT_EQ(2, server.metamod().Game().CountOf("StartFrame"));
  }
}

// ---- The fake clock of the plug-in's test build

QrvFakeAdvanceClockFn g_advanceClock = nullptr;
int64_t g_waitNanoseconds = 0;

// Stands for a hook that waits before the frame: the fake clock moves on as a wait moves it.
void WaitingHook(void *chain) {
  if (g_advanceClock != nullptr) g_advanceClock(g_waitNanoseconds);
  CallNext(chain);
}

TEST(RehldsSession, GameTimeFollowsTheFakeClockThroughWhatHooksWait) {
  struct Row {
    const char *what;
    emu::PluginBuild build;
    bool rehlds;
    int64_t waitNanoseconds;
  };
  const Row rows[] = {
      {"test build, nothing waits", emu::PluginBuild::kTest, true, 0},
      {"test build, a hook waits 5 ms", emu::PluginBuild::kTest, true, 5000000},
      {"test build, a hook waits 100 ms", emu::PluginBuild::kTest, true, 100000000},
      {"test build without ReHLDS", emu::PluginBuild::kTest, false, 0},
      {"release build", emu::PluginBuild::kRelease, true, 0},
  };
  constexpr int64_t kFrameNanoseconds = 10000000;  // 100 frames a second
  for (const Row &row : rows) {
    SCOPED_TRACE(row.what);
    emu::SessionOptions options;
    options.build = row.build;
    options.rehldsEngine = row.rehlds;
    emu::Session server(options);
    server.StartServer();
    server.StartMap("de_dust2");
    const emu::Library &plugin = server.metamod().library();
    g_advanceClock = plugin.Export<QrvFakeAdvanceClockFn>(QRV_FAKE_ADVANCE_CLOCK);
    const auto clock = plugin.Export<QrvFakeClockNanosecondsFn>(QRV_FAKE_CLOCK_NANOSECONDS);
    ASSERT_EQ(row.build == emu::PluginBuild::kTest, clock != nullptr && g_advanceClock != nullptr);
    g_waitNanoseconds = row.waitNanoseconds;
    if (row.rehlds) {
      Prepare(server.RehldsEngine(), {});
      // Last in the chain, right before the frame, after whatever the plug-in's own hook does.
      g_serverFrame.Register(&WaitingHook, 0);
    }
    for (int frame = 0; frame < 3; ++frame) {
      const int64_t clockBefore = clock != nullptr ? clock() : 0;
      const double timeBefore = server.engine().Time();
      server.RunFrames(1, 100.0);
      const double frameSeconds = server.engine().Time() - timeBefore;
      EXPECT_FLOAT_EQ(static_cast<float>(frameSeconds), server.engine().Globals()->frametime);
      // The step RunFrames asked for, when nothing held the frame up (to the last bits, which
      // the i686 build may keep in wider registers).
      const double undelayed = timeBefore + 0.01;
      if (clock == nullptr) {
        EXPECT_DOUBLE_EQ(undelayed, server.engine().Time());
        continue;
      }
      const int64_t advanced = clock() - clockBefore;
      EXPECT_GE(advanced, kFrameNanoseconds + row.waitNanoseconds);
      EXPECT_NEAR(static_cast<double>(advanced) * 1e-9, frameSeconds, 1e-9);
      if (advanced == kFrameNanoseconds) {
        EXPECT_DOUBLE_EQ(undelayed, server.engine().Time());
      }
    }
    EXPECT_EQ(Texts{}, server.Faults());
  }
  g_advanceClock = nullptr;
}

}  // namespace
