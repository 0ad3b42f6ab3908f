// The emulator's stand-in ReHLDS engine, reached the way the plug-in reaches a real one: its
// factory export, then its objects' tables slot by slot as the engine's compiler laid them out.
// Hooks of the test's own run through its chains: the server frame's (priorities, the live
// chain) and every chain's fatal registrations. (How the plug-in finds the engine and its
// version are the frame-pacing tests' part.)
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
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
constexpr int kExecuteServerStringCmdAccessor = 19;
constexpr int kCreatePacketEntitiesAccessor = 36;
constexpr int kServerFrameAccessor = 40;

template <typename Result, typename... Arguments>
Result CallSlot(void *object, int slot, Arguments... arguments) {
  using Member = Result(QRV_TEST_MEMBER *)(void *, Arguments...);
  void *const *table = *static_cast<void *const *const *>(object);
  return reinterpret_cast<Member>(table[slot])(object, arguments...);
}

using HookFunction = void (*)(void *chain);

// A registry of any chain: slot 0 registerHook, slot 1 unregisterHook, no destructor.
struct Registry {
  void *registry;
  template <typename Hook>
  void Register(Hook hook, int priority) const {
    CallSlot<void>(registry, 0, hook, priority);
  }
  template <typename Hook>
  void Unregister(Hook hook) const {
    CallSlot<void>(registry, 1, hook);
  }
};
using ServerFrame = Registry;

void CallNext(void *chain) { CallSlot<void>(chain, kDestructorSlots + 0); }
void CallOriginal(void *chain) { CallSlot<void>(chain, kDestructorSlots + 1); }
// IGameClient: slot 0 GetId, no destructor.
int ClientId(void *client) { return client != nullptr ? CallSlot<int>(client, 0) : -1; }

// ---- Hooks of the test's own: each records its letter, acts, and records its return.

enum class Act {
  kNext,
  kOriginal,
  kNothing,
  kNextTwice,
};

constexpr int kHooks = 4;  // A, B, C, D
Act g_acts[kHooks];
Texts g_events;
ServerFrame g_serverFrame{nullptr};

// A change of the chain a hook makes before it acts, the first time it runs.
struct Change {
  bool add;  // register, else unregister
  char hook;
  int priority;
};
std::vector<Change> g_changes[kHooks];
void Apply(std::vector<Change> &changes);

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
  Apply(g_changes[Id]);
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

// A registry found as the plug-in finds it: factory, API, hook chains, the chain's accessor.
Registry FindRegistry(const emu::RehldsStandIn &engine, int accessor) {
  int returnCode = -1;
  void *api = engine.CreateInterface(kApiName, &returnCode);
  if (api == nullptr || returnCode != 0) return Registry{nullptr};
  void *hookchains = CallSlot<void *>(api, kDestructorSlots + 3);
  if (hookchains == nullptr) return Registry{nullptr};
  return Registry{CallSlot<void *>(hookchains, kDestructorSlots + accessor)};
}

ServerFrame FindServerFrame(const emu::RehldsStandIn &engine) {
  return FindRegistry(engine, kServerFrameAccessor);
}

// Hooks A to D act as told; the test's registry is the session's.
void Prepare(const emu::RehldsStandIn &engine, const std::vector<Act> &acts) {
  g_serverFrame = FindServerFrame(engine);
  g_events.clear();
  for (int hook = 0; hook < kHooks; ++hook) {
    g_acts[hook] = hook < static_cast<int>(acts.size()) ? acts[hook] : Act::kNext;
    g_changes[hook].clear();
  }
}

void Apply(std::vector<Change> &changes) {
  for (const Change &change : changes) {
    if (change.add) {
      g_serverFrame.Register(kHookFunctions[change.hook - 'A'], change.priority);
    } else {
      g_serverFrame.Unregister(kHookFunctions[change.hook - 'A']);
    }
  }
  changes.clear();
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

// The chain is live, as the real engine's: what a hook registers or unregisters before it passes
// the frame on changes which hooks the rest of this very frame runs.
TEST(RehldsStandIn, AHookThatChangesTheChainChangesTheRestOfTheRunningFrame) {
  struct Row {
    const char *what;
    char changer;
    std::vector<Change> changes;
    Texts events;
    Texts nextFrame;
  };
  const Texts abc = {"A", "B", "C", "frame", "C back", "B back", "A back"};
  const Texts ab = {"A", "B", "frame", "B back", "A back"};
  const Texts bc = {"B", "C", "frame", "C back", "B back"};
  const Row rows[] = {
      {"A takes C out: C does not run", 'A', {{false, 'C', 0}}, ab, ab},
      {"A takes itself out: the array moves up under it, so B is skipped",
       'A',
       {{false, 'A', 0}},
       {"A", "C", "frame", "C back", "A back"},
       bc},
      {"B takes A out: the array moves up under B, so C is skipped",
       'B',
       {{false, 'A', 0}},
       ab,
       bc},
      {"A puts D in behind itself: D runs in this frame",
       'A',
       {{true, 'D', 192}},
       {"A", "D", "B", "C", "frame", "C back", "B back", "D back", "A back"},
       {"A", "D", "B", "C", "frame", "C back", "B back", "D back", "A back"}},
      {"taking out what is not there changes nothing", 'A', {{false, 'D', 0}}, abc, abc},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.what);
    emu::Session server(WithRehlds());
    const emu::RehldsStandIn &engine = server.RehldsEngine();
    Prepare(engine, {});
    Register({{'A', 255}, {'B', 128}, {'C', 0}});
    g_changes[row.changer - 'A'] = row.changes;
    EXPECT_EQ(row.events, RunFrame(engine));
    EXPECT_EQ(row.nextFrame, RunFrame(engine));
  }
  emu::Session server(WithRehlds());
  Prepare(server.RehldsEngine(), {});
  server.RehldsEngine().ClearCalls();
  g_serverFrame.Unregister(kHookFunctions[0]);
  EXPECT_EQ(Texts{"unregisterHook of a hook not registered"}, server.RehldsEngine().Calls())
      << "harmless, and only recorded";
}

// ---- Fatal registrations

template <int Id>
void Filler(void *chain) {
  CallNext(chain);
}

template <int... Ids>
std::vector<HookFunction> Fillers(std::integer_sequence<int, Ids...>) {
  return {&Filler<Ids>...};
}

// As on a real engine (Sys_Error), a null hook, one registered twice and a twentieth end the
// process, with a line that names the fault and the chain.
TEST(RehldsStandInDeathTest, ANullADoubleOrATwentiethHookStopsTheServer) {
  struct Row {
    int accessor;
    emu::RehldsChain chain;
    std::string name;
  };
  const Row rows[] = {
      {kServerFrameAccessor, emu::RehldsChain::kServerFrame, "SV_Frame"},
      {kExecuteServerStringCmdAccessor, emu::RehldsChain::kExecuteServerStringCmd,
       "ExecuteServerStringCmd"},
      {kCreatePacketEntitiesAccessor, emu::RehldsChain::kCreatePacketEntities,
       "SV_CreatePacketEntities"},
  };
  const std::vector<HookFunction> fillers = Fillers(std::make_integer_sequence<int, 20>());
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    emu::Session server(WithRehlds());
    const Registry registry = FindRegistry(server.RehldsEngine(), row.accessor);
    ASSERT_NE(nullptr, registry.registry);
    const std::string chain = " the " + row.name + " chain";
    EXPECT_DEATH(registry.Register(HookFunction{nullptr}, 128),
                 "stand-in ReHLDS: registerHook of a null hook in" + chain);
    registry.Register(fillers[0], 128);
    EXPECT_DEATH(registry.Register(fillers[0], 64),
                 "stand-in ReHLDS: registerHook of a hook already in" + chain);
    for (int hook = 1; hook < 19; ++hook) registry.Register(fillers[hook], hook);
    EXPECT_EQ(19, server.RehldsEngine().HookCount(row.chain)) << "nineteen fit";
    EXPECT_DEATH(registry.Register(fillers[19], 0),
                 "stand-in ReHLDS: registerHook of a 20th hook .*in" + chain);
    for (HookFunction hook : fillers) registry.Unregister(hook);
    EXPECT_EQ(0, server.RehldsEngine().HookCount(row.chain));
  }
}

}  // namespace
