// The emulator's stand-in ReHLDS engine, reached the way the plug-in reaches a real one: its
// factory export, then its objects' tables slot by slot as the engine's compiler laid them out.
// Hooks of the test's own run through its server frame chain. (How the plug-in finds it, its
// version and a session's frames inside the chain are the frame-pacing tests' part.)
#include <gtest/gtest.h>

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
};

void CallNext(void *chain) { CallSlot<void>(chain, kDestructorSlots + 0); }
void CallOriginal(void *chain) { CallSlot<void>(chain, kDestructorSlots + 1); }

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

}  // namespace
